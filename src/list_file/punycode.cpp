#include "list_file/punycode.h"

#include <cstdint>
#include <limits>

#include "normalize/utf8.h"

namespace vexlo::list_file {

namespace {

// The parameters of RFC 3492, section 5.
constexpr std::uint32_t kBase = 36;
constexpr std::uint32_t kTmin = 1;
constexpr std::uint32_t kTmax = 26;
constexpr std::uint32_t kSkew = 38;
constexpr std::uint32_t kDamp = 700;
constexpr std::uint32_t kInitialBias = 72;
constexpr std::uint32_t kInitialN = 0x80;
constexpr char kDelimiter = '-';
constexpr std::uint32_t kMaxInt = std::numeric_limits<std::uint32_t>::max();
constexpr char32_t kMaxCodePoint = 0x10FFFF;

std::uint32_t adapt(std::uint32_t delta, std::uint32_t points, bool first) {
    delta = first ? delta / kDamp : delta / 2;
    delta += delta / points;
    std::uint32_t k = 0;
    while (delta > ((kBase - kTmin) * kTmax) / 2) {
        delta /= kBase - kTmin;
        k += kBase;
    }
    return k + (kBase - kTmin + 1) * delta / (delta + kSkew);
}

std::uint32_t threshold(std::uint32_t k, std::uint32_t bias) {
    return k <= bias ? kTmin : k >= bias + kTmax ? kTmax : k - bias;
}

char encode_digit(std::uint32_t digit) {
    return static_cast<char>(digit < 26 ? 'a' + digit : '0' + (digit - 26));
}

// kBase for a byte that is no digit.
std::uint32_t decode_digit(unsigned char c) {
    if (c >= 'a' && c <= 'z') return c - 'a';
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= '0' && c <= '9') return c - '0' + 26;
    return kBase;
}

}  // namespace

std::optional<std::string> punycode_encode(std::u32string_view input) {
    std::string out;
    for (char32_t c : input) {
        if (c < kInitialN) out += static_cast<char>(c);
    }
    const std::size_t basic = out.size();
    if (basic > 0) out += kDelimiter;
    if (input.size() >= kMaxInt) return std::nullopt;

    std::uint32_t n = kInitialN;
    std::uint32_t delta = 0;
    std::uint32_t bias = kInitialBias;
    for (std::size_t handled = basic; handled < input.size();) {
        std::uint32_t m = kMaxInt;
        for (char32_t c : input) {
            if (c >= n && c < m) m = c;
        }
        const auto h = static_cast<std::uint32_t>(handled);
        if (m - n > (kMaxInt - delta) / (h + 1)) return std::nullopt;
        delta += (m - n) * (h + 1);
        n = m;
        for (char32_t c : input) {
            if (c < n && ++delta == 0) return std::nullopt;
            if (c != n) continue;
            std::uint32_t q = delta;
            for (std::uint32_t k = kBase;; k += kBase) {
                const std::uint32_t t = threshold(k, bias);
                if (q < t) break;
                out += encode_digit(t + (q - t) % (kBase - t));
                q = (q - t) / (kBase - t);
            }
            out += encode_digit(q);
            bias = adapt(delta, static_cast<std::uint32_t>(handled + 1), handled == basic);
            delta = 0;
            ++handled;
        }
        ++delta;
        ++n;
    }
    return out;
}

std::optional<std::u32string> punycode_decode(std::string_view input) {
    const std::size_t delimiter = input.rfind(kDelimiter);
    const std::size_t basic = delimiter == std::string_view::npos ? 0 : delimiter;
    std::u32string out;
    for (std::size_t j = 0; j < basic; ++j) {
        const auto c = static_cast<unsigned char>(input[j]);
        if (c >= kInitialN) return std::nullopt;
        out += static_cast<char32_t>(c);
    }

    std::uint32_t n = kInitialN;
    std::uint32_t i = 0;
    std::uint32_t bias = kInitialBias;
    std::size_t in = delimiter == std::string_view::npos ? 0 : delimiter + 1;
    while (in < input.size()) {
        const std::uint32_t old_i = i;
        std::uint32_t w = 1;
        for (std::uint32_t k = kBase;; k += kBase) {
            if (in >= input.size()) return std::nullopt;
            const std::uint32_t digit = decode_digit(static_cast<unsigned char>(input[in++]));
            if (digit >= kBase) return std::nullopt;
            if (digit > (kMaxInt - i) / w) return std::nullopt;
            i += digit * w;
            const std::uint32_t t = threshold(k, bias);
            if (digit < t) break;
            if (w > kMaxInt / (kBase - t)) return std::nullopt;
            w *= kBase - t;
        }
        if (out.size() >= kMaxInt) return std::nullopt;
        const auto points = static_cast<std::uint32_t>(out.size() + 1);
        bias = adapt(i - old_i, points, old_i == 0);
        if (i / points > kMaxInt - n) return std::nullopt;
        n += i / points;
        i %= points;
        if (n > kMaxCodePoint) return std::nullopt;
        out.insert(out.begin() + i, static_cast<char32_t>(n));
        ++i;
    }
    return out;
}

std::optional<std::u32string> utf8_to_code_points(std::string_view text) {
    std::u32string out;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const utf8::Decoded d = utf8::decode(p, end);
        if (!d.valid) return std::nullopt;
        out += d.code_point;
        p += d.length;
    }
    return out;
}

std::optional<std::string> code_points_to_utf8(std::u32string_view code_points) {
    std::string out;
    for (char32_t c : code_points) {
        if (c > kMaxCodePoint || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
        char bytes[4];
        out.append(bytes, utf8::encode(c, bytes));
    }
    return out;
}

std::optional<std::string> to_ace_label(std::string_view utf8_label) {
    const std::optional<std::u32string> code_points = utf8_to_code_points(utf8_label);
    if (!code_points) return std::nullopt;
    std::optional<std::string> encoded = punycode_encode(*code_points);
    if (!encoded) return std::nullopt;
    encoded->insert(0, kAcePrefix);
    return encoded;
}

std::optional<std::string> from_ace_label(std::string_view ace_label) {
    if (!ace_label.starts_with(kAcePrefix)) return std::nullopt;
    const std::optional<std::u32string> decoded =
        punycode_decode(ace_label.substr(kAcePrefix.size()));
    if (!decoded) return std::nullopt;
    return code_points_to_utf8(*decoded);
}

}  // namespace vexlo::list_file
