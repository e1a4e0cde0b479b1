#include "columns/answer_column.h"

#include <algorithm>
#include <bit>
#include <optional>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

#include "common/parallel.h"
#include "common/simd.h"
#include "host/find_host.h"
#include "normalize/utf8_check.h"
#include "query/answers.h"
#include "query/name_batch.h"

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

struct RangeOutput {
    std::int64_t begin = 0;
    std::int64_t end = 0;
    // The range's region of the shared data buffer (text or items), where
    // it writes data_size bytes from its start; offsets into it count from
    // there.
    std::size_t data_start = 0;
    std::size_t data_size = 0;
    // Parts: the range's region of the shared item offsets (after the
    // leading 0), where it writes `items` offsets.
    std::size_t items_start = 0;
    std::int64_t items = 0;
    std::int64_t nulls = 0;
};

// The column's buffers that every range writes its own part of.
struct Shared {
    std::uint8_t* validity;
    void* values;
    char* data;
    void* item_offsets;  // parts
};

// Every range's data region has this much room past the bytes its answers
// may take, for copies made sixteen bytes at a time.
constexpr std::size_t kCopySlack = 16;

// Copies `size` bytes from `from`, which may be read up to sixteen bytes past
// them, to `to`, which may be written as far: whole sixteen-byte words,
// without a call.
inline void copy_padded(char* to, const char* from, std::size_t size) noexcept {
    for (std::size_t at = 0; at < size; at += simd::kBlockBytes) {
        simd::store(to + at, simd::load(from + at));
    }
}

// Copies `size` bytes, reading none beyond them, in sixteen-byte words
// without a call (hosts are short; the library call costs more than the copy).
inline void copy_exact(char* to, const char* from, std::size_t size) noexcept {
    std::size_t at = 0;
    for (; size - at > simd::kBlockBytes; at += simd::kBlockBytes) {
        simd::store(to + at, simd::load(from + at));
    }
    simd::store_partial(to + at, simd::load_partial(from + at, size - at), size - at);
}

// Whether `text`, a non-empty part of the UTF-8 text `whole`, is UTF-8
// itself: it neither starts nor ends inside a character.
inline bool whole_characters(std::string_view text, std::string_view whole) noexcept {
    const auto continues = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; };
    const char* const end = text.data() + text.size();
    return !continues(text.front()) && (end == whole.data() + whole.size() || !continues(*end));
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

// Writes a block's text answers, one element after another, into its
// range's region: the bytes, each element's end offset and its validity bit.
template <class TextOffset>
class TextWriter {
public:
    TextWriter(Shared shared, RangeOutput& range, std::int64_t block) noexcept
        : range_(range),
          base_(shared.data + range.data_start),
          out_(base_ + range.data_size),
          offsets_(static_cast<TextOffset*>(shared.values) + block + 1),
          validity_(shared.validity, block) {}

    // Where the next answer's bytes go.
    char* out() const noexcept { return out_; }
    // The next element's answer ends at `end`.
    void answered(char* end) noexcept {
        out_ = end;
        put(true);
    }
    // The next element has none: it is null.
    void none() noexcept {
        ++nulls_;
        put(false);
    }
    void finish() noexcept {
        validity_.finish(count_);
        range_.data_size = static_cast<std::size_t>(out_ - base_);
        range_.nulls += nulls_;
    }

private:
    void put(bool valid) noexcept {
        validity_.put(count_, valid);
        offsets_[count_++] = static_cast<TextOffset>(out_ - base_);
    }

    RangeOutput& range_;
    char* const base_;
    char* out_;
    TextOffset* const offsets_;
    BitWriter validity_;
    std::size_t count_ = 0;
    std::int64_t nulls_ = 0;
};

template <class TextOffset, class ListOffset>
class RangeAnswerer {
public:
    RangeAnswerer(const StringColumn& column, const ColumnRequest& request,
                  const RuleTables& tables, Shared shared, RangeOutput& out)
        : column_(column), request_(request), tables_(tables), shared_(shared), out_(out) {}

    void run() {
        switch (request_.question) {
            case Question::kPublicSuffix: return run_blocks<Question::kPublicSuffix>();
            case Question::kPrivateSuffix: return run_blocks<Question::kPrivateSuffix>();
            case Question::kIsPublic: return run_blocks<Question::kIsPublic>();
            case Question::kIsPrivate: return run_blocks<Question::kIsPrivate>();
            case Question::kPrivateParts: return run_blocks<Question::kPrivateParts>();
            case Question::kSubdomain: return run_blocks<Question::kSubdomain>();
            case Question::kHost: return hosts();
        }
    }

private:
    template <Question Q>
    void run_blocks() {
        NameBatch batch;
        for (std::int64_t block = out_.begin; block < out_.end; block += kBlock) {
            const std::int64_t block_end = std::min(block + kBlock, out_.end);
            batch.clear();
            column_.visit(
                block, block_end, [&] { batch.add_null(); },
                [&](std::string_view text) { batch.add(text); });
            batch.match(tables_, Switches{request_.accept_unknown, request_.icann_only});
            if constexpr (Q == Question::kIsPublic || Q == Question::kIsPrivate) {
                truths<Q>(block, batch);
            } else if constexpr (Q == Question::kPrivateParts) {
                parts(block, batch);
            } else {
                texts<Q>(block, batch);
            }
        }
    }

