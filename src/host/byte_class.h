// The classes of bytes that the host finder tells apart, one table lookup a
// byte. The bytes a host is mostly made of (letters, digits, '.', '-', UTF-8)
// carry none of the bits that make the authority scan stop and look.
#pragma once

#include <array>
#include <cstdint>

namespace vexlo::host::detail {

enum ByteClass : std::uint16_t {
    kAt = 1 << 0,               // '@': the userinfo ends here
    kColon = 1 << 1,            // ':': the port begins, outside brackets
    kOpen = 1 << 2,             // '['
    kClose = 1 << 3,            // ']'
    kIgnored = 1 << 4,          // TAB, LF, CR: read as if absent, wherever they stand
    kForbidden = 1 << 5,        // never in a host: the other C0 controls, space, % < > ^ | DEL
    kSlash = 1 << 6,            // '/'
    kQueryOrFragment = 1 << 7,  // '?', '#'
    kBackslash = 1 << 8,        // '\'
    kComma = 1 << 9,            // ',': between the recipients of a mailto: URL
    kSchemeChar = 1 << 10,      // ASCII letters and digits, '+', '-', '.'
    kAlpha = 1 << 11,           // ASCII letters
    kDigit = 1 << 12,           // '0'..'9'
    kHexDigit = 1 << 13,        // '0'..'9', 'a'..'f', 'A'..'F'
};

inline constexpr std::array<std::uint16_t, 256> kByteClasses = [] {
    std::array<std::uint16_t, 256> classes{};
    for (int c = 0; c < 0x20; ++c) classes[c] = kForbidden;
    classes['\t'] = classes['\n'] = classes['\r'] = kIgnored;
    for (const char c : {' ', '%', '<', '>', '^', '|', '\x7F'}) classes[static_cast<unsigned char>(c)] = kForbidden;
    classes['@'] = kAt;
    classes[':'] = kColon;
    classes['['] = kOpen;
    classes[']'] = kClose;
    classes['/'] = kSlash;
    classes['?'] = classes['#'] = kQueryOrFragment;
    classes['\\'] = kBackslash;
    classes[','] = kComma;
    classes['+'] = kSchemeChar;
    classes['-'] = classes['.'] = kSchemeChar;
    for (int c = '0'; c <= '9'; ++c) classes[c] = kSchemeChar | kDigit | kHexDigit;
    for (int c = 'a'; c <= 'z'; ++c) {
        const std::uint16_t hex = c <= 'f' ? kHexDigit : 0;
        classes[c] = kSchemeChar | kAlpha | hex;
        classes[c - 'a' + 'A'] = kSchemeChar | kAlpha | hex;
    }
    return classes;
}();

inline std::uint16_t byte_class(char c) noexcept { return kByteClasses[static_cast<unsigned char>(c)]; }

inline bool is_ignored(char c) noexcept { return (byte_class(c) & kIgnored) != 0; }

inline const char* skip_ignored(const char* p, const char* end) noexcept {
    while (p < end && is_ignored(*p)) ++p;
    return p;
}

// The end of [begin, end) less the TAB, LF and CR it ends in.
inline const char* skip_ignored_back(const char* begin, const char* end) noexcept {
    while (end > begin && is_ignored(end[-1])) --end;
    return end;
}

}  // namespace vexlo::host::detail
