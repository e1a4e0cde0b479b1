// RFC 3492 Punycode and the "xn--" form of a label, written afresh for the
// tests so that they share no code with the table generator.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexlo::testing {

inline std::vector<char32_t> utf8_to_code_points(std::string_view text) {
    std::vector<char32_t> out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        char32_t cp = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        out.push_back(cp);
        i += 1 + extra;
    }
    return out;
}

inline std::string code_points_to_utf8(const std::vector<char32_t>& cps) {
    std::string out;
    for (char32_t cp : cps) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

namespace punycode {
constexpr std::uint32_t kBase = 36, kTmin = 1, kTmax = 26, kSkew = 38, kDamp = 700;

inline std::uint32_t adapt(std::uint32_t delta, std::uint32_t points, bool first) {
    delta = first ? delta / kDamp : delta / 2;
    delta += delta / points;
    std::uint32_t k = 0;
    while (delta > ((kBase - kTmin) * kTmax) / 2) {
        delta /= kBase - kTmin;
        k += kBase;
    }
    return k + (kBase - kTmin + 1) * delta / (delta + kSkew);
}

inline std::uint32_t threshold(std::uint32_t k, std::uint32_t bias) {
    return k <= bias ? kTmin : k >= bias + kTmax ? kTmax : k - bias;
}

inline char digit(std::uint32_t d) { return static_cast<char>(d < 26 ? 'a' + d : '0' + d - 26); }
}  // namespace punycode

inline std::string punycode_encode(const std::vector<char32_t>& input) {
    using namespace punycode;
    std::string out;
    for (char32_t c : input) if (c < 0x80) out += static_cast<char>(c);
    const std::uint32_t basic = static_cast<std::uint32_t>(out.size());
    if (basic > 0) out += '-';
    std::uint32_t n = 0x80, delta = 0, bias = 72, handled = basic;
    while (handled < input.size()) {
        char32_t m = 0x10FFFF + 1;
        for (char32_t c : input) if (c >= n && c < m) m = c;
        delta += (m - n) * (handled + 1);
        n = m;
        for (char32_t c : input) {
            if (c < n) ++delta;
            if (c != n) continue;
            std::uint32_t q = delta;
            for (std::uint32_t k = kBase;; k += kBase) {
                const std::uint32_t t = threshold(k, bias);
                if (q < t) break;
                out += digit(t + (q - t) % (kBase - t));
                q = (q - t) / (kBase - t);
            }
            out += digit(q);
            bias = adapt(delta, handled + 1, handled == basic);
            delta = 0;
            ++handled;
        }
        ++delta;
        ++n;
    }
    return out;
}

inline std::optional<std::vector<char32_t>> punycode_decode(std::string_view input) {
    using namespace punycode;
    std::vector<char32_t> out;
    const std::size_t dash = input.rfind('-');
    std::size_t pos = 0;
    if (dash != std::string_view::npos) {
        for (char c : input.substr(0, dash)) out.push_back(static_cast<unsigned char>(c));
        pos = dash + 1;
    }
    std::uint32_t n = 0x80, i = 0, bias = 72;
    while (pos < input.size()) {
        const std::uint32_t old_i = i;
        std::uint32_t w = 1;
        for (std::uint32_t k = kBase;; k += kBase) {
            if (pos >= input.size()) return std::nullopt;
            const char c = input[pos++];
            const std::uint32_t d = c >= 'a' && c <= 'z' ? c - 'a' : c >= '0' && c <= '9' ? c - '0' + 26 : kBase;
            if (d >= kBase) return std::nullopt;
            i += d * w;
            const std::uint32_t t = threshold(k, bias);
            if (d < t) break;
            w *= kBase - t;
        }
        const auto points = static_cast<std::uint32_t>(out.size() + 1);
        bias = adapt(i - old_i, points, old_i == 0);
        n += i / points;
        i %= points;
        out.insert(out.begin() + i, n);
        ++i;
    }
    return out;
}

inline bool is_ascii(std::string_view text) {
    for (char c : text) if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// The label in its other spelling: "xn--" form for a non-ASCII label, Unicode
// for an "xn--" label, and nothing for other ASCII labels.
inline std::optional<std::string> other_spelling(std::string_view label) {
    if (!is_ascii(label)) return "xn--" + punycode_encode(utf8_to_code_points(label));
    if (label.substr(0, 4) == "xn--") {
        if (auto cps = punycode_decode(label.substr(4))) return code_points_to_utf8(*cps);
    }
    return std::nullopt;
}

}  // namespace vexlo::testing
