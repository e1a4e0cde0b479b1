// RFC 3492 Punycode for one label, and the "xn--" form of a label that list
// rules spell in either form.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vexlo::list_file {

inline constexpr std::string_view kAcePrefix = "xn--";

// The Punycode of `code_points` (the part after "xn--"), lower case, or none
// when a step overflows the RFC's 32-bit arithmetic.
std::optional<std::string> punycode_encode(std::u32string_view code_points);

// The code points that `ascii` (the part after "xn--") stands for, or none
// when it is not Punycode: a byte that is not ASCII, a digit that is not a
// letter or a decimal digit, a number cut short, a step that overflows the
// RFC's 32-bit arithmetic, or a code point above U+10FFFF. Surrogates are
// returned as they come, for the caller to refuse by name. As Python's codec
// does, a delimiter at the very start ends an empty basic part.
std::optional<std::u32string> punycode_decode(std::string_view ascii);

// "xn--" and the Punycode of a well-formed UTF-8 label, or none when it is
// not well-formed or does not encode.
std::optional<std::string> to_ace_label(std::string_view utf8_label);

// The UTF-8 label that an "xn--" label stands for, or none when `ace_label`
// lacks the prefix, does not decode, or decodes to a surrogate.
std::optional<std::string> from_ace_label(std::string_view ace_label);

// Whole-string conversions: none when `utf8` is not well-formed UTF-8, or
// when `code_points` holds a surrogate or a value above U+10FFFF.
std::optional<std::u32string> utf8_to_code_points(std::string_view utf8);
std::optional<std::string> code_points_to_utf8(std::u32string_view code_points);

}  // namespace vexlo::list_file
