// next_dot and previous_dot against a byte-by-byte search, for every start
// and end inside texts of every length up to 40 with dots in many places, so
// that the 16-byte, 8-byte and byte-at-a-time paths and their edges all run.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "common/find_dot.h"

namespace vexlo {
namespace {

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
        // Dots where a pseudo-random walk over the pattern puts them; the
        // other bytes include '.' + 1, '.' - 1 and high bytes, which a
        // careless word trick mistakes for dots.
        std::string text(static_cast<std::size_t>(length), 'a');
        unsigned state = pattern * 2654435761u + static_cast<unsigned>(length);
        for (int i = 0; i < length; ++i) {
            state = state * 1103515245u + 12345u;
            const unsigned pick = (state >> 16) % 8;
            text[i] = pick < 2 ? '.' : "/-\xae\xff\x2e\x01z"[pick];
        }
        // A heap block of exactly the text's size, so that a sanitized build
        // reports any read past either end.
        const std::unique_ptr<char[]> exact(new char[text.size() + (text.empty() ? 1 : 0)]);
        std::copy(text.begin(), text.end(), exact.get());
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

// The dot bitmap of texts of every length up to 64 has exactly the dots'
// bits, read only inside the text; the start of the rightmost labels found
// from it is where the byte-by-byte search puts it.
class DotBitmap : public ::testing::TestWithParam<int> {};

TEST_P(DotBitmap, HoldsTheDotsAndFindsLabelStarts) {
    const int length = GetParam();
    for (unsigned pattern = 0; pattern < 64; ++pattern) {
        std::string text(static_cast<std::size_t>(length), 'a');
        unsigned state = pattern * 2654435761u + static_cast<unsigned>(length);
        for (int i = 0; i < length; ++i) {
            state = state * 1103515245u + 12345u;
            const unsigned pick = (state >> 16) % 8;
            text[i] = pick < 2 ? '.' : "/-\xae\xff\x2e\x01z"[pick];
        }
        const std::unique_ptr<char[]> exact(new char[text.size() + (text.empty() ? 1 : 0)]);
        std::copy(text.begin(), text.end(), exact.get());
        const std::uint64_t bits = dot_bitmap(exact.get(), text.size());
        std::uint64_t expected = 0;
        std::size_t labels = 1;
        for (int i = 0; i < length; ++i) {
            if (text[i] == '.') expected |= std::uint64_t{1} << i, ++labels;
        }
        ASSERT_EQ(bits, expected) << "length " << length << " pattern " << pattern;
        // Label k from the right starts after the k-th dot from the right.
        for (std::size_t count = 1; count <= labels; ++count) {
            std::size_t start = text.size();
            for (std::size_t k = 0; k < count; ++k) {
                const char* dot = naive_previous(text.data(), text.data() + start);
                start = dot == nullptr ? 0 : static_cast<std::size_t>(dot - text.data());
                if (k + 1 < count) continue;
                if (dot != nullptr) ++start;
            }
            ASSERT_EQ(rightmost_labels_start(bits, count), start)
                << "length " << length << " pattern " << pattern << " count " << count;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, DotBitmap, ::testing::Range(0, 65));

}  // namespace
}  // namespace vexlo