    template <Question Q>
    void texts(std::int64_t block, const NameBatch& batch) {
        const bool keep_case = request_.keep_case;
        TextWriter<TextOffset> writer(shared_, out_, block);
        for (std::size_t k = 0; k < batch.size(); ++k) {
            std::optional<std::string_view> answer;
            if (batch[k].state == NameBatch::State::kValid) {
                answer = text_answer(Q, batch.view(k), keep_case, request_.depth);
            }
            if (!answer) {
                writer.none();
                continue;
            }
            // The lowercase lies in the batch's padded arena; the caller's
            // text may end anywhere.
            char* const out = writer.out();
            if (!keep_case) {
                copy_padded(out, answer->data(), answer->size());
            } else {
                std::memcpy(out, answer->data(), answer->size());
            }
            writer.answered(out + answer->size());
        }
        writer.finish();
    }

    // The host of every element, as written: a slice of the element itself,
    // which needs no batch.
    void hosts() {
        const bool keep_ip = request_.keep_ip;
        for (std::int64_t block = out_.begin; block < out_.end; block += kBlock) {
            const std::int64_t block_end = std::min(block + kBlock, out_.end);
            // An element that is not UTF-8 has no host, as it is no name for
            // the questions. When the block's bytes lie together, one pass
            // over them does for nearly every block.
            const std::optional<std::string_view> joined = column_.joined_text(block, block_end);
            const bool joined_utf8 = joined && is_utf8(*joined);
            const char* const joined_end = joined ? joined->data() + joined->size() : nullptr;
            TextWriter<TextOffset> writer(shared_, out_, block);
            column_.visit(
                block, block_end, [&] { writer.none(); },
                [&](std::string_view text) {
                    const host::FoundHost found = host::find_host(text);
                    if (!host::is_answer(found, keep_ip) ||
                        !(joined_utf8 ? whole_characters(text, *joined) : is_utf8(text))) {
                        writer.none();
                        return;
                    }
                    char* const out = writer.out();
                    if (found.has_tab_or_newline()) [[unlikely]] {
                        writer.answered(out + host::copy_without_tab_or_newline(found.text(), out));
                        return;
                    }
                    const std::string_view host = found.text();
                    // Inside a block's joined text, all but the last few hosts
                    // have sixteen bytes of it after them.
                    if (joined && host.data() + host.size() + kCopySlack <= joined_end) {
                        copy_padded(out, host.data(), host.size());
                    } else {
                        copy_exact(out, host.data(), host.size());
                    }
                    writer.answered(out + host.size());
                });
            writer.finish();
        }
    }

    template <Question Q>
    void truths(std::int64_t block, const NameBatch& batch) {
        BitWriter validity(shared_.validity, block);
        BitWriter values(static_cast<std::uint8_t*>(shared_.values), block);
        std::int64_t nulls = 0;
        for (std::size_t k = 0; k < batch.size(); ++k) {
            const NameBatch::Name& name = batch[k];
            bool truth = false;
            if (name.state == NameBatch::State::kValid) {
                const MatchView match = batch.view(k);
                truth = Q == Question::kIsPublic ? is_public(match) : is_private(match);
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
                if (const std::optional<PrivateParts> found = privateparts(batch.view(k), request_.keep_case)) {
                    answered = true;
                    each_private_part(*found, [&](std::string_view item) { add_item(item); });
                }
            }
            out_.nulls += !answered;
            validity.put(k, answered);
            lists[k] = static_cast<ListOffset>(out_.items);
        }
        validity.finish(batch.size());
    }

    void add_item(std::string_view item) {
        std::memcpy(shared_.data + out_.data_start + out_.data_size, item.data(), item.size());
        out_.data_size += item.size();
        static_cast<TextOffset*>(shared_.item_offsets)[1 + out_.items_start + out_.items] =
            static_cast<TextOffset>(out_.data_size);
        ++out_.items;
    }

    const StringColumn& column_;
    const ColumnRequest& request_;
    const RuleTables& tables_;
    Shared shared_;
    RangeOutput& out_;
};

// Adds `base` to values[from, to).
template <class Offset>
void shift_offsets(void* values, std::int64_t from, std::int64_t to, std::int64_t base) {
    Offset* const offsets = static_cast<Offset*>(values);
    for (std::int64_t i = from; i < to; ++i) offsets[i] = static_cast<Offset>(offsets[i] + base);
}

// Gives the whole pages within [begin, end) back to the system; their bytes
// read as zero if touched again. Only for bytes nothing will read.
void release_pages(char* begin, char* end) noexcept {
#if defined(__linux__)
    static const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t first = (reinterpret_cast<std::uintptr_t>(begin) + page - 1) & ~(page - 1);
    const std::uintptr_t last = reinterpret_cast<std::uintptr_t>(end) & ~(page - 1);
    if (first < last) madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
#else
    (void)begin;
    (void)end;
#endif
}

