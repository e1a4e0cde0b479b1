#include "columns/answer_extract.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "columns/answer_column.h"
#include "columns/answer_hosts.h"
#include "columns/bit_writer.h"
#include "columns/column_ranges.h"
#include "columns/text_writer.h"
#include "common/parallel.h"
#include "extract/extract_batch.h"

namespace vexlo {
namespace {

// Texts found and matched together, as a column's names are.
constexpr std::int64_t kExtractBlock = 256;

// The longest name of the list's own spelling of a twin-only rule: a rule
// that decided may be written so, longer than the name it decided.
std::size_t longest_listed_spelling(const RuleTables& tables) noexcept {
    std::size_t longest = 0;
    for (const ListedSpelling& spelling : tables.listed_spellings().entries) {
        longest = std::max<std::size_t>(longest, spelling.text_end - spelling.text_start);
    }
    return longest;
}

// The most bytes that a field's answers for `rows` elements of `text` bytes
// take. Every field but the section and the rule is cut from the element's
// host or its lowercase, which lowercasing makes at most half as long again;
// the rule from the lowercase too, or it is a listed spelling, behind a mark
// of at most two bytes.
std::uint64_t field_bound(ExtractField field, std::uint64_t text, std::int64_t rows,
                          bool keep_case, std::size_t longest_spelling) noexcept {
    const std::uint64_t lowered = text + text / 2;
    const auto count = static_cast<std::uint64_t>(rows);
    switch (field) {
        case ExtractField::kSection: return count * std::max(kIcannSection.size(), kPrivateSection.size());
        case ExtractField::kRule: return lowered + count * (2 + longest_spelling);
        default: return keep_case ? text : lowered;
    }
}

// One field's column while it is answered: its buffers and every range's
// region of them.
struct FieldColumn {
    ExtractField field;
    ResultColumn result;
    std::vector<RangeOutput> ranges;
    SharedBuffers shared() noexcept {
        return {result.validity.as<std::uint8_t>(), result.values.data(), result.data.as<char>(), nullptr};
    }
};

// Writes the record's field F of every row of a block, in row order.
template <class TextOffset, ExtractField F>
void write_field_of(const ExtractBatch& batch, FieldColumn& column, std::size_t range,
                    std::int64_t block) {
    TextWriter<TextOffset> writer(column.shared(), column.ranges[range], block);
    // A null record has no field: text() and rule() give none for it.
    for (std::size_t k = 0; k < batch.size(); ++k) {
        char* const to = writer.out();
        if constexpr (F == ExtractField::kRule) {
            const std::optional<RuleText> rule = batch.rule(k);
            if (!rule) {
                writer.none();
                continue;
            }
            writer.answered(rule->write(to));
        } else {
            const std::optional<std::string_view> text = batch.text(k, F);
            if (!text) {
                writer.none();
                continue;
            }
            // The lowercase lies in the batch's padded arena; other texts may
            // end anywhere.
            if (batch.padded(k, F)) {
                copy_padded(to, text->data(), text->size());
            } else {
                copy_exact(to, text->data(), text->size());
            }
            writer.answered(to + text->size());
        }
    }
    writer.finish();
}

// write_field_of for the field of `column`, its choice made once.
template <class TextOffset>
void write_field(const ExtractBatch& batch, FieldColumn& column, std::size_t range,
                 std::int64_t block) {
    static constexpr auto kWriters = []<std::size_t... F>(std::index_sequence<F...>) {
        return std::array{&write_field_of<TextOffset, static_cast<ExtractField>(F)>...};
    }(std::make_index_sequence<kExtractFieldCount>());
    kWriters[static_cast<std::size_t>(column.field)](batch, column, range, block);
}

// One range of the column: its texts found and matched a block at a time,
// every field written, the records' own nulls counted into `nulls`.
template <class TextOffset>
void extract_range(const StringColumn& column, const ColumnRequest& request,
                   const RuleTables& tables, std::vector<FieldColumn>& fields,
                   std::uint8_t* validity, std::size_t range, std::int64_t& nulls) {
    const RangeOutput& bounds = fields[0].ranges[range];
    ExtractFieldSet asked;
    for (const FieldColumn& field : fields) asked.set(static_cast<std::size_t>(field.field));
    ExtractBatch batch({request.keep_ip, request.accept_unknown, request.keep_case}, asked);
    for (std::int64_t block = bounds.begin; block < bounds.end; block += kExtractBlock) {
        const std::int64_t block_end = std::min(block + kExtractBlock, bounds.end);
        // An element that is not UTF-8 holds no host (see answer_hosts.h).
        const std::optional<std::string_view> joined = column.joined_text(block, block_end);
        const bool joined_utf8 = joined && is_utf8(*joined);
        batch.clear();
        column.visit(
            block, block_end, [&] { batch.add_null(); },
            [&](std::string_view text) {
                if (text.empty() || (joined_utf8 ? whole_characters(text, *joined) : is_utf8(text))) {
                    batch.add(text);
                } else {
                    batch.add_no_host();
                }
            });
        batch.match(tables);
        BitWriter records(validity, block);
        for (std::size_t k = 0; k < batch.size(); ++k) {
            records.put(k, !batch.is_null(k));
            nulls += batch.is_null(k);
        }
        records.finish(batch.size());
        for (FieldColumn& field : fields) write_field<TextOffset>(batch, field, range, block);
    }
}

template <class TextOffset>
void answer_fields(const StringColumn& column, const ColumnRequest& request,
                   const RuleTables& tables, std::vector<FieldColumn>& fields, ResultColumn& result) {
    std::vector<std::int64_t> nulls(fields[0].ranges.size(), 0);
    run_parts(nulls.size(), [&](std::size_t k) {
        extract_range<TextOffset>(column, request, tables, fields, result.validity.as<std::uint8_t>(), k,
                                  nulls[k]);
    });
    for (const std::int64_t range_nulls : nulls) result.null_count += range_nulls;
    for (FieldColumn& field : fields) {
        for (const RangeOutput& range : field.ranges) field.result.null_count += range.nulls;
        stitch_ranges<TextOffset, std::int32_t>(field.result, field.ranges);
    }
}

}  // namespace

std::uint64_t extract_bound(const StringColumn& column, const ColumnRequest& request,
                            const RuleTables& tables) noexcept {
    std::uint64_t bound = 0;
    for (const ExtractField field : request.fields.chosen()) {
        bound = std::max(bound, field_bound(field, column.text_bytes(), column.size(),
                                            request.keep_case, longest_listed_spelling(tables)));
    }
    return bound;
}

ResultColumn answer_extract(const StringColumn& column, const ColumnRequest& request,
                            const RuleTables& tables) {
    const std::int64_t n = column.size();
    const std::size_t bitmap = static_cast<std::size_t>(n / 8 + (n % 8 != 0));
    const std::size_t longest_spelling = longest_listed_spelling(tables);
    const std::vector<RangeOutput> cut = cut_ranges(n, request.threads);

    ResultColumn result;
    result.type = answer_type(request, std::nullopt);
    result.length = n;
    result.validity = Buffer::zeroed(bitmap);

    // Every field's regions, all of the width the caller chose.
    const bool wide = request.wide_offsets;
    std::vector<FieldColumn> fields;
    fields.reserve(request.fields.count);
    for (const ExtractField field : request.fields.chosen()) {
        FieldColumn& built = fields.emplace_back(FieldColumn{field, {}, cut});
        std::size_t total = 0;
        for (RangeOutput& range : built.ranges) {
            const std::uint64_t bound = field_bound(field, column.text_bytes(range.begin, range.end),
                                                    range.end - range.begin, request.keep_case,
                                                    longest_spelling);
            range.data_start = total;
            total += static_cast<std::size_t>(bound) + kCopySlack;
        }
        built.result.type = result.type.field();
        built.result.length = n;
        built.result.validity = Buffer::zeroed(bitmap);
        built.result.data = Buffer(total);
        built.result.values = Buffer::zeroed(static_cast<std::size_t>(n + 1) * (wide ? 8 : 4));
    }
    if (wide) {
        answer_fields<std::int64_t>(column, request, tables, fields, result);
    } else {
        answer_fields<std::int32_t>(column, request, tables, fields, result);
    }
    result.children.reserve(fields.size());
    for (FieldColumn& field : fields) {
        ResultColumn& child = field.result;
        if (child.null_count == 0) child.validity = Buffer();
        result.children.push_back(std::move(child));
    }
    if (result.null_count == 0) result.validity = Buffer();
    return result;
}

}  // namespace vexlo
