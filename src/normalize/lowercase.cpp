#include "normalize/lowercase.h"

#include <cstdint>
#include <cstring>

#include "normalize/case_data.h"
#include "normalize/case_tables.h"
#include "normalize/normalize.h"
#include "normalize/utf8.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vexlo {

namespace {

constexpr char32_t kCapitalSigma = 0x3A3;
constexpr char32_t kSmallSigma = 0x3C3;
constexpr char32_t kFinalSigma = 0x3C2;
// Below this only A-Z change (tools/gen_case_tables.py checks it), so these
// code points skip the tables.
constexpr char32_t kDirectLimit = 0xC0;

inline unsigned char lower_ascii(unsigned char byte) noexcept {
    return static_cast<unsigned char>(byte | (static_cast<unsigned>(byte - 'A') < 26u ? 0x20 : 0));
}

// Lowercases a word of bytes that all have the high bit clear. Adding 0x3F
// sets a byte's high bit exactly when it is at least 'A', adding 0x25 when it
// is past 'Z'; no byte carries into the next since none exceeds 0x7F.
template <typename Word>
inline Word lower_ascii_word(Word word) noexcept {
    constexpr Word kOnes = static_cast<Word>(~Word{0}) / 0xFF;
    constexpr Word kHigh = kOnes * 0x80;
    const Word upper = (word + kOnes * (0x80 - 'A')) & ~(word + kOnes * (0x80 - 'Z' - 1)) & kHigh;
    return word | (upper >> 2);
}

// Lowercases sizeof(Word) bytes from src to dst unless one has its high bit
// set; then writes nothing and answers false.
template <typename Word>
inline bool lower_ascii_chunk(const unsigned char* src, unsigned char* dst) noexcept {
    constexpr Word kHigh = static_cast<Word>(~Word{0}) / 0xFF * 0x80;
    Word word;
    std::memcpy(&word, src, sizeof word);
    if ((word & kHigh) != 0) return false;
    word = lower_ascii_word(word);
    std::memcpy(dst, &word, sizeof word);
    return true;
}

inline bool lower_ascii_block(const unsigned char* src, unsigned char* dst) noexcept {
#if defined(__SSE2__)
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    if (_mm_movemask_epi8(bytes) != 0) return false;
    // Signed compares are right here: every byte is below 0x80.
    const __m128i upper = _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8('A' - 1)),
                                        _mm_cmplt_epi8(bytes, _mm_set1_epi8('Z' + 1)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst),
                     _mm_or_si128(bytes, _mm_and_si128(upper, _mm_set1_epi8(0x20))));
    return true;
#else
    unsigned char lowered[16];
    if (!lower_ascii_chunk<std::uint64_t>(src, lowered) ||
        !lower_ascii_chunk<std::uint64_t>(src + 8, lowered + 8)) {
        return false;
    }
    std::memcpy(dst, lowered, 16);
    return true;
#endif
}

// Two chunks of `Word` covering [0, size), overlapping when size is below
// twice the word; rewriting the overlap is harmless because both writes hold
// the same lowercase bytes.
template <typename Word>
inline bool lower_ascii_short(const unsigned char* src, unsigned char* dst,
                              std::size_t size) noexcept {
    const std::size_t last = size - sizeof(Word);
    Word head, tail;
    std::memcpy(&head, src, sizeof head);
    std::memcpy(&tail, src + last, sizeof tail);
    constexpr Word kHigh = static_cast<Word>(~Word{0}) / 0xFF * 0x80;
    if (((head | tail) & kHigh) != 0) return false;
    head = lower_ascii_word(head);
    tail = lower_ascii_word(tail);
    std::memcpy(dst, &head, sizeof head);
    std::memcpy(dst + last, &tail, sizeof tail);
    return true;
}

