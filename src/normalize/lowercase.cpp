#include "normalize/lowercase.h"

#include <cstdint>
#include <cstring>

#include "common/simd.h"
#include "normalize/case_data.h"
#include "normalize/case_tables.h"
#include "normalize/normalize.h"
#include "normalize/utf8.h"


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

// Lowercases the ASCII prefix of src into dst; returns its length (the
// offset of the first byte with the high bit set, or size). The result is
// byte for byte what one byte at a time would give; the blocks only save
// work. Texts of 16 bytes or more finish with one block ending at the last
// byte, overlapping the one before (its bytes lowered again alike).
inline std::size_t lower_ascii_prefix(const char* src, char* dst, std::size_t size) noexcept {
    std::size_t done = 0;
    if (size >= simd::kBlockBytes) {
        for (; size - done >= simd::kBlockBytes; done += simd::kBlockBytes) {
            const simd::Block bytes = simd::load(src + done);
            if (simd::bits(bytes) != 0) break;
            simd::store(dst + done, simd::lower_ascii(bytes));
        }
        if (done == size) return size;
        if (size - done < simd::kBlockBytes) {
            const simd::Block bytes = simd::load(src + size - simd::kBlockBytes);
            if (simd::bits(bytes) == 0) {
                simd::store(dst + size - simd::kBlockBytes, simd::lower_ascii(bytes));
                return size;
            }
        }
    } else if (size > 0) {
        const simd::Block bytes = simd::load_partial(src, size);
        if (simd::bits(bytes) == 0) {
            simd::store_partial(dst, simd::lower_ascii(bytes), size);
            return size;
        }
    }
    while (done < size && static_cast<unsigned char>(src[done]) < 0x80) {
        dst[done] = static_cast<char>(lower_ascii(static_cast<unsigned char>(src[done])));
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
    const std::size_t ascii = lower_ascii_prefix(text.data(), out.data(), text.size());
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
