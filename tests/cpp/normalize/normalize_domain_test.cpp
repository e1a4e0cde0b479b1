// normalize_domain: validity, the trailing dot, lowercasing and the invariants
// of every NormalizedDomain.
#include <algorithm>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "common/dots.h"
#include "normalize/normalize.h"
#include "normalize/utf8_check.h"
#include "reference_model.h"

namespace vexlo {
namespace {

using namespace std::literals;

std::size_t dots(std::string_view text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), '.')); }

void expect_invariants(std::string_view input, const NormalizedDomain& domain) {
    const std::string_view lowered = domain.lowered.view();
    for (std::string_view text : {lowered, domain.given}) {
        ASSERT_FALSE(text.empty());
        EXPECT_NE(text.front(), '.');
        EXPECT_NE(text.back(), '.');
        EXPECT_EQ(text.find(".."), std::string_view::npos);
        EXPECT_EQ(dots(text), domain.label_count - 1);
    }
    // `given` is the caller's own bytes, less at most the one trailing dot.
    EXPECT_EQ(domain.given.data(), input.data());
    EXPECT_TRUE(domain.given.size() == input.size() ||
                (domain.given.size() + 1 == input.size() && input.back() == '.'));
    EXPECT_EQ(domain.dots, dot_bitmap(lowered.data(), lowered.size()));
    EXPECT_EQ(domain.ascii, is_ascii(domain.given));
}

struct ValidCase {
    const char* name;
    std::string_view input;
    std::string_view lowered;
    std::string_view given;
    std::size_t label_count;
    friend void PrintTo(const ValidCase& c, std::ostream* os) { *os << c.name; }
};

class ValidDomain : public ::testing::TestWithParam<ValidCase> {};

TEST_P(ValidDomain, LowercasesAndCountsLabels) {
    const ValidCase& c = GetParam();
    // An exact-size heap copy, so the sanitizer build sees any read past the end.
    const std::unique_ptr<char[]> buffer(new char[c.input.size()]);
    std::copy(c.input.begin(), c.input.end(), buffer.get());
    const std::string_view input(buffer.get(), c.input.size());

    const std::optional<NormalizedDomain> domain = normalize_domain(input);
    ASSERT_TRUE(domain.has_value());
    EXPECT_EQ(domain->lowered.view(), c.lowered);
    EXPECT_EQ(domain->given, c.given);
    EXPECT_EQ(domain->label_count, c.label_count);
    expect_invariants(input, *domain);
}

INSTANTIATE_TEST_SUITE_P(TrailingDot, ValidDomain, ::testing::Values(
    ValidCase{"com_dot", "com.", "com", "com", 1},
    ValidCase{"example_com", "Example.COM", "example.com", "Example.COM", 2},
    ValidCase{"example_com_dot", "Example.COM.", "example.com", "Example.COM", 2},
    ValidCase{"one_letter", "A", "a", "A", 1},
    ValidCase{"one_letter_dot", "A.", "a", "A", 1}));

// No rule of the domain-name system beyond the dot: every character is an
// ordinary part of its label.
INSTANTIATE_TEST_SUITE_P(OrdinaryCharacters, ValidDomain, ::testing::Values(
    ValidCase{"asterisk_label", "*.Example.COM", "*.example.com", "*.Example.COM", 3},
    ValidCase{"space", "My Shop.COM", "my shop.com", "My Shop.COM", 2},
    ValidCase{"underscore", "_Dmarc.X_Y", "_dmarc.x_y", "_Dmarc.X_Y", 2},
    ValidCase{"exclamation", "Hi!.Example", "hi!.example", "Hi!.Example", 2},
    ValidCase{"nul", "A\0B.C"sv, "a\0b.c"sv, "A\0B.C"sv, 2},
    ValidCase{"controls", "\x01\x7F.\t"sv, "\x01\x7F.\t"sv, "\x01\x7F.\t"sv, 2},
    ValidCase{"a_label_kept", "xn--P1AI", "xn--p1ai", "xn--P1AI", 1},
    ValidCase{"unicode_label_kept", "\xD0\xA0\xD0\xA4", "\xD1\x80\xD1\x84", "\xD0\xA0\xD0\xA4", 1},
    ValidCase{"ideographic_full_stop", "A\u3002B", "a\u3002b", "A\u3002B", 1},
    ValidCase{"fullwidth_full_stop", "A\uFF0EB.C", "a\uFF0Eb.c", "A\uFF0EB.C", 2},
    ValidCase{"many_labels", "A.B.C.D.E.F.G.H.I.J", "a.b.c.d.e.f.g.h.i.j", "A.B.C.D.E.F.G.H.I.J", 10}));

