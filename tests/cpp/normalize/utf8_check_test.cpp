// The UTF-8 check against a byte-at-a-time reading of the Unicode Standard's
// table of well-formed sequences, with the first offending byte that Python's
// decoder reports, for every sequence of up to three bytes and for sequences
// placed at every offset around the sixteen-byte steps.
#include <algorithm>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "normalize/utf8_check.h"

namespace vexlo {
namespace {

// The well-formed sequence length at p, or 0.
std::size_t reference_length(const unsigned char* p, std::size_t left) {
    const unsigned char b = p[0];
    if (b < 0x80) return 1;
    auto in = [&](std::size_t i, unsigned low, unsigned high) {
        return i < left && p[i] >= low && p[i] <= high;
    };
    if (b >= 0xC2 && b <= 0xDF) return in(1, 0x80, 0xBF) ? 2 : 0;
    if (b == 0xE0) return in(1, 0xA0, 0xBF) && in(2, 0x80, 0xBF) ? 3 : 0;
    if ((b >= 0xE1 && b <= 0xEC) || b == 0xEE || b == 0xEF)
        return in(1, 0x80, 0xBF) && in(2, 0x80, 0xBF) ? 3 : 0;
    if (b == 0xED) return in(1, 0x80, 0x9F) && in(2, 0x80, 0xBF) ? 3 : 0;
    if (b == 0xF0) return in(1, 0x90, 0xBF) && in(2, 0x80, 0xBF) && in(3, 0x80, 0xBF) ? 4 : 0;
    if (b >= 0xF1 && b <= 0xF3)
        return in(1, 0x80, 0xBF) && in(2, 0x80, 0xBF) && in(3, 0x80, 0xBF) ? 4 : 0;
    if (b == 0xF4) return in(1, 0x80, 0x8F) && in(2, 0x80, 0xBF) && in(3, 0x80, 0xBF) ? 4 : 0;
    return 0;
}

std::size_t reference_error(const std::string& text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = reference_length(p + i, text.size() - i);
        if (length == 0) return i;
        i += length;
    }
    return kWellFormed;
}

// Checked from a heap block of exactly the text's size (unpadded), and from
// one with 15 bytes of 0xFF after it (padded: those must be ignored).
void expect_like_reference(const std::string& text) {
    const std::size_t expected = reference_error(text);
    const auto exact = std::make_unique<char[]>(text.size() + 1);
    std::memcpy(exact.get(), text.data(), text.size());
    ASSERT_EQ(utf8_error_offset({exact.get(), text.size()}), expected) << text;
    const auto padded = std::make_unique<char[]>(text.size() + 15);
    std::memset(padded.get(), 0xFF, text.size() + 15);
    std::memcpy(padded.get(), text.data(), text.size());
    ASSERT_EQ(utf8_error_offset({padded.get(), text.size()}, true), expected) << text;
    EXPECT_EQ(is_ascii(text),
              std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; }));
}

TEST(Utf8Check, EverySequenceOfUpToThreeBytes) {
    for (unsigned a = 0x80; a < 0x100; ++a) {
        expect_like_reference(std::string(1, static_cast<char>(a)));
        for (unsigned b = 0; b < 0x100; ++b) {
            const std::string two{static_cast<char>(a), static_cast<char>(b)};
            expect_like_reference(two);
            if (b < 0x80 || b > 0xBF) continue;
            for (unsigned c : {0x00u, 0x41u, 0x7Fu, 0x80u, 0x8Fu, 0x90u, 0x9Fu, 0xA0u, 0xBFu,
                               0xC0u, 0xFFu}) {
                expect_like_reference(two + static_cast<char>(c));
            }
        }
    }
}

