// Whether one label of a rule can stand in the tables as the list writes it:
// the characters a label may hold, lower case, the 63-byte limit in either
// spelling, and for an "xn--" label, Punycode that decodes to a usable
// non-ASCII label and encodes back to the same text.
#pragma once

#include <string>
#include <string_view>

namespace vexlo::list_file {

// Reused by a parser for every label, so that checking one costs no
// allocation once the buffers have grown.
class LabelCheck {
public:
    // True when `label` (well-formed UTF-8) can stand. Otherwise false, with
    // the reason in *why when `why` is not null.
    bool usable(std::string_view label, std::string* why);

private:
    bool usable_code_points(std::u32string_view label, std::string* why);
    bool usable_ace(std::u32string_view label, std::string* why);

    std::u32string written_;  // the label as the list writes it
    std::u32string decoded_;  // the Unicode form of an "xn--" label
    std::string ascii_;       // the Punycode of an "xn--" label
    std::string utf8_;        // a non-ASCII label, for lowercasing
};

}  // namespace vexlo::list_file
