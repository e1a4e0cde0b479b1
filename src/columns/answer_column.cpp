#include "columns/answer_column.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <exception>
#include <limits>
#include <thread>
#include <vector>

#include "columns/name_batch.h"
#include "query/query.h"

namespace vexlo {

namespace {

// Names normalised and walked together: enough to keep the lanes busy, few
// enough that the arena stays in the first-level cache.
constexpr std::int64_t kBlock = 256;
// Ranges start at multiples of this, so each thread writes whole bytes of
// the bitmaps.
constexpr std::int64_t kRangeAlign = 64;

// Lowercasing at most adds half a text's bytes (U+0130: two bytes, three
// lowercased), so results stay below 2 GiB, and fit 32-bit offsets, when the
// column's text does below this.
constexpr std::uint64_t kNarrowTextLimit = std::uint64_t{std::numeric_limits<std::int32_t>::max()} / 3 * 2;

// A worker's output that grows as it goes.
class Growing {
public:
    char* append(std::size_t bytes) {
        if (bytes > buffer_.size() - size_) grow(bytes);
        char* place = buffer_.as<char>() + size_;
        size_ += bytes;
        return place;
    }
    template <class T>
    void push(T value) {
        std::memcpy(append(sizeof value), &value, sizeof value);
    }
    std::size_t size() const noexcept { return size_; }
    Buffer& buffer() noexcept { return buffer_; }
    char* data() noexcept { return buffer_.as<char>(); }

private:
    void grow(std::size_t bytes) {
        const std::size_t needed = size_ + bytes;
        buffer_.resize(std::max({needed, buffer_.size() * 2, std::size_t{4096}}));
    }
    Buffer buffer_;
    std::size_t size_ = 0;
};

struct RangeOutput {
    std::int64_t begin = 0;
    std::int64_t end = 0;
    Growing data;
    Growing item_offsets;  // parts: one offset per item, after a leading 0
    std::int64_t items = 0;
    std::int64_t nulls = 0;
    std::exception_ptr failure;
};

// The column's buffers that every range writes its own part of.
struct Shared {
    std::uint8_t* validity;
    void* values;
};

inline void set_bit(std::uint8_t* bits, std::int64_t i) noexcept {
    bits[i >> 3] = static_cast<std::uint8_t>(bits[i >> 3] | (1u << (i & 7)));
}

// The `count` rightmost labels of the name's chosen text.
std::string_view rightmost(const NameBatch::Name& name, std::string_view text, std::size_t count) {
    if (count == name.label_count) return text;
    if (name.lowered_size <= 64 && text.size() == name.lowered_size) {
        // The dots of `text` are where the lowered text has them: drop the
        // count - 1 rightmost, and the label run starts after the next.
        std::uint64_t dots = name.dots;
        for (std::size_t k = 1; k < count; ++k) dots ^= std::uint64_t{1} << (63 - std::countl_zero(dots));
        return text.substr(static_cast<std::size_t>(64 - std::countl_zero(dots)));
    }
    return rightmost_labels(text, name.label_count, count);
}

template <class TextOffset, class ListOffset>
class RangeAnswerer {
public:
    RangeAnswerer(const StringColumn& column, const ColumnRequest& request, Shared shared,
                  RangeOutput& out)
        : column_(column), request_(request), shared_(shared), out_(out) {}