// Cases with the offset Python's decoder gives (error.start).
TEST(Utf8Check, FindsThePythonDecodersErrorStart) {
    const std::pair<std::string, std::size_t> cases[] = {
        {"\xe2\x82(", 0},        {"a\xf0\x9f\x98", 1}, {"\xed\xa0\x80", 0},
        {"\xc0\x80", 0},         {"\x80", 0},          {"ab\xf4\x90\x80\x80", 2},
        {"\xe0\x80\x80", 0},     {"\xf0\x8f\xbf\xbf", 0}, {"x\xe2\x82", 1},
        {"\xf0\x9f\x98\x80", kWellFormed}, {"caf\xc3\xa9.com", kWellFormed},
    };
    for (const auto& [text, start] : cases) EXPECT_EQ(utf8_error_offset(text), start) << text;
}

struct Utf8Case {
    const char* what;
    std::string text;
    bool valid;
};

void PrintTo(const Utf8Case& c, std::ostream* out) { *out << c.what; }

class Utf8 : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8, IsUtf8) { EXPECT_EQ(is_utf8(GetParam().text), GetParam().valid) << GetParam().what; }

INSTANTIATE_TEST_SUITE_P(Table, Utf8, ::testing::Values(
    Utf8Case{"empty", "", true}, Utf8Case{"ascii", "example.com", true},
    Utf8Case{"two bytes", "caf\xC3\xA9", true}, Utf8Case{"three bytes", "\xE5\x85\xAC", true},
    Utf8Case{"four bytes", "\xF0\x9F\x98\x80", true}, Utf8Case{"last scalar", "\xF4\x8F\xBF\xBF", true},
    Utf8Case{"lone continuation", "\x80", false}, Utf8Case{"overlong two", "\xC1\xBF", false},
    Utf8Case{"overlong three", "\xE0\x9F\xBF", false}, Utf8Case{"overlong four", "\xF0\x8F\xBF\xBF", false},
    Utf8Case{"surrogate", "\xED\xA0\x80", false}, Utf8Case{"past U+10FFFF", "\xF4\x90\x80\x80", false},
    Utf8Case{"lead F5", "\xF5\x80\x80\x80", false}, Utf8Case{"truncated at end", "abcdefgh\xE5\x85", false},
    Utf8Case{"bad second of three", "\xE5\x41\xAC", false}, Utf8Case{"bad third of four", "\xF0\x9F\x41\x80", false},
    Utf8Case{"after eight ascii", "abcdefgh\xFF", false}, Utf8Case{"NUL", std::string("a\0b", 3), true}));

TEST(Utf8Check, AtEveryOffsetAroundTheSixteenAndSixtyFourByteSteps) {
    const std::string sequences[] = {"\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80", "\xff",
                                     "\xe2\x82", "\xf0\x9f\x98", "\xed\xbf\xbf", "\xc1\xbf"};
    for (const std::string& sequence : sequences) {
        for (std::size_t before = 0; before < 140; ++before) {
            for (std::size_t after : {0u, 1u, 7u, 15u, 16u, 17u, 63u, 64u, 65u}) {
                expect_like_reference(std::string(before, 'a') + sequence + std::string(after, 'b'));
            }
        }
    }
}

// Every length around the block sizes (16 and 64 bytes), read from a block
// of exactly its size (the sanitized build sees any read past it), with one
// byte of 0x80 or above at each place in turn.
TEST(IsAscii, EveryLengthAndEveryPlaceOfAHighByte) {
    for (std::size_t length = 0; length <= 140; ++length) {
        const auto text = std::make_unique<char[]>(length + 1);
        std::memset(text.get(), 'a', length);
        EXPECT_TRUE(is_ascii({text.get(), length})) << length;
        for (std::size_t at = 0; at < length; ++at) {
            for (const unsigned char high : {0x80, 0xC3, 0xFF}) {
                text[at] = static_cast<char>(high);
                EXPECT_FALSE(is_ascii({text.get(), length})) << length << " at " << at;
            }
            text[at] = 0x7F;
            EXPECT_TRUE(is_ascii({text.get(), length})) << length << " at " << at;
        }
    }
}

}  // namespace
}  // namespace vexlo
