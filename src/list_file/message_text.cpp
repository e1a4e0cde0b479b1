#include "list_file/message_text.h"

#include <cstdio>

#include "normalize/utf8.h"

namespace vexlo::list_file {

namespace {

struct Range {
    char32_t first;
    char32_t last;
};

// Sorted, disjoint. Controls (Cc), format characters (Cf), separators (Zs but
// the space, Zl, Zp), surrogates (Cs), private use (Co) and noncharacters.
constexpr Range kUnprintable[] = {
    {0x0000, 0x001F},   {0x007F, 0x00A0},   {0x00AD, 0x00AD},   {0x0600, 0x0605},
    {0x061C, 0x061C},   {0x06DD, 0x06DD},   {0x070F, 0x070F},   {0x0890, 0x0891},
    {0x08E2, 0x08E2},   {0x1680, 0x1680},   {0x180E, 0x180E},   {0x2000, 0x200F},
    {0x2028, 0x202F},   {0x205F, 0x2064},   {0x2066, 0x206F},   {0x3000, 0x3000},
    {0xD800, 0xF8FF},   {0xFDD0, 0xFDEF},   {0xFEFF, 0xFEFF},   {0xFFF9, 0xFFFB},
    {0x110BD, 0x110BD}, {0x110CD, 0x110CD}, {0x13430, 0x1343F}, {0x1BCA0, 0x1BCA3},
    {0x1D173, 0x1D17A}, {0xE0001, 0xE0001}, {0xE0020, 0xE007F}, {0xF0000, 0x10FFFF},
};

}  // namespace

bool is_printable(char32_t c) noexcept {
    if (c >= 0x20 && c < 0x7F) return true;
    if ((c & 0xFFFE) == 0xFFFE) return false;  // U+xFFFE and U+xFFFF of every plane
    for (const Range& range : kUnprintable) {
        if (c < range.first) return true;
        if (c <= range.last) return false;
    }
    return true;
}

std::string quoted(std::u32string_view text, std::size_t max_chars) {
    std::string out = "'";
    std::size_t shown = 0;
    for (char32_t c : text) {
        if (shown++ == max_chars) {
            out += "...";
            break;
        }
        if (is_printable(c)) {
            char bytes[4];
            out.append(bytes, utf8::encode(c, bytes));
        } else {
            char escape[16];
            out.append(escape, static_cast<std::size_t>(std::snprintf(
                                   escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c))));
        }
    }
    out += '\'';
    return out;
}

std::string quoted(std::string_view utf8, std::size_t max_chars) {
    // Only as much of the text as is shown is converted.
    std::u32string head;
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto* end = p + utf8.size();
    while (p < end && head.size() <= max_chars) {
        const utf8::Decoded d = utf8::decode(p, end);
        head += d.code_point;
        p += d.length;
    }
    return quoted(std::u32string_view(head), max_chars);
}

std::string character_name(char32_t c) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
    if (!is_printable(c)) return code;
    return quoted(std::u32string_view(&c, 1)) + " (" + code + ")";
}

std::string with_thousands(std::size_t value) {
    const std::string digits = std::to_string(value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

}  // namespace vexlo::list_file
