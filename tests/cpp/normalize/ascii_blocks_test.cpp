// The ASCII fast path (16-byte blocks, a final overlapping block, short-text
// words, then byte by byte) must give exactly what the per-code-point rule
// gives, wherever the first non-ASCII character falls.
#include <ostream>
#include <string>
#include <string_view>
#include <tuple>

#include <gtest/gtest.h>

#include "normalize/normalize.h"
#include "reference_model.h"

namespace vexlo {
namespace {

// Every byte class the fast path distinguishes: the letters, their neighbours
// '@' '[' '`' '{', digits, dot and other punctuation, controls and DEL.
constexpr std::string_view kAsciiPattern =
    "AZ@[`{az.Mx09-_'Q\x01\x7F:^Yb.KL*st UVnopRS!";

std::string ascii_text(std::size_t length) {
    std::string text;
    while (text.size() < length) text += kAsciiPattern;
    text.resize(length);
    return text;
}

struct Insert {
    const char* name;
    std::string_view bytes;
    friend void PrintTo(const Insert& insert, std::ostream* os) { *os << insert.name; }
};

const Insert kInserts[] = {
    {"e_acute_unchanged", "\u00E9"},
    {"a_grave", "\u00C0"},
    {"micro_sign_below_C0", "\u00B5"},
    {"capital_sigma", "\u03A3"},
    {"dotted_capital_i_grows", "\u0130"},
    {"a_with_stroke_grows", "\u023A"},
    {"kelvin_sign_shrinks", "\u212A"},
    {"cherokee", "\u13A0"},
    {"four_byte", "\U00016EA0"},
    {"ill_formed_byte", "\xC3"},
};

class AsciiBlocks : public ::testing::TestWithParam<std::tuple<std::size_t, Insert>> {};

TEST_P(AsciiBlocks, AgreeWithPerCodePointRule) {
    const auto& [length, insert] = GetParam();
    const std::string ascii = ascii_text(length);
    {
        SCOPED_TRACE("all ASCII");
        EXPECT_EQ(lowercase_text(ascii).view(), testing::reference_lowercase(ascii));
    }
    for (std::size_t at = 0; at <= length; ++at) {
        SCOPED_TRACE("inserted at " + std::to_string(at));
        const std::string text = ascii.substr(0, at) + std::string(insert.bytes) + ascii.substr(at);
        EXPECT_EQ(lowercase_text(text).view(), testing::reference_lowercase(text));
        // The same character replacing the ASCII byte there, keeping the length.
        if (at < length) {
            std::string replaced = ascii;
            replaced.replace(at, 1, insert.bytes);
            EXPECT_EQ(lowercase_text(replaced).view(), testing::reference_lowercase(replaced));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, AsciiBlocks,
    ::testing::Combine(::testing::Values<std::size_t>(0, 1, 3, 4, 7, 8, 15, 16, 17, 31, 32, 33, 48),
                       ::testing::ValuesIn(kInserts)),
    [](const ::testing::TestParamInfo<AsciiBlocks::ParamType>& info) {
        return std::get<1>(info.param).name + std::string("_") +
               std::to_string(std::get<0>(info.param));
    });

TEST(AsciiBlocks, EveryAsciiByteLowercasesAlone) {
    for (int byte = 0; byte < 0x80; ++byte) {
        const std::string text(33, static_cast<char>(byte));
        const char lower = byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte + 0x20)
                                                      : static_cast<char>(byte);
        EXPECT_EQ(lowercase_text(text).view(), std::string(33, lower)) << "byte " << byte;
    }
}

}  // namespace
}  // namespace vexlo
