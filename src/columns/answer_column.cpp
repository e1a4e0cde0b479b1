#include "columns/answer_column.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <exception>
#include <limits>
#include <thread>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "columns/name_batch.h"
#include "columns/batch_walk.h"
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
    // Room for `bytes` more bytes, which the caller writes and then
    // accounts for with set_size; returns the start of the buffer.
    char* reserve(std::size_t bytes) {
        if (bytes > buffer_.size() - size_) grow(bytes);
        return buffer_.as<char>();
    }
    void set_size(std::size_t size) noexcept { size_ = size; }
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

// Growing::reserve leaves this much room past what the block may write, for
// copies made sixteen bytes at a time.
constexpr std::size_t kCopySlack = 16;

// Copies `size` bytes from `from`, which may be read up to sixteen bytes past
// them, to `to`, which may be written as far: whole sixteen-byte words,
// without a call.
inline void copy_padded(char* to, const char* from, std::size_t size) noexcept {
#if defined(__SSE2__)
    for (std::size_t at = 0; at < size; at += 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + at),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + at)));
    }
#else
    std::memcpy(to, from, size);
#endif
}

// Where the `count` rightmost of a name's `label_count` labels start, in a
// text whose dots are at the places of the name's lowered text (its first 64
// bytes described by `dots`).
inline std::size_t rightmost_start(const WalkName& name, std::string_view text,
                                   std::size_t count) noexcept {
    if (count == name.label_count) return 0;
    if (name.size > 64) [[unlikely]] {
        const std::string_view labels = rightmost_labels(text, name.label_count, count);
        return static_cast<std::size_t>(labels.data() - text.data());
    }
    // Drop the count - 1 rightmost dots; the labels start after the next.
    std::uint64_t dots = name.dots;
    for (std::size_t k = 1; k < count; ++k) dots &= ~(std::uint64_t{1} << (63 - std::countl_zero(dots)));
    return static_cast<std::size_t>(64 - std::countl_zero(dots));
}

// The bits of one block of a bitmap, gathered a word at a time. Blocks
// start at multiples of 64 elements.
class BitWriter {
public:
    BitWriter(std::uint8_t* bitmap, std::int64_t first) noexcept
        : bytes_(bitmap + first / 8) {}
    void put(std::size_t k, bool bit) noexcept {
        word_ |= std::uint64_t{bit} << (k & 63);
        if ((k & 63) == 63) flush(k);
    }
    // After the block's last element, k.
    void finish(std::size_t count) noexcept {
        if (count % 64 != 0) flush(count - 1);
    }

private:
    void flush(std::size_t k) noexcept {
        // Only the bytes of elements up to k: the bitmap may end there.
        const std::size_t bytes = (k & 63) / 8 + 1;
        std::uint8_t* const to = bytes_ + (k / 64) * 8;
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(to, &word_, bytes);
        } else {
            for (std::size_t b = 0; b < bytes; ++b) to[b] = static_cast<std::uint8_t>(word_ >> (8 * b));
        }
        word_ = 0;
    }
    std::uint8_t* bytes_;
    std::uint64_t word_ = 0;
};

template <class TextOffset, class ListOffset>
class RangeAnswerer {
public:
    RangeAnswerer(const StringColumn& column, const ColumnRequest& request, Shared shared,
                  RangeOutput& out)
        : column_(column), request_(request), shared_(shared), out_(out) {}

    void run() {
        switch (request_.question) {
            case Question::kPublicSuffix: return run_blocks<Question::kPublicSuffix>();
            case Question::kPrivateSuffix: return run_blocks<Question::kPrivateSuffix>();
            case Question::kIsPublic: return run_blocks<Question::kIsPublic>();
            case Question::kIsPrivate: return run_blocks<Question::kIsPrivate>();
            case Question::kPrivateParts: return run_blocks<Question::kPrivateParts>();
            case Question::kSubdomain: return run_blocks<Question::kSubdomain>();
        }
    }

private:
    template <Question Q>
    void run_blocks() {
        if constexpr (Q == Question::kPrivateParts) out_.item_offsets.push(TextOffset{0});
        NameBatch batch;
        for (std::int64_t block = out_.begin; block < out_.end; block += kBlock) {
            const std::int64_t block_end = std::min(block + kBlock, out_.end);
            batch.clear();
            column_.visit(
                block, block_end, [&] { batch.add_null(); },
                [&](std::string_view text) { batch.add(text); });
            batch.match(request_.accept_unknown, request_.icann_only);
            if constexpr (Q == Question::kIsPublic || Q == Question::kIsPrivate) {
                truths<Q>(block, batch);
            } else if constexpr (Q == Question::kPrivateParts) {
                parts(block, batch);
            } else {
                texts<Q>(block, batch);
            }
        }
    }

