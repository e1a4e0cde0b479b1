#include "host/ip_literal.h"

#include <cstddef>
#include <cstdint>

#include "host/byte_class.h"

namespace vexlo::host::detail {
namespace {

// Any value above 2^32 fails alike; saturating here keeps the arithmetic
// exact on numbers of any length.
constexpr std::uint64_t kTooBig = std::uint64_t{1} << 33;

unsigned digit_value(char c) noexcept {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
    return 99;
}

// One number of an IPv4 address: "0x" or "0X" then hex digits (none is 0), a
// '0' then octal digits, or decimal digits; never empty.
bool parse_ipv4_number(const char* p, const char* end, std::uint64_t& value) noexcept {
    unsigned radix = 10;
    std::size_t count = 0;
    value = 0;
    for (; p < end; ++p) {
        const char c = *p;
        if (is_ignored(c)) continue;
        ++count;
        if (count == 1 && c == '0') {
            radix = 0;  // known at the next byte: hexadecimal, octal, or just 0
            continue;
        }
        if (count == 2 && radix == 0) {
            if (c == 'x' || c == 'X') {
                radix = 16;
                continue;
            }
            radix = 8;
        }
        const unsigned digit = digit_value(c);
        if (digit >= radix) return false;
        value = value * radix + digit;
        if (value > kTooBig) value = kTooBig;
    }
    return count != 0;
}

// [begin, end) less one separator it ends in, and the TAB, LF and CR before
// that: one trailing dot ends the name, and adds no label or number.
[[gnu::always_inline]] inline const char* before_trailing_separator(const char* begin,
                                                                   const char* end) noexcept {
    const char* separator = separator_start(begin, skip_ignored_back(begin, end));
    return separator != nullptr ? skip_ignored_back(begin, separator) : end;
}

}  // namespace

bool last_label_is_number(const char* begin, const char* end) noexcept {
    // Most labels that end in a hex letter are words ("de", "cafe"): a
    // number ends so only as "0x" and hex digits. Back over the hex digits:
    // the start, a '.', or a letter other than 'x' or a '-' before them says
    // so at once; anything else (TAB, a full stop) is read below.
    if ((byte_class(end[-1]) & (kHexDigit | kAlpha)) == (kHexDigit | kAlpha)) {
        const char* p = end - 1;
        while (p > begin && (byte_class(p[-1]) & kHexDigit)) --p;
        if (p == begin) return false;
        const char c = p[-1];
        if (c == '.' || c == '-' || ((byte_class(c) & kAlpha) && (c | 0x20) != 'x')) return false;
    }
    end = before_trailing_separator(begin, end);
    const char* label = end;
    while (label > begin && separator_start(begin, label) == nullptr) --label;
    std::size_t count = 0;
    bool digits = true, zero_x = false, hex_after = true;
    for (const char* p = label; p < end; ++p) {
        const char c = *p;
        if (is_ignored(c)) continue;
        const std::uint16_t cls = byte_class(c);
        digits = digits && (cls & kDigit) != 0;
        if (count == 0) {
            zero_x = c == '0';
        } else if (count == 1) {
            zero_x = zero_x && (c == 'x' || c == 'X');
        } else {
            hex_after = hex_after && (cls & kHexDigit) != 0;
        }
        ++count;
    }
    return (count != 0 && digits) || (count >= 2 && zero_x && hex_after);
}

bool is_ipv4(const char* begin, const char* end) noexcept {
    end = before_trailing_separator(begin, end);
    std::uint64_t numbers[4];
    std::size_t count = 0;
    for (const char* part = begin;;) {
        const char* separator = part;
        const char* next = nullptr;
        while (separator < end && (next = separator_end(separator, end)) == nullptr) ++separator;
        if (count == 4 || !parse_ipv4_number(part, separator, numbers[count])) return false;
        ++count;
        if (separator == end) break;
        part = next;
    }
    for (std::size_t i = 0; i + 1 < count; ++i) {
        if (numbers[i] > 255) return false;
    }
    return numbers[count - 1] < (std::uint64_t{1} << (8 * (5 - count)));
}

bool is_ipv6(const char* begin, const char* end) noexcept {
    // The longest address is 45 bytes ("ffff:" six times, then
    // "255.255.255.255"); a copy without TAB, LF and CR lets the reading below
    // step back as the URL Standard's does.
    char text[48];
    std::size_t size = 0;
    for (const char* p = begin; p < end; ++p) {
        if (is_ignored(*p)) continue;
        if (size == sizeof text) return false;
        text[size++] = *p;
    }
    std::size_t at = 0, piece = 0;
    bool compressed = false;
    const auto is = [&](char c) { return at < size && text[at] == c; };
    const auto is_digit = [&] { return at < size && (byte_class(text[at]) & kDigit) != 0; };
    if (is(':')) {
        if (!(at + 1 < size && text[at + 1] == ':')) return false;
        at += 2;
        ++piece;
        compressed = true;
    }
    while (at < size) {
        if (piece == 8) return false;
        if (is(':')) {
            if (compressed) return false;
            ++at;
            ++piece;
            compressed = true;
            continue;
        }
        std::size_t length = 0;
        while (length < 4 && at < size && (byte_class(text[at]) & kHexDigit) != 0) ++at, ++length;
        if (is('.')) {
            // The last 32 bits as four decimal numbers, read again from the
            // group's first digit.
            if (length == 0 || piece > 6) return false;
            at -= length;
            for (int numbers = 0; numbers < 4; ++numbers) {
                if (numbers > 0) {
                    if (!is('.')) return false;
                    ++at;
                }
                if (!is_digit()) return false;
                unsigned value = 0;
                std::size_t digits = 0;
                for (; is_digit(); ++at, ++digits) {
                    if (digits == 1 && value == 0) return false;  // no leading zero
                    value = value * 10 + static_cast<unsigned>(text[at] - '0');
                    if (value > 255) return false;
                }
            }
            return at == size && (compressed || piece + 2 == 8);
        }
        if (is(':')) {
            ++at;
            if (at == size) return false;
        } else if (at < size) {
            return false;
        }
        ++piece;
    }
    return compressed || piece == 8;
}

}  // namespace vexlo::host::detail
