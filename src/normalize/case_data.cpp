#include "normalize/case_data.h"

#include <algorithm>

#include "normalize/case_tables.h"
#include "normalize/utf8.h"

namespace vexlo {

namespace {

constexpr std::size_t kCapitalSigmaLength = 2;  // bytes of U+03A3 in UTF-8

bool has_property(char32_t c, std::uint8_t bits) noexcept {
    return (case_tables::properties(c) & bits) != 0;
}

}  // namespace

bool is_case_ignorable(char32_t c) noexcept {
    return has_property(c, case_tables::kCaseIgnorable);
}

bool is_cased(char32_t c) noexcept {
    return has_property(c, case_tables::kLowercase | case_tables::kUppercase |
                               case_tables::kTitlecase);
}


// Final_Sigma: a cased letter before the sigma and none after it, looking
// past case-ignorable code points (the dot among them, so labels do not stop
// the walks). Each walk ends at the first code point that is not
// case-ignorable, so a text is walked at most twice in all.
bool final_sigma_applies(std::string_view text, std::size_t offset) noexcept {
    if (offset == 0 || offset >= text.size()) return false;
    const auto* begin = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = begin + text.size();

    const unsigned char* p = begin + offset;
    for (;;) {
        if (p == begin) return false;
        const utf8::Decoded before = utf8::decode_before(begin, p);
        p -= before.length;
        if (!is_case_ignorable(before.code_point)) {
            if (!is_cased(before.code_point)) return false;
            break;
        }
    }

    p = begin + std::min(offset + kCapitalSigmaLength, text.size());
    while (p < end) {
        const utf8::Decoded after = utf8::decode(p, end);
        p += after.length;
        if (!is_case_ignorable(after.code_point)) return !is_cased(after.code_point);
    }
    return true;
}

}  // namespace vexlo