// Lowercasing changes byte lengths; label counts never change.
INSTANTIATE_TEST_SUITE_P(ByteLengthChanges, ValidDomain, ::testing::Values(
    ValidCase{"dotted_capital_i", "\u0130STANBUL.TR", "i\u0307stanbul.tr", "\u0130STANBUL.TR", 2},
    ValidCase{"a_with_stroke", "\u023A.B", "\u2C65.b", "\u023A.B", 2},
    ValidCase{"capital_sharp_s", "STRA\u1E9EE.DE", "stra\u00DFe.de", "STRA\u1E9EE.DE", 2},
    ValidCase{"ohm_sign", "\u2126.GR.", "\u03C9.gr", "\u2126.GR", 2},
    ValidCase{"kelvin_sign", "\u212AELVIN.Example", "kelvin.example", "\u212AELVIN.Example", 2},
    ValidCase{"mixed", "\u0130.\u212A.\u023A", "i\u0307.k.\u2C65", "\u0130.\u212A.\u023A", 3}));

// Unicode 17.0 additions, and U+0295, which 17.0 no longer counts as a letter
// with case (it was Lowercase in 16.0): it stays, and blocks a final sigma.
INSTANTIATE_TEST_SUITE_P(Unicode17, ValidDomain, ::testing::Values(
    ValidCase{"beria_erfe", "\U00016EA0\U00016EB8", "\U00016EBB\U00016ED3", "\U00016EA0\U00016EB8", 1},
    ValidCase{"latin_a7ce", "\uA7CE.\uA7D2.\uA7D4", "\uA7CF.\uA7D3.\uA7D5", "\uA7CE.\uA7D2.\uA7D4", 3},
    ValidCase{"latin_a7dc", "\uA7DC", "\u019B", "\uA7DC", 1},
    ValidCase{"cyrillic_1c89", "\u1C89", "\u1C8A", "\u1C89", 1},
    ValidCase{"pharyngeal_not_cased", "\u0295\u03A3", "\u0295\u03C3", "\u0295\u03A3", 1}));

// Long texts leave the inline store; lengthening ones grow the output.
const std::string kLongAscii = std::string(150, 'Q') + "." + std::string(150, 'w');
const std::string kLongAsciiLower = std::string(150, 'q') + "." + std::string(150, 'w');
std::string repeat(std::string_view piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}
const std::string kGrowsInline = repeat("\u023A", 40);              // 80 bytes become 120
const std::string kGrowsInlineLower = repeat("\u2C65", 40);
const std::string kGrowsHeap = repeat("\u0130", 100) + ".X";        // 202 bytes become 302
const std::string kGrowsHeapLower = repeat("i\u0307", 100) + ".x";
const std::string kShrinks = repeat("\u212A", 100);
const std::string kShrinksLower = std::string(100, 'k');

INSTANTIATE_TEST_SUITE_P(Long, ValidDomain, ::testing::Values(
    ValidCase{"long_ascii", kLongAscii, kLongAsciiLower, kLongAscii, 2},
    ValidCase{"grows_past_inline", kGrowsInline, kGrowsInlineLower, kGrowsInline, 1},
    ValidCase{"grows_on_heap", kGrowsHeap, kGrowsHeapLower, kGrowsHeap, 2},
    ValidCase{"shrinks", kShrinks, kShrinksLower, kShrinks, 1}));

// The output starts at the input's size (inline up to 96 bytes, else on the
// heap) and grows when lowercasing lengthens the text: try every size around
// those limits, with the growing character at every alignment.
class OutputGrowth : public ::testing::TestWithParam<std::string_view> {};