    void run() {
        if (request_.question == Question::kPrivateParts) out_.item_offsets.push(TextOffset{0});
        NameBatch batch;
        for (std::int64_t block = out_.begin; block < out_.end; block += kBlock) {
            const std::int64_t block_end = std::min(block + kBlock, out_.end);
            batch.clear();
            for (std::int64_t i = block; i < block_end; ++i) {
                if (column_.is_null(i)) {
                    batch.add_null();
                } else {
                    batch.add(column_.value(i));
                }
            }
            batch.match(request_.accept_unknown, request_.icann_only);
            for (std::int64_t i = block; i < block_end; ++i) {
                const std::size_t k = static_cast<std::size_t>(i - block);
                answer(i, batch[k], batch.public_length(k), k, batch);
            }
        }
    }

private:
    void answer(std::int64_t i, const NameBatch::Name& name, std::size_t p, std::size_t k,
                const NameBatch& batch) {
        if (name.state == NameBatch::State::kNull) {
            ++out_.nulls;
            close_slot(i);
            return;
        }
        const bool valid = name.state == NameBatch::State::kValid;
        const std::size_t labels = name.label_count;
        const bool is_private = valid && p != 0 && p < labels;
        switch (request_.question) {
            case Question::kIsPublic:
            case Question::kIsPrivate: {
                const bool truth = request_.question == Question::kIsPublic ? valid && p == labels
                                                                            : is_private;
                set_bit(shared_.validity, i);
                if (truth) set_bit(static_cast<std::uint8_t*>(shared_.values), i);
                return;
            }
            case Question::kPublicSuffix:
                if (!valid || p == 0) return null_answer(i);
                return text_answer(i, name, p, batch.lowered(k));
            case Question::kPrivateSuffix:
                if (!is_private) return null_answer(i);
                return text_answer(i, name, p + 1, batch.lowered(k));
            case Question::kSubdomain: {
                if (!is_private) return null_answer(i);
                const std::size_t subdomains = labels - p - 1;
                if (request_.depth > subdomains) return null_answer(i);
                return text_answer(i, name, p + 1 + static_cast<std::size_t>(request_.depth),
                                   batch.lowered(k));
            }
            case Question::kPrivateParts:
                if (!is_private) return null_answer(i);
                return parts_answer(i, name, p, batch.lowered(k));
        }
    }

    void null_answer(std::int64_t i) {
        ++out_.nulls;
        close_slot(i);
    }

    // Ends element i's run of offsets (text or list) where the output stands.
    void close_slot(std::int64_t i) {
        if (request_.question == Question::kPrivateParts) {
            static_cast<ListOffset*>(shared_.values)[i + 1] = static_cast<ListOffset>(out_.items);
        } else if (request_.question != Question::kIsPublic &&
                   request_.question != Question::kIsPrivate) {
            static_cast<TextOffset*>(shared_.values)[i + 1] =
                static_cast<TextOffset>(out_.data.size());
        }
    }

    std::string_view source(const NameBatch::Name& name, std::string_view lowered) const {
        return request_.keep_case ? name.given : lowered;
    }

    void text_answer(std::int64_t i, const NameBatch::Name& name, std::size_t count,
                     std::string_view lowered) {
        const std::string_view text = rightmost(name, source(name, lowered), count);
        if (!text.empty()) std::memcpy(out_.data.append(text.size()), text.data(), text.size());
        set_bit(shared_.validity, i);
        close_slot(i);
    }

    void parts_answer(std::int64_t i, const NameBatch::Name& name, std::size_t p,
                      std::string_view lowered) {
        const std::string_view text = source(name, lowered);
        const std::size_t subdomains = name.label_count - p - 1;
        std::size_t start = 0;
        for (std::size_t s = 0; s < subdomains; ++s) {
            const std::size_t dot = text.find('.', start);
            add_item(text.substr(start, dot - start));
            start = dot + 1;
        }
        add_item(rightmost(name, text, p + 1));
        set_bit(shared_.validity, i);
        close_slot(i);
    }

    void add_item(std::string_view item) {
        std::memcpy(out_.data.append(item.size()), item.data(), item.size());
        out_.item_offsets.push(static_cast<TextOffset>(out_.data.size()));
        ++out_.items;
    }

