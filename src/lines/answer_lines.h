// Answering a block of input lines: the lines are cut, checked for UTF-8,
// matched a group at a time and written as rows, one row per line, in order.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "lines/output_buffer.h"
#include "lines/row_format.h"
#include "rules/rule_tables.h"

namespace vexlo::lines {

// A line that is not UTF-8. Its row is the unreadable one.
struct BadLine {
    std::size_t line;        // index of the line in the block, from 0
    std::size_t byte;        // the first offending byte, counted from 1
    std::size_t row_offset;  // where the line's row starts in the output
};

struct BlockAnswer {
    OutputBuffer output;
    std::size_t consumed = 0;  // bytes of the block that the rows answer
    std::size_t lines = 0;     // rows written
    std::vector<BadLine> bad_lines;
};

// Appends the rows of the whole lines at the start of `block` to `answer`.
// Without `at_end` the bytes after the last "\n" are left for the next block
// (`consumed` stops before them); with it they are the last line.
// Throws std::bad_alloc when output memory runs out.
void answer_lines(std::string_view block, bool at_end, const RowFormat& format,
                  const RuleTables& tables, BlockAnswer& answer);

// The same rows as answer_lines, made by up to `threads` threads at once,
// each answering a run of whole lines of at least kMinBlockPerThread bytes.
inline constexpr std::size_t kMinBlockPerThread = 128 * 1024;
void answer_lines_threaded(std::string_view block, bool at_end, const RowFormat& format,
                           const RuleTables& tables, BlockAnswer& answer, unsigned threads);

// Appends the row of one name, taken whole (line endings inside it included).
// Returns the first offending byte counted from 1, or 0 when it is UTF-8.
std::size_t answer_name(std::string_view name, const RowFormat& format, const RuleTables& tables,
                        OutputBuffer& output);

}  // namespace vexlo::lines
