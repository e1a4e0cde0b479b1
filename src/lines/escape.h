// Writing text into TSV fields and JSON strings with the escapes the vexlo
// command has always used. TSV: backslash, tab, line feed and carriage return
// become \\ \t \n \r; inside a privateparts item a space becomes \x20, as a
// space separates the items. JSON: what json.dumps(..., ensure_ascii=False)
// writes: \" \\ \b \f \n \r \t, \u00xx for the other control characters,
// everything else (non-ASCII included) as it is.
#pragma once

#include <cstddef>
#include <string_view>

namespace vexlo::lines {

enum class Escape {
    tsv,          // a TSV field
    tsv_item,     // one privateparts item in TSV
    tsv_labels,   // labels joined by '.', written as TSV items separated by ' '
    json,         // the inside of a JSON string
    json_labels,  // labels joined by '.', written as the insides of JSON list items
};

// Room to give write_escaped for `size` bytes of text: six bytes for each
// (the most one becomes, for any Escape), and a few that it may store beyond
// what it writes.
inline constexpr std::size_t escaped_room(std::size_t size) noexcept { return 6 * size + 16; }

// At least this many bytes after a text may be read (never used) when it is
// "padded": the rest of a block of lines, or the unused room of a buffer.
inline constexpr std::size_t kReadPadding = 15;

// Writes `text` escaped at `out`, which has escaped_room(text.size()) bytes of
// room; returns the end of what was written. With `padded`, kReadPadding
// bytes after the text may be read, which saves copying out its last bytes.
char* write_escaped(std::string_view text, Escape escape, char* out, bool padded) noexcept;

}  // namespace vexlo::lines