// Lowercases the ASCII prefix of src into dst; returns its length (the
// offset of the first byte with the high bit set, or size). The result is
// byte for byte what one byte at a time would give; the blocks only save
// work. Texts of 16 bytes or more finish with one block ending at the last
// byte, overlapping the one before.
inline std::size_t lower_ascii_prefix(const unsigned char* src, unsigned char* dst,
                                      std::size_t size) noexcept {
    std::size_t done = 0;
    if (size >= 16) {
        while (size - done >= 16 && lower_ascii_block(src + done, dst + done)) done += 16;
        if (done == size || (size - done < 16 && lower_ascii_block(src + size - 16, dst + size - 16))) {
            return size;
        }
    } else if (size >= 8) {
        if (lower_ascii_short<std::uint64_t>(src, dst, size)) return size;
    } else if (size >= 4) {
        if (lower_ascii_short<std::uint32_t>(src, dst, size)) return size;
    }
    while (done < size && src[done] < 0x80) {
        dst[done] = lower_ascii(src[done]);
        ++done;
    }
    return done;
}

// Output cursor over `out`. Only a lengthening mapping can outrun the room
// sized to the input; then `out` grows to the larger of twice its capacity
// and the size needed.
class Writer {
public:
    Writer(OwnedText& out, std::size_t position) noexcept
        : out_(out), data_(out.data()), capacity_(out.capacity()), position_(position) {}

    char* room(std::size_t bytes) noexcept {
        if (bytes > capacity_ - position_) {
            out_.set_size(position_);
            out_.grow_to(position_ + bytes);
            data_ = out_.data();
            capacity_ = out_.capacity();
        }
        char* at = data_ + position_;
        position_ += bytes;
        return at;
    }

    void put(char32_t c) noexcept { utf8::encode(c, room(utf8::encoded_length(c))); }

    void finish() noexcept { out_.set_size(position_); }

private:
    OwnedText& out_;
    char* data_;
    std::size_t capacity_;
    std::size_t position_;
};

// From the first non-ASCII byte on, one code point at a time. `start` bytes
// of input and output are done, one for one.
void lower_code_points(std::string_view text, std::size_t start, OwnedText& out) noexcept {
    const auto* begin = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = begin + text.size();
    const unsigned char* p = begin + start;
    Writer writer(out, start);
    while (p < end) {
        if (*p < 0x80) {
            *writer.room(1) = static_cast<char>(lower_ascii(*p));
            ++p;
            continue;
        }
        const utf8::Decoded decoded = utf8::decode(p, end);
        const char32_t c = decoded.code_point;
        const unsigned char* const at = p;
        p += decoded.length;
        std::uint8_t value = 0;
        if (decoded.valid && c >= kDirectLimit) {
            if (c == kCapitalSigma) {
                const bool final = final_sigma_applies(text, static_cast<std::size_t>(at - begin));
                writer.put(final ? kFinalSigma : kSmallSigma);
                continue;
            }
            value = case_tables::lower_value(c);
        }
        if (value == 0) {
            // Unchanged, and ill-formed bytes pass through as they are.
            std::memcpy(writer.room(decoded.length), at, decoded.length);
        } else if (value < case_tables::kExpansionFlag) {
            writer.put(static_cast<char32_t>(static_cast<std::int32_t>(c) +
                                             case_tables::kLowerDeltas[value]));
        } else {
            const case_tables::LowerExpansion& expansion =
                case_tables::kLowerExpansions[value - case_tables::kExpansionFlag];
            for (std::uint8_t k = 0; k < expansion.count; ++k) writer.put(expansion.code_points[k]);
        }
    }
    writer.finish();
}

}  // namespace

void lowercase_into(std::string_view text, OwnedText& out) noexcept {
    const std::size_t ascii = lower_ascii_prefix(reinterpret_cast<const unsigned char*>(text.data()),
                                                 reinterpret_cast<unsigned char*>(out.data()),
                                                 text.size());
    if (ascii == text.size()) {
        out.set_size(ascii);
        return;
    }
    lower_code_points(text, ascii, out);
}

OwnedText lowercase_text(std::string_view text) {
    OwnedText out(text.size());
    lowercase_into(text, out);
    return out;
}

}  // namespace vexlo
