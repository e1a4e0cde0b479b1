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
// lowercased), so results stay below 2 GiB, and fit 32-bit offsets, when the
// column's text does below this.
constexpr std::uint64_t kNarrowTextLimit = std::uint64_t{std::numeric_limits<std::int32_t>::max()} / 3 * 2;

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
    const bool bits = result.kind == ResultColumn::Kind::kBool;
    if (!bits) {
        const Regions regions = place_ranges(column, request, ranges);
        result.data = Buffer(regions.data_bytes);
        if (result.kind == ResultColumn::Kind::kParts) {
            result.item_offsets = Buffer((regions.items + 1) * sizeof(TextOffset));
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

// Offsets that were made 64-bit only because the text might have passed
// 2 GiB, and did not: 32-bit, in place.
void narrow_offsets(Buffer& offsets, std::int64_t count) {
    const auto* wide = offsets.as<std::int64_t>();
    auto* narrow = offsets.as<std::int32_t>();
    for (std::int64_t i = 0; i < count; ++i) narrow[i] = static_cast<std::int32_t>(wide[i]);
    offsets.resize(static_cast<std::size_t>(count) * sizeof(std::int32_t));
}

}  // namespace

unsigned default_thread_count(std::int64_t names) noexcept {
    return names < kColumnNamesForThreads ? 1 : usable_cores();
}

ResultColumn answer_column(const StringColumn& column, const ColumnRequest& request,
                           const RuleTables& tables) {
    if (request.question == Question::kExtract) return answer_extract(column, request, tables);
    const std::int64_t n = column.size();
    const Question q = request.question;
    const bool predicate = q == Question::kIsPublic || q == Question::kIsPrivate;
    const bool huge = column.text_bytes() > kNarrowTextLimit;

    ResultColumn result;
    result.length = n;
    result.kind = predicate                       ? ResultColumn::Kind::kBool
                  : q == Question::kPrivateParts ? ResultColumn::Kind::kParts
                                                 : ResultColumn::Kind::kText;
    result.wide_offsets = !predicate && (request.large_text || huge);
    result.wide_lists = result.kind == ResultColumn::Kind::kParts && huge;

    const std::size_t bitmap = static_cast<std::size_t>(n / 8 + (n % 8 != 0));
    result.validity = Buffer::zeroed(bitmap);
    if (predicate) {
        result.values = Buffer::zeroed(bitmap);
    } else {
        const bool wide = result.kind == ResultColumn::Kind::kParts ? result.wide_lists
                                                                    : result.wide_offsets;
        result.values = Buffer::zeroed(static_cast<std::size_t>(n + 1) * (wide ? 8 : 4));
    }

    std::vector<RangeOutput> ranges = cut_ranges(n, request.threads);
    if (result.wide_lists) {
        answer_ranges<std::int64_t, std::int64_t>(column, request, tables, result, ranges);
    } else if (result.wide_offsets) {
        answer_ranges<std::int64_t, std::int32_t>(column, request, tables, result, ranges);
    } else {
        answer_ranges<std::int32_t, std::int32_t>(column, request, tables, result, ranges);
    }

    if (result.kind == ResultColumn::Kind::kText && result.wide_offsets && !request.large_text &&
        result.data.size() <= static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        narrow_offsets(result.values, n + 1);
        result.wide_offsets = false;
    }
    if (result.null_count == 0) result.validity = Buffer();
    if (result.kind != ResultColumn::Kind::kBool && result.data.empty()) result.data = Buffer(0);
    if (result.kind == ResultColumn::Kind::kParts && result.item_offsets.empty()) {
        result.item_offsets = Buffer::zeroed(result.wide_offsets ? 8 : 4);
    }
    return result;
}

}  // namespace vexlo
