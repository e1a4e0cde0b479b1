// Unicode case properties and the default full lowercase mapping, answered
// from the committed tables in case_tables.cpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vexlo {

struct LowerMapping {
    std::uint8_t count;             // 1 to 3
    char32_t code_points[3];
};

// The code point itself when it has no lowercase mapping.
LowerMapping lower_mapping(char32_t c) noexcept;

bool is_case_ignorable(char32_t c) noexcept;
bool is_cased(char32_t c) noexcept;  // Lowercase, Uppercase or Lt

// The three sets is_cased joins.
bool is_lowercase(char32_t c) noexcept;
bool is_uppercase(char32_t c) noexcept;
bool is_titlecase(char32_t c) noexcept;  // general category Lt

// Whether the U+03A3 at byte `offset` of `text` takes the final form U+03C2.
bool final_sigma_applies(std::string_view text, std::size_t offset) noexcept;

}  // namespace vexlo
