// The Unicode case properties that lowercasing asks, answered from the
// committed tables in case_tables.cpp (the lowercase mapping itself is read
// from them in lowercase.cpp's own loop).
#pragma once

#include <cstddef>
#include <string_view>

namespace vexlo {

bool is_case_ignorable(char32_t c) noexcept;
bool is_cased(char32_t c) noexcept;  // Lowercase, Uppercase or Lt

// Whether the U+03A3 at byte `offset` of `text` takes the final form U+03C2.
bool final_sigma_applies(std::string_view text, std::size_t offset) noexcept;

}  // namespace vexlo
