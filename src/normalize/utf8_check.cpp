#include "normalize/utf8_check.h"

#include <bit>

#include "common/simd.h"
#include "normalize/utf8.h"

namespace vexlo {
namespace {

// Where the first byte of 0x80 or above is in [p, end), or end. Long runs
// of ASCII (a block of a column's URLs, a list file) are passed 64 bytes a
// step; the sixteen-byte steps then find the byte.
const char* skip_ascii(const char* p, const char* end, bool padded) noexcept {
    for (; end - p >= 64; p += 64) {
        const simd::Block any = simd::load(p) | simd::load(p + 16) | simd::load(p + 32) | simd::load(p + 48);
        if (simd::bits(any) != 0) break;
    }
    for (; end - p >= 16; p += 16) {
        if (const unsigned mask = simd::bits(simd::load(p))) return p + std::countr_zero(mask);
    }
    if (padded && p != end) {
        const unsigned mask = simd::bits(simd::load(p)) & ((1u << (end - p)) - 1);
        return mask != 0 ? p + std::countr_zero(mask) : end;
    }
    while (p < end && static_cast<unsigned char>(*p) < 0x80) ++p;
    return p;
}

}  // namespace

// The sequences are those the lowercasing decodes (normalize/utf8.h): one
// definition of well-formed for the whole of vexlo.
std::size_t utf8_error_offset(std::string_view text, bool padded) noexcept {
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* p = begin;
    while ((p = skip_ascii(p, end, padded)) != end) {
        const utf8::Decoded decoded = utf8::decode(reinterpret_cast<const unsigned char*>(p),
                                                   reinterpret_cast<const unsigned char*>(end));
        if (!decoded.valid) return static_cast<std::size_t>(p - begin);
        p += decoded.length;
    }
    return kWellFormed;
}

}  // namespace vexlo