    // How many rightmost labels answer a valid name, or 0 for a null answer.
    template <Question Q>
    std::size_t answer_labels(std::size_t p, std::size_t labels) const noexcept {
        if constexpr (Q == Question::kPublicSuffix) {
            return p;
        } else {
            if (p == 0 || p >= labels) return 0;  // not below a public suffix
            if constexpr (Q == Question::kPrivateSuffix) {
                return p + 1;
            } else {
                const std::size_t subdomains = labels - p - 1;
                if (request_.depth > subdomains) return 0;
                return p + 1 + static_cast<std::size_t>(request_.depth);
            }
        }
    }

    template <Question Q>
    void texts(std::int64_t block, const NameBatch& batch) {
        const bool keep_case = request_.keep_case;
        char* const base = out_.data.reserve(batch.answer_bound(keep_case) + kCopySlack);
        char* out = base + out_.data.size();
        TextOffset* const offsets = static_cast<TextOffset*>(shared_.values) + block + 1;
        const std::span<const std::uint32_t> lengths = batch.public_lengths();
        BitWriter validity(shared_.validity, block);
        std::int64_t nulls = 0;
        for (std::size_t k = 0; k < batch.size(); ++k) {
            const NameBatch::Name& name = batch[k];
            bool answered = false;
            if (name.state == NameBatch::State::kValid) {
                const WalkName& walked = batch.walk_name(k);
                const std::size_t count = answer_labels<Q>(lengths[name.walk], walked.label_count);
                if (count != 0) {
                    answered = true;
                    if (!keep_case) {
                        const std::string_view text(walked.text, walked.size);
                        const std::size_t start = rightmost_start(walked, text, count);
                        copy_padded(out, text.data() + start, text.size() - start);
                        out += text.size() - start;
                    } else {
                        const std::string_view text =
                            name.ascii ? name.given.substr(rightmost_start(walked, name.given, count))
                                       : rightmost_labels(name.given, walked.label_count, count);
                        std::memcpy(out, text.data(), text.size());
                        out += text.size();
                    }
                }
            }
            nulls += !answered;
            validity.put(k, answered);
            offsets[k] = static_cast<TextOffset>(out - base);
        }
        validity.finish(batch.size());
        out_.data.set_size(static_cast<std::size_t>(out - base));
        out_.nulls += nulls;
    }

    template <Question Q>
    void truths(std::int64_t block, const NameBatch& batch) {
        const std::span<const std::uint32_t> lengths = batch.public_lengths();
        BitWriter validity(shared_.validity, block);
        BitWriter values(static_cast<std::uint8_t*>(shared_.values), block);
        std::int64_t nulls = 0;
        for (std::size_t k = 0; k < batch.size(); ++k) {
            const NameBatch::Name& name = batch[k];
            bool truth = false;
            if (name.state == NameBatch::State::kValid) {
                const std::size_t p = lengths[name.walk];
                const std::size_t labels = batch.walk_name(k).label_count;
                truth = Q == Question::kIsPublic ? p == labels : p != 0 && p < labels;
            }
            nulls += name.state == NameBatch::State::kNull;
            validity.put(k, name.state != NameBatch::State::kNull);
            values.put(k, truth);
        }
        validity.finish(batch.size());
        values.finish(batch.size());
        out_.nulls += nulls;
    }

    void parts(std::int64_t block, const NameBatch& batch) {
        BitWriter validity(shared_.validity, block);
        ListOffset* const lists = static_cast<ListOffset*>(shared_.values) + block + 1;
        for (std::size_t k = 0; k < batch.size(); ++k) {
            const NameBatch::Name& name = batch[k];
            bool answered = false;
            if (name.state == NameBatch::State::kValid) {
                const WalkName& walked = batch.walk_name(k);
                const std::size_t p = batch.public_length(k);
                if (p != 0 && p < walked.label_count) {
                    answered = true;
                    const std::string_view text =
                        request_.keep_case ? name.given : std::string_view(walked.text, walked.size);
                    const std::size_t subdomains = walked.label_count - p - 1;
                    std::size_t start = 0;
                    for (std::size_t s = 0; s < subdomains; ++s) {
                        const std::size_t dot = text.find('.', start);
                        add_item(text.substr(start, dot - start));
                        start = dot + 1;
                    }
                    add_item(text.substr(start));
                }
            }
            out_.nulls += !answered;
            validity.put(k, answered);
            lists[k] = static_cast<ListOffset>(out_.items);
        }
        validity.finish(batch.size());
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
