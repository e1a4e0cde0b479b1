// normalize_domain_into, which match_domain uses to normalise in place, must
// give exactly what normalize_domain gives, including for texts beyond the
// inline store and texts that grow when lowercased.
#include <string>

#include <gtest/gtest.h>

#include "../param_names.h"
#include "normalize/normalize.h"

namespace vexlo {
namespace {

class NormalizeInto : public ::testing::TestWithParam<std::string> {};

TEST_P(NormalizeInto, AgreesWithNormalizeDomain) {
    const std::string& text = GetParam();
    const std::optional<NormalizedDomain> expected = normalize_domain(text);
    NormalizedDomain got;
    ASSERT_EQ(normalize_domain_into(text, got), expected.has_value());
    if (!expected) return;
    EXPECT_EQ(got.lowered.view(), expected->lowered.view());
    EXPECT_EQ(got.given.data(), expected->given.data());
    EXPECT_EQ(got.given.size(), expected->given.size());
    EXPECT_EQ(got.label_count, expected->label_count);
    EXPECT_EQ(got.dots, expected->dots);
    EXPECT_EQ(got.ascii, expected->ascii);
}

std::string repeated(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += piece;
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NormalizeInto,
    ::testing::Values("", ".", "..", "com.", "a..", "Shop.Example.CO.UK.", "a..b", ".a",
                      "\xce\x9f\xce\x94\xce\x9f\xce\xa3.\xce\x95\xce\x9b",
                      repeated("Ab.", 31) + "cd",                       // 95 bytes
                      repeated("Ab.", 32) + "c",                        // 97 bytes
                      repeated("\xc4\xb0x.", 40) + "uk",                // grows past the store
                      repeated("\xe2\x84\xaa.", 50) + "k",              // shrinks
                      repeated("x", 500) + ".example.com",
                      repeated("a.", 60) + ".",
                      // Around the bitmap's 64 bytes, ASCII and not; the
                      // Kelvin sign and U+0130 move the dots when lowered.
                      repeated("Abc.", 15) + "def", repeated("Abc.", 16), repeated("Abc.", 16) + "d",
                      "x.Y.z", "\xe2\x84\xaa.\xe2\x84\xaa.\xc4\xb0.com", repeated("\xc4\xb0.", 21) + "uk",
                      repeated("\xe2\x84\xaa.", 22) + "k", "Shop.Example.CO.UK.\xc3\xa9t\xc3\xa9"),
    param_names::Short());

}  // namespace
}  // namespace vexlo
