// The scanners of the host finder against a byte-by-byte reading: the long
// way's stops and the short way's (which stops at the bytes of UTF-8
// sequences too), the long way's stops handed over by the short way at each
// of its stops, and the search for bytes that may make a host differ from
// its text, over texts of every length around the blocks'.
#include <cstddef>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "host/byte_scan.h"

namespace vexlo::host::detail {
namespace {

bool is_plain(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.';
}

// The places of [from, end) where a scan must stop.
std::vector<std::size_t> stops_of(std::string_view text, std::size_t from, bool ascii_only) {
    std::vector<std::size_t> stops;
    for (std::size_t i = from; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (!is_plain(c) && (ascii_only || c < 0x80)) stops.push_back(i);
    }
    return stops;
}

template <class Scanner>
std::vector<std::size_t> scanned(Scanner& scanner, std::string_view text) {
    std::vector<std::size_t> stops;
    for (const char* p; (p = scanner.next()) != text.data() + text.size();) {
        stops.push_back(static_cast<std::size_t>(p - text.data()));
    }
    return stops;
}

TEST(Stops, GiveEveryStopInOrderAndHandTheRestOver) {
    // Mostly plain bytes, as hosts are, so that runs cross the blocks.
    const std::string_view odd = "@:/?#%\t[]\\\xC3\xA9\xE3\x80\x82\x7F ";
    std::mt19937 random(31);
    for (int round = 0; round < 4000; ++round) {
        const std::size_t size = random() % 90;
        std::string text(size, 'a');
        for (char& c : text) {
            if (random() % 6 == 0) c = odd[random() % odd.size()];
        }
        const std::size_t from = size == 0 ? 0 : random() % (size + 1);
        const char* const begin = text.data();
        const char* const end = begin + size;
        SCOPED_TRACE(testing::PrintToString(text) + " from " + std::to_string(from));

        Stops<> long_way(begin, begin + from, end);
        EXPECT_EQ(scanned(long_way, text), stops_of(text, from, false));

        Stops<true> short_way(begin, begin + from, end);
        const std::vector<std::size_t> expected = stops_of(text, from, true);
        std::vector<std::size_t> given;
        const char* stop;
        do {
            stop = short_way.next();
            // From each stop, and from the end, the long way's stops on.
            Stops<> rest = short_way.long_stops(stop);
            const std::size_t at = static_cast<std::size_t>(stop - begin);
            EXPECT_EQ(scanned(rest, text), stops_of(text, at, false)) << "handed over at " << at;
            if (stop != end) given.push_back(at);
        } while (stop != end);
        EXPECT_EQ(given, expected);
    }
}

TEST(FirstCopyCandidate, FindsTheFirstByteThatMayChangeAHost) {
    const std::string_view odd = "\t\n\r\xE3\xEF\x80\x82\xBC\xC3\xA9.@";
    std::mt19937 random(37);
    for (int round = 0; round < 4000; ++round) {
        std::string text(random() % 70, 'a');
        for (char& c : text) {
            if (random() % 12 == 0) c = odd[random() % odd.size()];
        }
        std::size_t expected = text.size();
        for (std::size_t i = 0; i < text.size() && expected == text.size(); ++i) {
            if (std::string_view("\t\n\r\xE3\xEF").find(text[i]) != std::string_view::npos) expected = i;
        }
        const char* const begin = text.data();
        EXPECT_EQ(first_copy_candidate(begin, begin + text.size()) - begin, static_cast<std::ptrdiff_t>(expected))
            << testing::PrintToString(text);
    }
}

}  // namespace
}  // namespace vexlo::host::detail