    const StringColumn& column_;
    const ColumnRequest& request_;
    Shared shared_;
    RangeOutput& out_;
};

// Adds `base` to values[from, to).
template <class Offset>
void shift_offsets(void* values, std::int64_t from, std::int64_t to, std::int64_t base) {
    Offset* const offsets = static_cast<Offset*>(values);
    for (std::int64_t i = from; i < to; ++i) offsets[i] = static_cast<Offset>(offsets[i] + base);
}

// Appends every range's bytes to the first's, freeing each once copied, so
// that at most one range's bytes exist twice. Returns the ranges' bases.
std::vector<std::int64_t> join_data(std::vector<RangeOutput>& ranges, Buffer& joined) {
    std::vector<std::int64_t> bases;
    std::size_t total = 0;
    for (RangeOutput& range : ranges) {
        bases.push_back(static_cast<std::int64_t>(total));
        total += range.data.size();
    }
    joined = std::move(ranges[0].data.buffer());
    joined.resize(ranges[0].data.size());
    for (std::size_t k = 1; k < ranges.size(); ++k) {
        const std::size_t size = ranges[k].data.size();
        joined.resize(static_cast<std::size_t>(bases[k]) + size);
        if (size != 0) std::memcpy(joined.as<char>() + bases[k], ranges[k].data.data(), size);
        Buffer freed = std::move(ranges[k].data.buffer());
    }
    return bases;
}

template <class TextOffset, class ListOffset>
void answer_ranges(const StringColumn& column, const ColumnRequest& request, ResultColumn& result,
                   std::vector<RangeOutput>& ranges) {
    const Shared shared{result.validity.as<std::uint8_t>(), result.values.data()};
    auto run = [&](RangeOutput& range) {
        try {
            RangeAnswerer<TextOffset, ListOffset>(column, request, shared, range).run();
        } catch (...) {
            range.failure = std::current_exception();
        }
    };
    std::vector<std::thread> threads;
    std::size_t inline_from = ranges.size();
    for (std::size_t k = 1; k < ranges.size(); ++k) {
        try {
            threads.emplace_back(run, std::ref(ranges[k]));
        } catch (...) {
            inline_from = k;  // no more threads: the calling thread does the rest
            break;
        }
    }
    run(ranges[0]);
    for (std::size_t k = inline_from; k < ranges.size(); ++k) run(ranges[k]);
    for (std::thread& thread : threads) thread.join();
    for (RangeOutput& range : ranges) {
        if (range.failure) std::rethrow_exception(range.failure);
    }

    for (const RangeOutput& range : ranges) result.null_count += range.nulls;
    const Question q = request.question;
    if (q == Question::kIsPublic || q == Question::kIsPrivate) return;
    const std::vector<std::int64_t> data_bases = join_data(ranges, result.data);
    if (q != Question::kPrivateParts) {
        for (std::size_t k = 1; k < ranges.size(); ++k) {
            shift_offsets<TextOffset>(result.values.data(), ranges[k].begin + 1, ranges[k].end + 1,
                                      data_bases[k]);
        }
        return;
    }
    // Items: the first range's offsets, then every other's shifted by its
    // data base, each freed once copied.
    std::int64_t items = ranges[0].items;
    result.item_offsets = std::move(ranges[0].item_offsets.buffer());
    for (std::size_t k = 1; k < ranges.size(); ++k) {
        const std::int64_t count = ranges[k].items;
        result.item_offsets.resize(static_cast<std::size_t>(items + 1 + count) * sizeof(TextOffset));
        auto* to = result.item_offsets.as<TextOffset>() + items + 1;
        const auto* from = reinterpret_cast<const TextOffset*>(ranges[k].item_offsets.data()) + 1;
        for (std::int64_t j = 0; j < count; ++j) {
            to[j] = static_cast<TextOffset>(from[j] + data_bases[k]);
        }
        shift_offsets<ListOffset>(result.values.data(), ranges[k].begin + 1, ranges[k].end + 1,
                                  items);
        items += count;
        Buffer freed = std::move(ranges[k].item_offsets.buffer());
    }
    result.item_offsets.resize(static_cast<std::size_t>(items + 1) * sizeof(TextOffset));
    result.item_count = items;
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
    if (names < 65536) return 1;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : cores;
}

ResultColumn answer_column(const StringColumn& column, const ColumnRequest& request) {
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

    // Ranges of whole bitmap words, one per thread.
    const std::int64_t wanted = std::max<std::int64_t>(1, request.threads);
    const std::int64_t words = (n + kRangeAlign - 1) / kRangeAlign;
    const std::int64_t range_count = std::max<std::int64_t>(1, std::min(wanted, words));
    const std::int64_t words_per_range = (words + range_count - 1) / std::max<std::int64_t>(range_count, 1);
    std::vector<RangeOutput> ranges(static_cast<std::size_t>(range_count));
    for (std::int64_t k = 0; k < range_count; ++k) {
        ranges[static_cast<std::size_t>(k)].begin = std::min(n, k * words_per_range * kRangeAlign);
        ranges[static_cast<std::size_t>(k)].end = std::min(n, (k + 1) * words_per_range * kRangeAlign);
    }

    if (result.kind == ResultColumn::Kind::kParts) {
        if (result.wide_lists) {
            answer_ranges<std::int64_t, std::int64_t>(column, request, result, ranges);
        } else if (result.wide_offsets) {
            answer_ranges<std::int64_t, std::int32_t>(column, request, result, ranges);
        } else {
            answer_ranges<std::int32_t, std::int32_t>(column, request, result, ranges);
        }
    } else if (result.wide_offsets) {
        answer_ranges<std::int64_t, std::int32_t>(column, request, result, ranges);
    } else {
        answer_ranges<std::int32_t, std::int32_t>(column, request, result, ranges);
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
