#include "columns/answer_dictionary.h"

#include <cstring>
#include <limits>
#include <vector>

#include "columns/bit_writer.h"
#include "common/text_map.h"

namespace vexlo {
namespace {

constexpr std::uint32_t kNoAnswer = std::numeric_limits<std::uint32_t>::max();

std::size_t bitmap_bytes(std::int64_t bits) {
    return static_cast<std::size_t>(bits / 8 + (bits % 8 != 0));
}

// Whether row i has an answer: it is no null, and its entry has one.
template <class Index>
bool row_answered(const DictionaryColumn& column, const Index* in, const ResultColumn& entries,
                  std::int64_t i) noexcept {
    return !column.is_null(i) && !entries.is_null(static_cast<std::int64_t>(in[i]));
}

// The validity of the rows of a result whose rows' answers are their
// entries' (row_answered), and its null count.
template <class Index>
void put_row_validity(const DictionaryColumn& column, const ResultColumn& entries, ResultColumn& result) {
    const std::int64_t n = column.size();
    const Index* const in = column.indices<Index>();
    result.validity = Buffer::zeroed(bitmap_bytes(n));
    BitWriter validity(result.validity.as<std::uint8_t>(), 0);
    for (std::int64_t i = 0; i < n; ++i) {
        const bool valid = row_answered(column, in, entries, i);
        validity.put(static_cast<std::size_t>(i), valid);
        result.null_count += !valid;
    }
    validity.finish(static_cast<std::size_t>(n));
}

// The entries' text answers made distinct: the new dictionary, and for each
// entry the place of its answer there (kNoAnswer for none).
template <class Offset>
ResultColumn distinct_texts(const ResultColumn& entries, std::vector<std::uint32_t>& place) {
    ResultColumn distinct;
    distinct.type = {ResultType::Kind::kText, entries.type.wide_offsets};
    distinct.values = Buffer(static_cast<std::size_t>(entries.length + 1) * sizeof(Offset));
    distinct.data = Buffer(entries.data.size());
    Offset* const offsets = distinct.values.as<Offset>();
    char* const bytes = distinct.data.as<char>();
    offsets[0] = 0;
    std::uint32_t count = 0;
    std::size_t size = 0;
    TextMap seen(static_cast<std::size_t>(entries.length));
    place.resize(static_cast<std::size_t>(entries.length));
    for (std::int64_t e = 0; e < entries.length; ++e) {
        if (entries.is_null(e)) {
            place[static_cast<std::size_t>(e)] = kNoAnswer;
            continue;
        }
        const std::string_view text = entries.text(e);
        const auto [at, added] = seen.emplace(0, text, count);
        place[static_cast<std::size_t>(e)] = at;
        if (!added) continue;
        std::memcpy(bytes + size, text.data(), text.size());
        size += text.size();
        offsets[++count] = static_cast<Offset>(size);
    }
    distinct.length = count;
    distinct.values.resize((std::size_t{count} + 1) * sizeof(Offset));
    distinct.data.resize(size);
    return distinct;
}

// The rows of a text result: each row's index into the distinct answers.
template <class Index>
void place_rows(const DictionaryColumn& column, const std::vector<std::uint32_t>& place,
                ResultColumn& result) {
    const std::int64_t n = column.size();
    const Index* const in = column.indices<Index>();
    Index* const out = result.values.as<Index>();
    BitWriter validity(result.validity.as<std::uint8_t>(), 0);
    std::int64_t nulls = 0;
    for (std::int64_t i = 0; i < n; ++i) {
        const std::uint32_t at =
            column.is_null(i) ? kNoAnswer : place[static_cast<std::size_t>(in[i])];
        const bool answered = at != kNoAnswer;
        out[i] = answered ? static_cast<Index>(at) : Index{0};
        validity.put(static_cast<std::size_t>(i), answered);
        nulls += !answered;
    }
    validity.finish(static_cast<std::size_t>(n));
    result.null_count = nulls;
}

ResultColumn encoded_texts(const DictionaryColumn& column, const ResultColumn& entries) {
    std::vector<std::uint32_t> place;
    ResultColumn result;
    result.type = {ResultType::Kind::kDictionary, entries.type.wide_offsets, false,
                   column.index_type()};
    result.length = column.size();
    result.dictionary = std::make_unique<ResultColumn>(
        entries.type.wide_offsets ? distinct_texts<std::int64_t>(entries, place)
                                  : distinct_texts<std::int32_t>(entries, place));
    result.validity = Buffer::zeroed(bitmap_bytes(result.length));
    result.values = Buffer(static_cast<std::size_t>(result.length) * index_bytes(column.index_type()));
    with_index_type(column.index_type(), [&](auto type) {
        place_rows<decltype(type)>(column, place, result);
    });
    return result;
}

// Each row's bit from its entry's.
template <class Index>
ResultColumn spread_truths(const DictionaryColumn& column, const ResultColumn& entries) {
    const std::int64_t n = column.size();
    ResultColumn result;
    result.type = {ResultType::Kind::kBool};
    result.length = n;
    put_row_validity<Index>(column, entries, result);
    result.values = Buffer::zeroed(bitmap_bytes(n));
    const Index* const in = column.indices<Index>();
    BitWriter values(result.values.as<std::uint8_t>(), 0);
    for (std::int64_t i = 0; i < n; ++i) {
        values.put(static_cast<std::size_t>(i), row_answered(column, in, entries, i) &&
                                                    entries.truth(static_cast<std::int64_t>(in[i])));
    }
    values.finish(static_cast<std::size_t>(n));
    return result;
}

// Each row's list of labels, copied from its entry's: first the sizes, so
// that the offsets are made as wide as they must be, then the copies.
template <class Index, class TextOffset, class ListOffset>
void copy_parts(const DictionaryColumn& column, const ResultColumn& entries, ResultColumn& result) {
    const Index* const in = column.indices<Index>();
    ListOffset* const lists = result.values.as<ListOffset>();
    TextOffset* const items = result.item_offsets.as<TextOffset>();
    char* const data = result.data.as<char>();
    std::int64_t item = 0;
    std::size_t size = 0;
    lists[0] = 0;
    items[0] = 0;
    for (std::int64_t i = 0; i < column.size(); ++i) {
        if (row_answered(column, in, entries, i)) {
            const PartsView parts = entries.parts(static_cast<std::int64_t>(in[i]));
            for (std::size_t j = 0; j < parts.size(); ++j) {
                std::memcpy(data + size, parts[j].data(), parts[j].size());
                size += parts[j].size();
                items[++item] = static_cast<TextOffset>(size);
            }
        }
        lists[i + 1] = static_cast<ListOffset>(item);
    }
}

// extract's records: the struct of the rows, each field dictionary-encoded
// over the distinct answers of that field.
ResultColumn encoded_records(const DictionaryColumn& column, const ResultColumn& entries) {
    const std::int64_t n = column.size();
    ResultColumn result;
    result.type = entries.type;
    result.type.index_type = column.index_type();
    result.type.encoded_fields = true;
    result.length = n;
    with_index_type(column.index_type(), [&](auto type) {
        put_row_validity<decltype(type)>(column, entries, result);
    });
    result.children.reserve(entries.children.size());
    for (const ResultColumn& field : entries.children) {
        ResultColumn encoded = encoded_texts(column, field);
        if (encoded.null_count == 0) encoded.validity = Buffer();
        result.children.push_back(std::move(encoded));
    }
    return result;
}

// The bytes and items of the rows' lists of labels, each its entry's.
template <class Index>
void parts_sizes(const DictionaryColumn& column, const ResultColumn& entries, std::uint64_t& bytes,
                 std::uint64_t& items) {
    const Index* const in = column.indices<Index>();
    const ResultType& type = entries.type;
    for (std::int64_t i = 0; i < column.size(); ++i) {
        if (!row_answered(column, in, entries, i)) continue;
        const auto entry = static_cast<std::int64_t>(in[i]);
        const std::int64_t first = offset_at(entries.values.as(), type.wide_lists, entry);
        const std::int64_t last = offset_at(entries.values.as(), type.wide_lists, entry + 1);
        const void* const item_offsets = entries.item_offsets.as();
        items += static_cast<std::uint64_t>(last - first);
        bytes += static_cast<std::uint64_t>(offset_at(item_offsets, type.wide_offsets, last) -
                                            offset_at(item_offsets, type.wide_offsets, first));
    }
}

template <class Index>
ResultColumn spread_parts(const DictionaryColumn& column, const ResultColumn& entries,
                          const ColumnRequest& request) {
    const std::int64_t n = column.size();
    std::uint64_t bytes = 0, item_count = 0;
    parts_sizes<Index>(column, entries, bytes, item_count);
    ResultColumn result;
    result.type = {ResultType::Kind::kParts, request.wide_offsets, request.wide_lists};
    result.length = n;
    result.item_count = static_cast<std::int64_t>(item_count);
    put_row_validity<Index>(column, entries, result);
    result.values = Buffer(static_cast<std::size_t>(n + 1) * (result.type.wide_lists ? 8 : 4));
    result.item_offsets =
        Buffer(static_cast<std::size_t>(item_count + 1) * (result.type.wide_offsets ? 8 : 4));
    result.data = Buffer(static_cast<std::size_t>(bytes));
    if (result.type.wide_lists) {
        copy_parts<Index, std::int64_t, std::int64_t>(column, entries, result);
    } else if (result.type.wide_offsets) {
        copy_parts<Index, std::int64_t, std::int32_t>(column, entries, result);
    } else {
        copy_parts<Index, std::int32_t, std::int32_t>(column, entries, result);
    }
    return result;
}

}  // namespace

void widen_for_rows(const DictionaryColumn& column, const ResultColumn& entries,
                    ColumnRequest& request) {
    if (entries.type.kind != ResultType::Kind::kParts) return;
    std::uint64_t bytes = 0, items = 0;
    with_index_type(column.index_type(), [&](auto type) {
        parts_sizes<decltype(type)>(column, entries, bytes, items);
    });
    constexpr std::uint64_t kNarrow = std::numeric_limits<std::int32_t>::max();
    request.wide_lists = request.wide_lists || items > kNarrow;
    request.wide_offsets = request.wide_offsets || bytes > kNarrow || request.wide_lists;
}

ResultColumn spread_answers(const DictionaryColumn& column, const ResultColumn& entries,
                            const ColumnRequest& request) {
    ResultColumn result;
    switch (entries.type.kind) {
        case ResultType::Kind::kBool:
            result = with_index_type(column.index_type(), [&](auto type) {
                return spread_truths<decltype(type)>(column, entries);
            });
            break;
        case ResultType::Kind::kParts:
            result = with_index_type(column.index_type(), [&](auto type) {
                return spread_parts<decltype(type)>(column, entries, request);
            });
            break;
        case ResultType::Kind::kStruct:
            result = encoded_records(column, entries);
            break;
        default:
            result = encoded_texts(column, entries);
            break;
    }
    if (result.null_count == 0) result.validity = Buffer();
    return result;
}

}  // namespace vexlo
