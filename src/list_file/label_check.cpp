#include "list_file/label_check.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "list_file/limits.h"
#include "list_file/message_text.h"
#include "list_file/punycode.h"
#include "normalize/normalize.h"
#include "normalize/utf8.h"

namespace vexlo::list_file {

namespace {

bool starts_with_ace_prefix(std::u32string_view text) noexcept {
    if (text.size() < kAcePrefix.size()) return false;
    for (std::size_t i = 0; i < kAcePrefix.size(); ++i) {
        if (text[i] != static_cast<char32_t>(kAcePrefix[i])) return false;
    }
    return true;
}

bool allowed_ascii(char32_t c) noexcept {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

// Outside ASCII, only controls, surrogates and separators are refused (the
// general categories Cc, Cs, Zs, Zl and Zp); the registries' own rules are
// not this list's to check.
bool refused_non_ascii(char32_t c) noexcept {
    return (c >= 0x80 && c <= 0xA0) || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) ||
           c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000 ||
           (c >= 0xD800 && c <= 0xDFFF);
}

std::size_t utf8_length(std::u32string_view text) noexcept {
    std::size_t bytes = 0;
    for (char32_t c : text) bytes += utf8::encoded_length(c);
    return bytes;
}

// Sets the reason when one is wanted; always false, to return.
bool refuse(std::string* why, auto&& spell) {
    if (why != nullptr) *why = spell();
    return false;
}

std::optional<std::string> ace_of(std::u32string_view code_points) {
    std::optional<std::string> encoded = punycode_encode(code_points);
    if (encoded) encoded->insert(0, kAcePrefix);
    return encoded;
}

}  // namespace

bool LabelCheck::usable(std::string_view label, std::string* why) {
    // Nearly every label is plain ASCII letters, digits and hyphens: such a
    // label, short enough and not an "xn--" one, passes every check below.
    const auto plain = [](char c) { return allowed_ascii(static_cast<unsigned char>(c)); };
    if (!label.empty() && label.size() <= kMaxLabelBytes && !label.starts_with(kAcePrefix) &&
        std::all_of(label.begin(), label.end(), plain)) {
        return true;
    }
    written_.clear();
    const auto* p = reinterpret_cast<const unsigned char*>(label.data());
    const auto* end = p + label.size();
    while (p < end) {
        const utf8::Decoded d = utf8::decode(p, end);
        written_ += d.code_point;
        p += d.length;
    }
    return usable_code_points(written_, why);
}

bool LabelCheck::usable_code_points(std::u32string_view label, std::string* why) {
    if (label.empty()) return refuse(why, [] { return std::string("empty label"); });
    const std::size_t bytes = utf8_length(label);
    if (bytes > kMaxLabelBytes) {
        return refuse(why, [&] {
            return "label " + quoted(label) + " has " + std::to_string(bytes) +
                   " bytes, more than " + std::to_string(kMaxLabelBytes);
        });
    }
    for (char32_t c : label) {
        if (c == '*') {
            return refuse(why, [&] {
                return "asterisk in label " + quoted(label) +
                       " (a wildcard is a whole leftmost '*' label)";
            });
        }
        if (c == '!') {
            return refuse(why, [&] {
                return "exclamation mark in label " + quoted(label) +
                       " (only an exception rule starts with one)";
            });
        }
        if (c >= 'A' && c <= 'Z') {
            return refuse(why, [&] {
                return "upper-case letter in label " + quoted(label) +
                       " (the list is written in lower case)";
            });
        }
        if (c < 0x80 ? !allowed_ascii(c) : refused_non_ascii(c)) {
            return refuse(why, [&] {
                return "character " + character_name(c) + " is not allowed in label " +
                       quoted(label);
            });
        }
    }
    // Every code point beyond ASCII takes two bytes or more.
    const bool ascii = bytes == label.size();
    if (ascii) return starts_with_ace_prefix(label) ? usable_ace(label, why) : true;

    // No surrogate is left, so the label has a UTF-8 form.
    utf8_.resize(bytes);
    char* out = utf8_.data();
    for (char32_t c : label) out = utf8::encode(c, out);
    if (lowercase_text(utf8_).view() != utf8_) {
        return refuse(why, [&] { return "label " + quoted(label) + " is not in lower case"; });
    }
    if (starts_with_ace_prefix(label)) {
        return refuse(why, [&] {
            return "label " + quoted(label) + " starts with '" + std::string(kAcePrefix) +
                   "' but is not ASCII";
        });
    }
    const std::optional<std::string> ace = ace_of(label);
    if (!ace) {
        return refuse(why, [&] {
            return "label " + quoted(label) + " has no '" + std::string(kAcePrefix) + "' form";
        });
    }
    if (ace->size() > kMaxLabelBytes) {
        return refuse(why, [&] {
            return "label " + quoted(label) + " has " + std::to_string(ace->size()) +
                   " bytes in its '" + std::string(kAcePrefix) + "' form " +
                   quoted(std::string_view(*ace)) + ", more than " + std::to_string(kMaxLabelBytes);
        });
    }
    return true;
}

bool LabelCheck::usable_ace(std::u32string_view label, std::string* why) {
    // An ASCII label of at most kMaxLabelBytes bytes: its bytes are its code points.
    ascii_.assign(label.begin() + kAcePrefix.size(), label.end());
    std::optional<std::u32string> decoded = punycode_decode(ascii_);
    if (!decoded) {
        return refuse(why,
                      [&] { return "label " + quoted(label) + " does not decode as Punycode"; });
    }
    if (utf8_length(*decoded) == decoded->size()) {  // ASCII
        return refuse(why, [&] {
            return "label " + quoted(label) + " does not decode to a non-ASCII label";
        });
    }
    decoded_ = std::move(*decoded);
    std::string problem;
    if (!usable_code_points(decoded_, why != nullptr ? &problem : nullptr)) {
        return refuse(why, [&] {
            return "label " + quoted(label) + " decodes to an unusable label: " + problem;
        });
    }
    const std::optional<std::string> ace = ace_of(decoded_);
    if (!ace || !std::equal(label.begin(), label.end(), ace->begin(), ace->end())) {
        return refuse(why, [&] {
            return "label " + quoted(label) + " does not round-trip (its Unicode form encodes as " +
                   quoted(std::string_view(ace ? *ace : std::string())) + ")";
        });
    }
    return true;
}

}  // namespace vexlo::list_file
