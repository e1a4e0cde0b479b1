// An independent, deliberately plain model of lowercasing for the tests: its
// own strict UTF-8 decoder (an ill-formed byte is a unit of its own, copied
// unchanged), the per-code-point rule from the first byte on, and Final_Sigma
// evaluated over the decoded units. Only the case data comes from the library's
// tables (the exhaustive test checks them against the UCD files).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "case_table_reads.h"
#include "normalize/case_data.h"

namespace vexlo::testing {

struct Unit {
    char32_t code_point;  // U+FFFD for an ill-formed byte
    std::string bytes;    // as in the text
    bool valid;
};

inline std::vector<Unit> decode_units(std::string_view text) {
    std::vector<Unit> units;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
        const unsigned char lead = byte(i);
        std::size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
        if (lead < 0x80) length = 1;
        else if (lead >= 0xC2 && lead <= 0xDF) length = 2;
        else if (lead == 0xE0) length = 3, low = 0xA0;
        else if (lead == 0xED) length = 3, high = 0x9F;
        else if (lead >= 0xE1 && lead <= 0xEF) length = 3;
        else if (lead == 0xF0) length = 4, low = 0x90;
        else if (lead == 0xF4) length = 4, high = 0x8F;
        else if (lead >= 0xF1 && lead <= 0xF3) length = 4;
        bool valid = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const unsigned char lo = k == 1 ? low : 0x80, hi = k == 1 ? high : 0xBF;
            valid = byte(i + k) >= lo && byte(i + k) <= hi;
        }
        if (!valid) {
            units.push_back({0xFFFD, std::string(1, text[i]), false});
            ++i;
            continue;
        }
        char32_t c = length == 1 ? lead : lead & (0xFF >> (length + 1));
        for (std::size_t k = 1; k < length; ++k) c = (c << 6) | (byte(i + k) & 0x3F);
        units.push_back({c, std::string(text.substr(i, length)), true});
        i += length;
    }
    return units;
}

inline std::string encode(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    return out;
}

inline bool sigma_is_final(const std::vector<Unit>& units, std::size_t at) {
    std::size_t k = at;
    for (;;) {
        if (k == 0) return false;
        const char32_t c = units[--k].code_point;
        if (is_case_ignorable(c)) continue;
        if (!is_cased(c)) return false;
        break;
    }
    for (k = at + 1; k < units.size(); ++k) {
        const char32_t c = units[k].code_point;
        if (!is_case_ignorable(c)) return !is_cased(c);
    }
    return true;
}

inline std::string reference_lowercase(std::string_view text) {
    const std::vector<Unit> units = decode_units(text);
    std::string out;
    for (std::size_t k = 0; k < units.size(); ++k) {
        const Unit& unit = units[k];
        if (!unit.valid) {
            out += unit.bytes;
        } else if (unit.code_point == 0x3A3) {
            out += encode(sigma_is_final(units, k) ? 0x3C2 : 0x3C3);
        } else {
            const LowerMapping mapping = lower_mapping(unit.code_point);
            for (std::size_t m = 0; m < mapping.count; ++m) out += encode(mapping.code_points[m]);
        }
    }
    return out;
}

}  // namespace vexlo::testing
