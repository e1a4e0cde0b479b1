#include "columns/answer_column.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "columns/answer_extract.h"
#include "columns/answer_hosts.h"
#include "columns/answer_names.h"
#include "columns/column_ranges.h"
#include "common/parallel.h"
#include "common/thread_count.h"

namespace vexlo {

namespace {

// Lowercasing at most adds half a text's bytes (U+0130: two bytes, three
// lowercased), so privateparts' items stay below 2 GiB, and their count
// below 2**31, when the column's text does below this.
constexpr std::uint64_t kNarrowTextLimit = std::uint64_t{std::numeric_limits<std::int32_t>::max()} / 3 * 2;
constexpr std::uint64_t kNarrowLimit = std::numeric_limits<std::int32_t>::max();

// The most bytes the text answers to `request` for names of `text` bytes
// take: lowercasing adds at most half a text's bytes; the caller's
// spelling and a host are the text itself or less.
std::uint64_t answer_bytes(std::uint64_t text, const ColumnRequest& request) noexcept {
    const bool as_given = request.keep_case || request.question == Question::kHost;
    return as_given ? text : text + text / 2;
}

// One range of the column, answered for the request's question.
template <class TextOffset, class ListOffset>
void answer_range(const StringColumn& column, const ColumnRequest& request,
                  const RuleTables& tables, SharedBuffers shared, RangeOutput& range) {
    NameRange<TextOffset, ListOffset> names(column, request, tables, shared, range);
    switch (request.question) {
        case Question::kPublicSuffix: return names.template run<Question::kPublicSuffix>();
        case Question::kPrivateSuffix: return names.template run<Question::kPrivateSuffix>();
        case Question::kIsPublic: return names.template run<Question::kIsPublic>();
        case Question::kIsPrivate: return names.template run<Question::kIsPrivate>();
        case Question::kPrivateParts: return names.template run<Question::kPrivateParts>();
        case Question::kSubdomain: return names.template run<Question::kSubdomain>();
        case Question::kHost: return answer_hosts<TextOffset>(column, request.keep_ip, shared, range);
        case Question::kExtract: break;  // answer_extract's
    }
}

template <class TextOffset, class ListOffset>
void answer_ranges(const StringColumn& column, const ColumnRequest& request,
                   const RuleTables& tables, ResultColumn& result,
                   std::vector<RangeOutput>& ranges) {
    const bool bits = result.type.kind == ResultType::Kind::kBool;
    if (!bits) {
        // Each range's regions, as large as its answers can be (privateparts
        // leaves out the dots, and a name of b bytes has at most (b + 1) / 2
        // labels).
        std::size_t data_bytes = 0, items = 0;
        for (RangeOutput& range : ranges) {
            const std::uint64_t text = column.text_bytes(range.begin, range.end);
            range.data_start = data_bytes;
            data_bytes += static_cast<std::size_t>(answer_bytes(text, request)) + kCopySlack;
            range.items_start = items;
            items += static_cast<std::size_t>(text / 2 + (range.end - range.begin));
        }
        result.data = Buffer(data_bytes);
        if (result.type.kind == ResultType::Kind::kParts) {
            result.item_offsets = Buffer((items + 1) * sizeof(TextOffset));
            result.item_offsets.as<TextOffset>()[0] = 0;
        }
    }
    const SharedBuffers shared{result.validity.as<std::uint8_t>(), result.values.data(),
                               result.data.as<char>(), result.item_offsets.data()};
    run_parts(ranges.size(), [&](std::size_t k) {
        answer_range<TextOffset, ListOffset>(column, request, tables, shared, ranges[k]);
    });
    for (const RangeOutput& range : ranges) result.null_count += range.nulls;
    if (!bits) stitch_ranges<TextOffset, ListOffset>(result, ranges);
}

}  // namespace

unsigned default_thread_count(std::int64_t names) noexcept {
    return names < kColumnNamesForThreads ? 1 : usable_cores();
}

void widen_for(const StringColumn& column, const RuleTables& tables, ColumnRequest& request) {
    const std::uint64_t text = column.text_bytes();
    switch (request.question) {
        case Question::kIsPublic:
        case Question::kIsPrivate:
            return;
        case Question::kPrivateParts:
            request.wide_offsets = request.wide_offsets || text > kNarrowTextLimit;
            request.wide_lists = request.wide_lists || text > kNarrowTextLimit;
            return;
        case Question::kExtract:
            request.wide_offsets =
                request.wide_offsets || extract_bound(column, request, tables) > kNarrowLimit;
            return;
        default:
            request.wide_offsets =
                request.wide_offsets || answer_bytes(text, request) > kNarrowLimit;
            return;
    }
}

ResultColumn answer_column(const StringColumn& column, const ColumnRequest& request,
                           const RuleTables& tables) {
    if (request.question == Question::kExtract) return answer_extract(column, request, tables);
    const std::int64_t n = column.size();
    ResultColumn result;
    result.type = answer_type(request, std::nullopt);
    result.length = n;
    const ResultType& type = result.type;
    const std::size_t bitmap = static_cast<std::size_t>(n / 8 + (n % 8 != 0));
    result.validity = Buffer::zeroed(bitmap);
    if (type.kind == ResultType::Kind::kBool) {
        result.values = Buffer::zeroed(bitmap);
    } else {
        const bool wide = type.kind == ResultType::Kind::kParts ? type.wide_lists : type.wide_offsets;
        result.values = Buffer::zeroed(static_cast<std::size_t>(n + 1) * (wide ? 8 : 4));
    }

    std::vector<RangeOutput> ranges = cut_ranges(n, request.threads);
    if (type.wide_lists) {
        answer_ranges<std::int64_t, std::int64_t>(column, request, tables, result, ranges);
    } else if (type.wide_offsets) {
        answer_ranges<std::int64_t, std::int32_t>(column, request, tables, result, ranges);
    } else {
        answer_ranges<std::int32_t, std::int32_t>(column, request, tables, result, ranges);
    }

    if (result.null_count == 0) result.validity = Buffer();
    return result;
}

ResultType answer_type(const ColumnRequest& request, std::optional<IndexType> dictionary) noexcept {
    using Kind = ResultType::Kind;
    switch (request.question) {
        case Question::kIsPublic:
        case Question::kIsPrivate:
            return {Kind::kBool};
        case Question::kPrivateParts:
            return {Kind::kParts, request.wide_offsets, request.wide_lists};
        case Question::kExtract:
            return {Kind::kStruct, request.wide_offsets, false,
                    dictionary.value_or(IndexType::kInt32), request.fields, dictionary.has_value()};
        default:
            if (dictionary) return {Kind::kDictionary, request.wide_offsets, false, *dictionary};
            return {Kind::kText, request.wide_offsets};
    }
}

}  // namespace vexlo
