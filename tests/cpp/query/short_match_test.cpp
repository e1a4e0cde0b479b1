#include "query/short_match.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace vexlo {
namespace {

// Whatever match_short reports must be what match_domain gives: the same
// validity, public-suffix length, label count and answers.
void expect_same_as_match_domain(const std::string& name, Switches switches) {
    ShortMatch short_match;
    const ShortOutcome outcome = match_short(name, switches, short_match);
    const std::optional<Match> match = match_domain(name, switches);
    if (outcome == ShortOutcome::kOther) return;
    ASSERT_EQ(outcome == ShortOutcome::kMatched, match.has_value()) << name;
    if (!match) return;
    EXPECT_EQ(std::string_view(short_match.lowered, short_match.size), match->domain.lowered.view())
        << name;
    EXPECT_EQ(short_match.label_count, match->domain.label_count) << name;
    EXPECT_EQ(short_match.public_length, match->public_length) << name;
    EXPECT_EQ(is_public(short_match), is_public(*match)) << name;
    EXPECT_EQ(is_private(short_match), is_private(*match)) << name;
    EXPECT_EQ(publicsuffix(short_match), publicsuffix(*match, false)) << name;
    EXPECT_EQ(privatesuffix(short_match), privatesuffix(*match, false)) << name;
}

struct ShortCase {
    std::string name;
    ShortOutcome outcome;
};

class MatchShort : public testing::TestWithParam<ShortCase> {};

TEST_P(MatchShort, DecidesWhatItCanAndAgreesWithMatchDomain) {
    const ShortCase& c = GetParam();
    ShortMatch match;
    EXPECT_EQ(match_short(c.name, Switches{}, match), c.outcome) << c.name;
    expect_same_as_match_domain(c.name, Switches{});
    expect_same_as_match_domain(c.name, Switches{false, true});
}

const std::string k64(64, 'x');

INSTANTIATE_TEST_SUITE_P(Table, MatchShort, testing::Values(
    ShortCase{"", ShortOutcome::kInvalid}, ShortCase{".", ShortOutcome::kInvalid},
    ShortCase{"..", ShortOutcome::kInvalid}, ShortCase{"a..", ShortOutcome::kInvalid},
    ShortCase{".a", ShortOutcome::kInvalid}, ShortCase{"a..b", ShortOutcome::kInvalid},
    ShortCase{"a", ShortOutcome::kMatched}, ShortCase{"A.", ShortOutcome::kMatched},
    ShortCase{"co.uk", ShortOutcome::kMatched}, ShortCase{"Shop.Example.CO.UK.", ShortOutcome::kMatched},
    ShortCase{"city.kobe.jp", ShortOutcome::kMatched}, ShortCase{"foo.kobe.jp", ShortOutcome::kMatched},
    ShortCase{"abcdefg.hijklmn..", ShortOutcome::kInvalid},
    ShortCase{"abcdefghijklmno.", ShortOutcome::kMatched},
    ShortCase{"abcdefghijklmnop.", ShortOutcome::kMatched},
    ShortCase{"abcdefghijklmnopqrstuvwxyzabcde..com", ShortOutcome::kInvalid},
    ShortCase{k64, ShortOutcome::kMatched}, ShortCase{k64 + ".", ShortOutcome::kMatched},
    ShortCase{k64 + "x", ShortOutcome::kOther}, ShortCase{"x" + k64 + ".", ShortOutcome::kOther},
    ShortCase{"b\xC3\xA4r.de", ShortOutcome::kOther},
    ShortCase{"\xC4\xB0stanbul.example.com.tr", ShortOutcome::kOther},
    ShortCase{std::string("nul\0.com", 8), ShortOutcome::kMatched}));

TEST(MatchShort, AgreesWithMatchDomainOnEveryShapeUpTo70Bytes) {
    // Every length on both sides of the 4-, 8-, 16- and 64-byte boundaries,
    // with dots anywhere (empty labels too), both cases and rule labels.
    std::mt19937 random(7);
    const std::vector<std::string> labels = {"uk", "CO", "com", "jp", "kobe", "city", "ck", "www",
                                             "Example", "blogspot", "github", "io", "a", "s3"};
    const std::string alphabet = "aZ.-9_.";
    for (int round = 0; round < 3000; ++round) {
        std::string name;
        if (round % 2 == 0) {
            const std::size_t length = random() % 71;
            for (std::size_t i = 0; i < length; ++i) name += alphabet[random() % alphabet.size()];
        } else {
            const std::size_t count = 1 + random() % 12;
            for (std::size_t i = 0; i < count; ++i) {
                if (i) name += '.';
                name += labels[random() % labels.size()];
            }
            if (random() % 3 == 0) name += '.';
        }
        expect_same_as_match_domain(name, Switches{});
        expect_same_as_match_domain(name, Switches{false, true});
    }
}

}  // namespace
}  // namespace vexlo
