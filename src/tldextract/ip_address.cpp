#include "tldextract/ip_address.h"

#include <array>
#include <cstddef>

namespace vexlo::tldextract {
namespace {

bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

bool is_hex_digit(char c) noexcept {
    return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// One number of a dotted IPv4 address.
bool is_octet(std::string_view text) noexcept {
    if (text.empty() || text.size() > 3 || (text.size() > 1 && text[0] == '0')) return false;
    int value = 0;
    for (const char c : text) {
        if (!is_digit(c)) return false;
        value = value * 10 + (c - '0');
    }
    return value <= 255;
}

bool is_hextet(std::string_view text) noexcept {
    if (text.empty() || text.size() > 4) return false;
    for (const char c : text) {
        if (!is_hex_digit(c)) return false;
    }
    return true;
}

// The address less its scope, as IPv6Address._ip_int_from_string reads it.
bool is_ipv6_address(std::string_view text) noexcept {
    // At most nine parts are ever accepted: a tenth colon ends the reading.
    constexpr std::size_t kMostParts = 9;
    constexpr std::size_t kHextets = 8;
    std::array<std::string_view, kMostParts + 1> parts;
    std::size_t count = 0;
    for (std::size_t start = 0;;) {
        const std::size_t colon = text.find(':', start);
        if (count == parts.size()) return false;
        parts[count++] = text.substr(start, colon == std::string_view::npos ? colon : colon - start);
        if (colon == std::string_view::npos) break;
        start = colon + 1;
    }
    if (count < 3) return false;
    // A dotted IPv4 address at the end stands for two hextets, which are
    // always good ones.
    bool ipv4_tail = false;
    if (parts[count - 1].find('.') != std::string_view::npos) {
        if (!looks_like_ipv4(parts[count - 1])) return false;
        ipv4_tail = true;
        ++count;
    }
    if (count > kMostParts) return false;
    const auto part = [&](std::size_t i) -> std::string_view {
        // The two hextets of an IPv4 tail: "0" stands for either, being good.
        return ipv4_tail && i >= count - 2 ? std::string_view("0") : parts[i];
    };
    std::size_t skip = 0;  // 0: no "::" (the first part is never one)
    for (std::size_t i = 1; i + 1 < count; ++i) {
        if (part(i).empty()) {
            if (skip != 0) return false;
            skip = i;
        }
    }
    std::size_t high, low;
    if (skip != 0) {
        high = skip;
        low = count - skip - 1;
        if (part(0).empty() && --high != 0) return false;
        if (part(count - 1).empty() && --low != 0) return false;
        if (high + low >= kHextets) return false;
    } else {
        if (count != kHextets || part(0).empty() || part(count - 1).empty()) return false;
        high = count;
        low = 0;
    }
    for (std::size_t i = 0; i < high; ++i) {
        if (!is_hextet(part(i))) return false;
    }
    for (std::size_t i = count - low; i < count; ++i) {
        if (!is_hextet(part(i))) return false;
    }
    return true;
}

}  // namespace

bool looks_like_ipv4(std::string_view text) noexcept {
    for (int octet = 0; octet < 3; ++octet) {
        const std::size_t dot = text.find('.');
        if (dot == std::string_view::npos || !is_octet(text.substr(0, dot))) return false;
        text.remove_prefix(dot + 1);
    }
    return is_octet(text);
}

bool looks_like_ipv6(std::string_view text) noexcept {
    if (text.find('/') != std::string_view::npos) return false;
    if (const std::size_t percent = text.find('%'); percent != std::string_view::npos) {
        const std::string_view scope = text.substr(percent + 1);
        if (scope.empty() || scope.find('%') != std::string_view::npos) return false;
        text = text.substr(0, percent);
    }
    return !text.empty() && is_ipv6_address(text);
}

}  // namespace vexlo::tldextract