// Moves the `count` values of type T at buffer[from] down to buffer[to]
// (to <= from), adding `base` to each, a piece at a time; the pages of the
// pieces moved that lie past the moved values' new end are given back at
// once, so that the move never holds much more than the values once.
template <class T>
void move_down(T* buffer, std::size_t to, std::size_t from, std::size_t count, T base) {
    constexpr std::size_t kPiece = (std::size_t{1} << 20) / sizeof(T);
    for (std::size_t done = 0; done < count; done += kPiece) {
        const std::size_t piece = std::min(kPiece, count - done);
        T* const source = buffer + from + done;
        T* const target = buffer + to + done;
        if (base == 0) {
            std::memmove(target, source, piece * sizeof(T));
        } else {
            // Target before source: front to back reads each value before
            // it is overwritten.
            for (std::size_t j = 0; j < piece; ++j) target[j] = static_cast<T>(source[j] + base);
        }
        release_pages(reinterpret_cast<char*>(std::max(source, target + piece)),
                      reinterpret_cast<char*>(source + piece));
    }
}

// The regions of the shared buffers: each range gets room for the most its
// answers can take, so that no range ever grows or copies its output while
// answering. Pages a range leaves unwritten are never touched.
struct Regions {
    std::size_t data_bytes = 0;
    std::size_t items = 0;
};

Regions place_ranges(const StringColumn& column, const ColumnRequest& request,
                     std::vector<RangeOutput>& ranges) {
    Regions total;
    for (RangeOutput& range : ranges) {
        const std::uint64_t text = column.text_bytes(range.begin, range.end);
        // Lowercasing adds at most half a text's bytes; the caller's
        // spelling and a host are the text itself or less; privateparts
        // leaves out the dots.
        const bool as_given = request.keep_case || request.question == Question::kHost;
        const std::uint64_t answers = as_given ? text : text + text / 2;
        range.data_start = total.data_bytes;
        total.data_bytes += static_cast<std::size_t>(answers) + kCopySlack;
        if (request.question == Question::kPrivateParts) {
            // A name of b bytes has at most (b + 1) / 2 labels.
            range.items_start = total.items;
            total.items += static_cast<std::size_t>(text / 2) +
                           static_cast<std::size_t>(range.end - range.begin);
        }
    }
    return total;
}

template <class TextOffset, class ListOffset>
void answer_ranges(const StringColumn& column, const ColumnRequest& request,
                   const RuleTables& tables, ResultColumn& result,
                   std::vector<RangeOutput>& ranges) {
    if (request.question != Question::kIsPublic && request.question != Question::kIsPrivate) {
        const Regions regions = place_ranges(column, request, ranges);
        result.data = Buffer(regions.data_bytes);
        if (request.question == Question::kPrivateParts) {
            result.item_offsets = Buffer((regions.items + 1) * sizeof(TextOffset));
            result.item_offsets.as<TextOffset>()[0] = 0;
        }
    }
    const Shared shared{result.validity.as<std::uint8_t>(), result.values.data(),
                        result.data.as<char>(), result.item_offsets.data()};
    run_parts(ranges.size(), [&](std::size_t k) {
        RangeAnswerer<TextOffset, ListOffset>(column, request, tables, shared, ranges[k]).run();
    });

    for (const RangeOutput& range : ranges) result.null_count += range.nulls;
    const Question q = request.question;
    if (q == Question::kIsPublic || q == Question::kIsPrivate) return;
    // Each range's output follows the one before it, every offset of it
    // shifted by what went before.
    std::size_t data_end = ranges[0].data_size;
    std::int64_t items = ranges[0].items;
    for (std::size_t k = 1; k < ranges.size(); ++k) {
        const RangeOutput& range = ranges[k];
        move_down(result.data.as<char>(), data_end, range.data_start, range.data_size, char{0});
        if (q != Question::kPrivateParts) {
            shift_offsets<TextOffset>(result.values.data(), range.begin + 1, range.end + 1,
                                      static_cast<std::int64_t>(data_end));
        } else {
            move_down(result.item_offsets.as<TextOffset>() + 1, static_cast<std::size_t>(items),
                      range.items_start, static_cast<std::size_t>(range.items),
                      static_cast<TextOffset>(data_end));
            shift_offsets<ListOffset>(result.values.data(), range.begin + 1, range.end + 1, items);
        }
        data_end += range.data_size;
        items += range.items;
    }
    result.data.resize(data_end);
    if (q == Question::kPrivateParts) {
        result.item_offsets.resize(static_cast<std::size_t>(items + 1) * sizeof(TextOffset));
        result.item_count = items;
    }
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
    if (names < kColumnNamesForThreads) return 1;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : cores;
}

ResultColumn answer_column(const StringColumn& column, const ColumnRequest& request,
                           const RuleTables& tables) {
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
            answer_ranges<std::int64_t, std::int64_t>(column, request, tables, result, ranges);
        } else if (result.wide_offsets) {
            answer_ranges<std::int64_t, std::int32_t>(column, request, tables, result, ranges);
        } else {
            answer_ranges<std::int32_t, std::int32_t>(column, request, tables, result, ranges);
        }
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