TEST_P(OutputGrowth, GivesTheReferenceLowercaseAtEverySize) {
    for (std::size_t prefix = 0; prefix < 4; ++prefix) {
        for (int count = 0; count <= 80; ++count) {
            const std::string text = std::string(prefix, 'X') + repeat(GetParam(), count) + "Y";
            SCOPED_TRACE(std::to_string(prefix) + " + " + std::to_string(count));
            const std::string expected = testing::reference_lowercase(text);
            EXPECT_EQ(lowercase_text(text).view(), expected);
            const std::optional<NormalizedDomain> domain = normalize_domain(text);
            ASSERT_TRUE(domain.has_value());
            EXPECT_EQ(domain->lowered.view(), expected);
            EXPECT_EQ(domain->given, text);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Characters, OutputGrowth,
                         ::testing::Values("\u0130"sv, "\u023A"sv, "\u0130\u212A"sv, "\u0130."sv));

class InvalidDomain : public ::testing::TestWithParam<std::string_view> {};

TEST_P(InvalidDomain, HasNoRecord) { EXPECT_FALSE(normalize_domain(GetParam()).has_value()); }

INSTANTIATE_TEST_SUITE_P(EmptyLabels, InvalidDomain, ::testing::Values(
    ""sv, "."sv, ".."sv, "..."sv, "a.."sv, ".com"sv, ".com."sv, "a..b"sv, "Example..COM"sv,
    "a.b..c.d"sv, "a.b.."sv, "\u0130..X"sv, ". "sv));

// Labels are counted in blocks of 16 bytes (or two overlapping words for
// shorter texts): a dot, or two adjacent ones, at every place of texts of
// every length around those sizes.
TEST(NormalizeDomain, DotsAtEveryPlace) {
    for (std::size_t length = 3; length <= 50; ++length) {
        for (std::size_t at = 1; at + 1 < length; ++at) {
            std::string text(length, 'A');
            text[at] = '.';
            SCOPED_TRACE(text);
            std::optional<NormalizedDomain> domain = normalize_domain(text);
            ASSERT_TRUE(domain.has_value());
            EXPECT_EQ(domain->label_count, 2u);
            EXPECT_EQ(domain->lowered.view(), std::string(at, 'a') + "." + std::string(length - at - 1, 'a'));
            if (at + 2 < length) {
                text[at + 1] = '.';
                EXPECT_FALSE(normalize_domain(text).has_value());
            }
        }
    }
}

TEST(NormalizeDomain, ShortNamesStayInTheRecord) {
    const std::string_view input = "Shop.Example.CO.UK";
    const std::optional<NormalizedDomain> domain = normalize_domain(input);
    ASSERT_TRUE(domain.has_value());
    const char* record = reinterpret_cast<const char*>(&*domain);
    EXPECT_GE(domain->lowered.data(), record);
    EXPECT_LT(domain->lowered.data(), record + sizeof(NormalizedDomain));
}

TEST(LowercaseText, EmptyTextGivesEmptyText) { EXPECT_EQ(lowercase_text("").view(), ""); }

// Results are sized on the promise that lowercasing adds at most half of a
// text's bytes; every code point keeps it.
TEST(LowercaseText, GrowsByAtMostHalfForEveryCodePoint) {
    char buffer[4];
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        std::size_t size;
        if (c < 0x80) {
            buffer[0] = static_cast<char>(c), size = 1;
        } else if (c < 0x800) {
            buffer[0] = static_cast<char>(0xC0 | (c >> 6));
            buffer[1] = static_cast<char>(0x80 | (c & 0x3F)), size = 2;
        } else if (c < 0x10000) {
            buffer[0] = static_cast<char>(0xE0 | (c >> 12));
            buffer[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            buffer[2] = static_cast<char>(0x80 | (c & 0x3F)), size = 3;
        } else {
            buffer[0] = static_cast<char>(0xF0 | (c >> 18));
            buffer[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            buffer[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            buffer[3] = static_cast<char>(0x80 | (c & 0x3F)), size = 4;
        }
        const std::size_t lowered = lowercase_text(std::string_view(buffer, size)).size();
        ASSERT_LE(lowered * 2, size * 3) << "U+" << std::hex << static_cast<unsigned>(c);
    }
}

}  // namespace
}  // namespace vexlo
