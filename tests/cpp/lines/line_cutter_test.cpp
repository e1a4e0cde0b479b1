// Cutting blocks into lines: endings, the unfinished last line, and newlines
// at every position of a block.
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lines/line_cutter.h"

namespace vexlo::lines {
namespace {

struct Cut {
    std::vector<std::string> lines;
    std::size_t consumed;
};

// The block is copied to a heap block of exactly its size, so that a
// sanitized build sees any read past it.
Cut cut(const std::string& block, bool at_end) {
    const auto copy = std::make_unique<char[]>(block.size() + 1);
    block.copy(copy.get(), block.size());
    LineCutter cutter({copy.get(), block.size()}, at_end);
    Cut result;
    std::string_view line;
    while (cutter.next(line)) result.lines.emplace_back(line);
    result.consumed = static_cast<std::size_t>(cutter.position() - copy.get());
    return result;
}

struct CutCase {
    std::string block;
    bool at_end;
    std::vector<std::string> lines;
    std::size_t consumed;
};

// The block, and whether it ends the input.
void PrintTo(const CutCase& c, std::ostream* out) {
    *out << ::testing::PrintToString(c.block) << (c.at_end ? " at end" : "");
}

class LineCutting : public ::testing::TestWithParam<CutCase> {};

TEST_P(LineCutting, GivesTheLinesWithoutTheirEndings) {
    const CutCase& c = GetParam();
    const Cut got = cut(c.block, c.at_end);
    EXPECT_EQ(got.lines, c.lines);
    EXPECT_EQ(got.consumed, c.consumed);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, LineCutting,
    ::testing::Values(
        CutCase{"", true, {}, 0}, CutCase{"", false, {}, 0},
        CutCase{"a\nb\n", false, {"a", "b"}, 4},
        // "\r\n" ends a line; a "\r" elsewhere is part of the name.
        CutCase{"a\r\nb\rc\n", false, {"a", "b\rc"}, 7},
        CutCase{"x\r\r\n", false, {"x\r"}, 4},
        CutCase{"\n\r\n\n", false, {"", "", ""}, 4},
        // The unfinished last line waits for the next block...
        CutCase{"a\nbc", false, {"a"}, 2}, CutCase{"abc", false, {}, 0},
        CutCase{"a\nb\r", false, {"a"}, 2},
        // ...unless the input ends there, where it is a line as it stands.
        CutCase{"a\nbc", true, {"a", "bc"}, 4}, CutCase{"a\nb\r", true, {"a", "b\r"}, 4}));

TEST(LineCutting, FindsNewlinesAtEveryPosition) {
    for (std::size_t length = 0; length < 50; ++length) {
        for (std::size_t at = 0; at < length; ++at) {
            std::string block(length, 'x');
            block[at] = '\n';
            const Cut got = cut(block, false);
            ASSERT_EQ(got.lines.size(), 1u) << length << " " << at;
            EXPECT_EQ(got.lines[0], std::string(at, 'x'));
            EXPECT_EQ(got.consumed, at + 1);
        }
        EXPECT_EQ(cut(std::string(length, 'y'), false).consumed, 0u);
    }
}

}  // namespace
}  // namespace vexlo::lines
