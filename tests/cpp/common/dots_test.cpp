// next_dot and previous_dot against a byte-by-byte search, for every start
// and end inside texts of every length up to 40 with dots in many places, so
// that the 16-byte and byte-at-a-time paths and their edges all run; the dot
// bitmap, and the labels found from it, on texts either side of its 64 bytes.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/dots.h"

namespace vexlo {
namespace {

// Dots where a pseudo-random walk puts them; the other bytes include '.' + 1,
// '.' - 1 and high bytes, which a careless word trick mistakes for dots.
std::string dotted_text(int length, unsigned pattern) {
    std::string text(static_cast<std::size_t>(length), 'a');
    unsigned state = pattern * 2654435761u + static_cast<unsigned>(length);
    for (int i = 0; i < length; ++i) {
        state = state * 1103515245u + 12345u;
        const unsigned pick = (state >> 16) % 8;
        text[i] = pick < 2 ? '.' : "/-\xae\xff\x2e\x01z"[pick];
    }
    return text;
}

// A heap block of exactly the text's size, so that a sanitized build reports
// any read past either end.
std::unique_ptr<char[]> exact_copy(const std::string& text) {
    std::unique_ptr<char[]> exact(new char[text.size() + 1]);
    std::copy(text.begin(), text.end(), exact.get());
    return exact;
}

const char* naive_next(const char* from, const char* end) {
    while (from < end && *from != '.') ++from;
    return from;
}

const char* naive_previous(const char* begin, const char* before) {
    while (before > begin && before[-1] != '.') --before;
    return before > begin ? before - 1 : nullptr;
}

class DotSearch : public ::testing::TestWithParam<int> {};

TEST_P(DotSearch, AgreesWithAByteByByteSearch) {
    const int length = GetParam();
    for (unsigned pattern = 0; pattern < 64; ++pattern) {
        const std::string text = dotted_text(length, pattern);
        const std::unique_ptr<char[]> exact = exact_copy(text);
        const char* const begin = exact.get();
        const char* const end = begin + text.size();
        for (int from = 0; from <= length; ++from) {
            ASSERT_EQ(next_dot(begin, begin + from, end), naive_next(begin + from, end))
                << "length " << length << " pattern " << pattern << " from " << from;
            ASSERT_EQ(previous_dot(begin, begin + from, end), naive_previous(begin, begin + from))
                << "length " << length << " pattern " << pattern << " before " << from;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, DotSearch, ::testing::Range(0, 41));

// The dot bitmap holds exactly the dots of a text's first 64 bytes, read
// only inside the text; from it (and a search beyond it) the label cursor
// finds every label's start from the right, and rightmost_labels_start the
// start of any number of rightmost labels, where a byte-by-byte search puts
// them.
class DotBitmap : public ::testing::TestWithParam<int> {};

TEST_P(DotBitmap, HoldsTheDotsAndFindsLabelStarts) {
    const int length = GetParam();
    for (unsigned pattern = 0; pattern < 64; ++pattern) {
        const std::string text = dotted_text(length, pattern);
        const std::unique_ptr<char[]> exact = exact_copy(text);
        const std::uint64_t dots = dot_bitmap(exact.get(), text.size());
        std::uint64_t expected = 0;
        std::vector<std::size_t> starts{0};  // of every label, leftmost first
        for (int i = 0; i < length; ++i) {
            if (text[i] != '.') continue;
            if (i < 64) expected |= std::uint64_t{1} << i;
            starts.push_back(static_cast<std::size_t>(i) + 1);
        }
        const std::string where = "length " + std::to_string(length) + " pattern " + std::to_string(pattern);
        ASSERT_EQ(dots, expected) << where;
        LabelCursor<> cursor(exact.get(), text.size(), dots);
        for (std::size_t count = 1; count <= starts.size(); ++count) {
            const std::size_t start = starts[starts.size() - count];
            ASSERT_EQ(rightmost_labels_start(exact.get(), text.size(), dots, count), start)
                << where << " count " << count;
            ASSERT_EQ(cursor.start(), start) << where << " label " << count << " from the right";
            if (length <= 64) {
                LabelCursor<true> fits(exact.get(), text.size(), dots);
                for (std::size_t k = 1; k < count; ++k) fits.step(fits.start());
                ASSERT_EQ(fits.start(), start) << where << " label " << count << ", fitting the bitmap";
            }
            if (start > 0) cursor.step(start);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, DotBitmap, ::testing::Range(0, 150));

}  // namespace
}  // namespace vexlo
