// A column cut into ranges for threads: the ranges cover it in order, start
// on whole bitmap words, none is empty, and they are no more than the threads
// asked for.
#include "columns/column_ranges.h"

#include <gtest/gtest.h>

#include <string>

namespace vexlo {
namespace {

TEST(CutRanges, CoverTheColumnInWholeWords) {
    for (const std::int64_t length : {0, 1, 63, 64, 65, 1000, 4096, 100001}) {
        for (const unsigned threads : {0u, 1u, 2u, 3u, 7u, 64u, 5000u}) {
            const std::vector<RangeOutput> ranges = cut_ranges(length, threads);
            const std::string where = std::to_string(length) + " by " + std::to_string(threads);
            ASSERT_FALSE(ranges.empty()) << where;
            EXPECT_LE(ranges.size(), std::max(1u, threads)) << where;
            EXPECT_LE(static_cast<std::int64_t>(ranges.size()),
                      std::max<std::int64_t>(1, (length + kRangeAlign - 1) / kRangeAlign))
                << where;
            std::int64_t at = 0;
            for (const RangeOutput& range : ranges) {
                EXPECT_EQ(range.begin, at) << where;
                EXPECT_EQ(range.begin % kRangeAlign, 0) << where;
                if (length > 0) {
                    EXPECT_LT(range.begin, range.end) << where;
                }
                at = range.end;
            }
            EXPECT_EQ(at, length) << where;
            if (length == 0) {
                EXPECT_EQ(ranges.size(), 1u) << where;
            }
        }
    }
}

}  // namespace
}  // namespace vexlo
