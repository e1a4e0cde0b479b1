// How a refusal message shows text taken from the list: quoted, with the
// characters that would not show (or would garble a terminal) escaped as
// \uXXXX, as Python's str.isprintable() would have them, by a fixed table.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vexlo::list_file {

// A quoted text stops after this many characters, followed by "...": a
// message about a line of megabytes must not be megabytes long.
inline constexpr std::size_t kQuotedCharsMax = 200;

// False for controls, surrogates, private-use characters, noncharacters,
// the format characters of Unicode 17 and every separator but the space.
bool is_printable(char32_t c) noexcept;

// 'text' as described above, at most `max_chars` characters of it.
std::string quoted(std::u32string_view text, std::size_t max_chars = kQuotedCharsMax);
// The same for UTF-8; a byte that is not part of a character shows as
// U+FFFD, so the message is UTF-8 whatever the text's bytes.
std::string quoted(std::string_view utf8, std::size_t max_chars = kQuotedCharsMax);

// "'x' (U+0078)" for a printable character, "U+0080" for another.
std::string character_name(char32_t c);

// 65535 as "65,535".
std::string with_thousands(std::size_t value);

}  // namespace vexlo::list_file
