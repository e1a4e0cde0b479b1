// Input that is not well-formed UTF-8 breaks the caller's contract, but must
// never make lowercasing read outside the text (run these under the address
// sanitizer: -DVEXLO_SANITIZE=ON). Ill-formed bytes pass through unchanged,
// so a dot can only ever come from the byte 0x2E itself.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "normalize/normalize.h"
#include "reference_model.h"

namespace vexlo {
namespace {

using namespace std::literals;

// An exact-size heap copy, so the sanitizer flags a read one byte past it.
class ExactBuffer {
public:
    explicit ExactBuffer(std::string_view text)
        : bytes_(new char[std::max<std::size_t>(text.size(), 1)]), size_(text.size()) {
        std::copy(text.begin(), text.end(), bytes_.get());
    }
    std::string_view view() const { return {bytes_.get(), size_}; }

private:
    std::unique_ptr<char[]> bytes_;
    std::size_t size_;
};

struct MalformedCase {
    const char* name;
    std::string_view input;
    std::string_view lowered;
    friend void PrintTo(const MalformedCase& c, std::ostream* os) { *os << c.name; }
};

class Malformed : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(Malformed, PassesThroughWithinBounds) {
    const MalformedCase& c = GetParam();
    const ExactBuffer buffer(c.input);
    EXPECT_EQ(lowercase_text(buffer.view()).view(), c.lowered);
    EXPECT_EQ(testing::reference_lowercase(c.input), c.lowered);

    const std::optional<NormalizedDomain> domain = normalize_domain(buffer.view());
    ASSERT_TRUE(domain.has_value());
    EXPECT_EQ(domain->lowered.view(), c.lowered);
    EXPECT_EQ(domain->label_count,
              1 + static_cast<std::size_t>(std::count(c.input.begin(), c.input.end(), '.')));
}

INSTANTIATE_TEST_SUITE_P(Cases, Malformed, ::testing::Values(
    MalformedCase{"truncated_two_byte_at_end", "AB\xC3"sv, "ab\xC3"sv},
    MalformedCase{"truncated_three_byte_at_end", "AB\xE2\x84"sv, "ab\xE2\x84"sv},
    MalformedCase{"truncated_four_byte_at_end", "X\xF0\x96\xBA"sv, "x\xF0\x96\xBA"sv},
    MalformedCase{"lead_then_ascii", "\xC4Z"sv, "\xC4z"sv},
    MalformedCase{"stray_continuations", "\x80\xBF" "A"sv, "\x80\xBF" "a"sv},
    MalformedCase{"extra_continuation", "\xC4\xB0\xB0"sv, "i\xCC\x87\xB0"sv},
    MalformedCase{"overlong_dot_two_bytes", "A\xC0\xAE" "B"sv, "a\xC0\xAE" "b"sv},
    MalformedCase{"overlong_dot_three_bytes", "A\xE0\x80\xAE" "B"sv, "a\xE0\x80\xAE" "b"sv},
    MalformedCase{"overlong_capital_a", "\xC1\x81"sv, "\xC1\x81"sv},
    MalformedCase{"five_byte_lead", "\xF8\x88\x80\x80\x80"sv, "\xF8\x88\x80\x80\x80"sv},
    MalformedCase{"six_byte_lead", "\xFC\x84\x80\x80\x80\x80.Q"sv, "\xFC\x84\x80\x80\x80\x80.q"sv},
    MalformedCase{"surrogate", "\xED\xA0\x80" "A"sv, "\xED\xA0\x80" "a"sv},
    MalformedCase{"beyond_10FFFF", "\xF4\x90\x80\x80"sv, "\xF4\x90\x80\x80"sv},
    MalformedCase{"ff_fe", "\xFF\xFE.A"sv, "\xFF\xFE.a"sv},
    MalformedCase{"sigma_then_truncated", "\xCE\xA3\xCE"sv, "\xCF\x83\xCE"sv},
    MalformedCase{"cased_sigma_then_truncated", "A\xCE\xA3\xCE"sv, "a\xCF\x82\xCE"sv},
    MalformedCase{"overlong_capital_a_before_sigma", "\xE0\x81\x81\xCE\xA3"sv,
                  "\xE0\x81\x81\xCF\x83"sv},
    MalformedCase{"overlong_capital_a_after_sigma", "A\xCE\xA3\xF0\x80\x81\x81"sv,
                  "a\xCF\x82\xF0\x80\x81\x81"sv},
    MalformedCase{"surrogate_before_sigma", "\xED\xB0\x80\xCE\xA3"sv, "\xED\xB0\x80\xCF\x83"sv},
    MalformedCase{"continuation_before_sigma", "\x80\xCE\xA3"sv, "\x80\xCF\x83"sv},
    MalformedCase{"truncated_before_sigma", "A\xE2\x84\xCE\xA3"sv, "a\xE2\x84\xCF\x83"sv},
    MalformedCase{"continuations_before_sigma", "A\xBF\xBF\xBF\xBF\xCE\xA3"sv,
                  "a\xBF\xBF\xBF\xBF\xCF\x83"sv}));

// Random byte strings built from pieces that stress the decoder, each checked
// against the reference model and for the label structure of its input.
TEST(MalformedRandom, AgreesWithReferenceModel) {
    static constexpr std::string_view kPieces[] = {
        "A"sv, "z"sv, "."sv, "'"sv, "1"sv, "\x80"sv, "\xBF"sv, "\xC0"sv, "\xC3"sv, "\xCE"sv,
        "\xA3"sv, "\xE0"sv, "\xED"sv, "\xF0"sv, "\xF4"sv, "\xF8"sv, "\xFF"sv, "\xCE\xA3"sv,
        "\xC4\xB0"sv, "\xE2\x84\xAA"sv, "\xCA\xB0"sv, "\xCD\x85"sv, "\xF0\x96\xBA\xA0"sv,
        "\xC0\xAE"sv};
    std::mt19937 random(20250912);
    std::uniform_int_distribution<std::size_t> piece(0, std::size(kPieces) - 1);
    std::uniform_int_distribution<int> count(0, 24);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        for (int n = count(random); n > 0; --n) text += kPieces[piece(random)];
        const ExactBuffer buffer(text);
        const std::string expected = testing::reference_lowercase(text);
        ASSERT_EQ(lowercase_text(buffer.view()).view(), expected) << "round " << round;

        const std::optional<NormalizedDomain> domain = normalize_domain(buffer.view());
        std::string_view given = text;
        if (!given.empty() && given.back() == '.') given.remove_suffix(1);
        const bool valid = !given.empty() && given.front() != '.' && given.back() != '.' &&
                           given.find("..") == std::string_view::npos;
        ASSERT_EQ(domain.has_value(), valid) << "round " << round;
        if (valid) {
            EXPECT_EQ(domain->label_count,
                      1 + static_cast<std::size_t>(std::count(given.begin(), given.end(), '.')));
        }
    }
}

}  // namespace
}  // namespace vexlo
