// The committed case tables read one code point at a time: the default
// lowercase mapping and the three case sets, which the exhaustive test holds
// to the UCD files and the reference model lowercases by. The library reads
// the same tables in its own loop (normalize/lowercase.cpp) and asks only
// is_cased and is_case_ignorable (case_data.h).
#pragma once

#include <cstdint>

#include "normalize/case_tables.h"

namespace vexlo::testing {

struct LowerMapping {
    std::uint8_t count;  // 1 to 3
    char32_t code_points[3];
};

// The code point itself when it has no lowercase mapping.
inline LowerMapping lower_mapping(char32_t c) noexcept {
    const std::uint8_t value = case_tables::lower_value(c);
    if (value < case_tables::kExpansionFlag) {
        return {1, {static_cast<char32_t>(static_cast<std::int32_t>(c) +
                                          case_tables::kLowerDeltas[value]),
                    0, 0}};
    }
    const case_tables::LowerExpansion& expansion =
        case_tables::kLowerExpansions[value - case_tables::kExpansionFlag];
    return {expansion.count,
            {expansion.code_points[0], expansion.code_points[1], expansion.code_points[2]}};
}

// The three sets is_cased joins.
inline bool is_lowercase(char32_t c) noexcept {
    return (case_tables::properties(c) & case_tables::kLowercase) != 0;
}
inline bool is_uppercase(char32_t c) noexcept {
    return (case_tables::properties(c) & case_tables::kUppercase) != 0;
}
inline bool is_titlecase(char32_t c) noexcept {  // general category Lt
    return (case_tables::properties(c) & case_tables::kTitlecase) != 0;
}

}  // namespace vexlo::testing
