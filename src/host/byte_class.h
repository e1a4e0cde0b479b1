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
    kFullStopFirst = 1 << 14,   // the first byte of a full stop (below)
    kSeparatorLast = 1 << 15,   // '.', or the last byte of a full stop
};

// U+3002 IDEOGRAPHIC FULL STOP, U+FF0E FULLWIDTH FULL STOP and U+FF61
// HALFWIDTH IDEOGRAPHIC FULL STOP separate labels as '.' does: the URL
// Standard's host parser maps them to '.' before it reads a host as a domain
// or an IPv4 address. Their UTF-8, as one number of three bytes:
inline constexpr std::uint32_t kFullStops[] = {0xE38082, 0xEFBC8E, 0xEFBDA1};

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
    classes['.'] |= kSeparatorLast;
    for (const std::uint32_t stop : kFullStops) {
        classes[stop >> 16] |= kFullStopFirst;
        classes[stop & 0xFF] |= kSeparatorLast;
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

inline bool is_full_stop(std::uint32_t bytes) noexcept {
    return bytes == kFullStops[0] || bytes == kFullStops[1] || bytes == kFullStops[2];
}

// Where the full stop that starts at `p` ends, TAB, LF and CR among its bytes
// read as if absent; null when none starts there.
inline const char* full_stop_end(const char* p, const char* end) noexcept {
    if (!(byte_class(*p) & kFullStopFirst)) return nullptr;
    std::uint32_t bytes = static_cast<unsigned char>(*p++);
    for (int i = 0; i < 2; ++i) {
        p = skip_ignored(p, end);
        if (p == end) return nullptr;
        bytes = bytes << 8 | static_cast<unsigned char>(*p++);
    }
    return is_full_stop(bytes) ? p : nullptr;
}

// Where the label separator ('.' or a full stop) that starts at `p` ends;
// null when none starts there.
inline const char* separator_end(const char* p, const char* end) noexcept {
    return *p == '.' ? p + 1 : full_stop_end(p, end);
}

// Where the label separator that ends just before `p` starts, within
// [begin, p); null when none ends there.
inline const char* separator_start(const char* begin, const char* p) noexcept {
    if (p == begin || !(byte_class(p[-1]) & kSeparatorLast)) return nullptr;
    if (p[-1] == '.') return p - 1;
    std::uint32_t bytes = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        p = skip_ignored_back(begin, p);
        if (p == begin) return nullptr;
        bytes |= std::uint32_t{static_cast<unsigned char>(*--p)} << shift;
    }
    return is_full_stop(bytes) ? p : nullptr;
}

}  // namespace vexlo::host::detail
