// The one context-dependent lowercase rule: U+03A3 becomes U+03C2 after a
// cased letter and before none, looking past case-ignorable code points, and
// across label boundaries.
#include <ostream>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "normalize/case_data.h"
#include "normalize/normalize.h"

namespace vexlo {
namespace {

struct SigmaCase {
    const char* name;
    std::string_view input;
    std::string_view lowered;
    friend void PrintTo(const SigmaCase& c, std::ostream* os) { *os << c.name; }
};

class FinalSigma : public ::testing::TestWithParam<SigmaCase> {};

TEST_P(FinalSigma, LowercasesInContextOfTheWholeText) {
    const SigmaCase& c = GetParam();
    EXPECT_EQ(lowercase_text(c.input).view(), c.lowered);
    const std::optional<NormalizedDomain> domain = normalize_domain(c.input);
    ASSERT_TRUE(domain.has_value());
    EXPECT_EQ(domain->lowered.view(), c.lowered);
}

INSTANTIATE_TEST_SUITE_P(Cases, FinalSigma, ::testing::Values(
    SigmaCase{"word_end", "ΟΔΟΣ", "οδος"},
    SigmaCase{"label_end_before_cased_label", "ΟΔΟΣ.ΕΛ", "οδοσ.ελ"},
    SigmaCase{"label_end_before_digit_label", "ΟΔΟΣ.1", "οδος.1"},
    SigmaCase{"alone", "Σ", "σ"},
    SigmaCase{"first", "ΣΑ", "σα"},
    SigmaCase{"first_of_text_before_label", "Σ.ΑΣ", "σ.ας"},
    SigmaCase{"after_digit", "1Σ", "1σ"},
    SigmaCase{"label_of_its_own", "Α.Σ", "α.ς"},
    SigmaCase{"after_latin_ascii", "AΣ", "aς"},
    SigmaCase{"after_ascii_prefix_block", "ABCDEFGHIJKLMNOPQΣ", "abcdefghijklmnopqς"},
    SigmaCase{"after_modifier_letter_only", "\u02B0Σ", "\u02B0σ"},
    SigmaCase{"modifier_letter_skipped_back", "Α\u02B0Σ", "α\u02B0ς"},
    SigmaCase{"ypogegrammeni_skipped_forward", "ΑΣ\u0345", "ας\u0345"},
    SigmaCase{"ignorables_then_cased", "ΑΣ'\u0301Α", "ασ'\u0301α"},
    SigmaCase{"apostrophe_back", "Α'Σ", "α'ς"},
    SigmaCase{"two_sigmas", "ΑΣΣ", "ασς"},
    SigmaCase{"after_uncased_letter", "\u05D0Σ", "\u05D0σ"},
    SigmaCase{"after_dotted_i_expansion", "\u0130Σ", "i\u0307ς"},
    SigmaCase{"small_sigma_kept", "οδοσ", "οδοσ"},
    SigmaCase{"final_sigma_kept", "ας.Α", "ας.α"},
    SigmaCase{"sigma_at_block_edge", "ABCDEFGHIJKLMNOΣ.x", "abcdefghijklmnoσ.x"}));

// Offsets that do not point at a sigma within the text are a caller's error;
// they still get an answer and nothing is read outside the text.
TEST(FinalSigmaApplies, OffsetsOutsideTheTextAreFalse) {
    const std::string text = "ΑΣ";
    EXPECT_TRUE(final_sigma_applies(text, 2));
    EXPECT_FALSE(final_sigma_applies(text, 0));
    EXPECT_FALSE(final_sigma_applies(text, 4));
    EXPECT_FALSE(final_sigma_applies(text, 100));
    // A sigma cut in half: the forward walk meets the end at once.
    EXPECT_TRUE(final_sigma_applies(std::string_view(text).substr(0, 3), 2));
}

}  // namespace
}  // namespace vexlo
