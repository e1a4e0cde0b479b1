// match_short, the single call's path for short ASCII names, must give
// what match_domain gives, and leave the rest to it; trace_short, extract's,
// what trace_domain gives.
#include "query/short_match.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "../param_names.h"
#include "query/match.h"
#include "rules/compiled_tables.h"

namespace vexlo {
namespace {

// Whatever match_short reports must be what match_domain gives: the same
// validity, public-suffix length, label count and answers.
void expect_same_as_match_domain(const std::string& name, Switches switches) {
    ShortMatch short_match;
    std::string_view given = name;
    const ShortOutcome outcome =
        match_short<kCompiledRootEdgeCount>(compiled_tables(), given, switches, short_match);
    const std::optional<Match> match = match_domain(name, compiled_tables(), switches);
    if (outcome == ShortOutcome::kOther) return;
    ASSERT_EQ(outcome == ShortOutcome::kMatched, match.has_value()) << name;
    if (!match) return;
    const MatchView got = short_match.view(given);
    const MatchView want = match->view();
    EXPECT_EQ(got.lowered, want.lowered) << name;
    EXPECT_EQ(got.given, want.given) << name;
    EXPECT_EQ(got.dots, want.dots) << name;
    EXPECT_EQ(got.label_count, want.label_count) << name;
    EXPECT_EQ(got.public_length, want.public_length) << name;
    EXPECT_EQ(got.given_is_ascii, want.given_is_ascii) << name;
    for (const bool keep_case : {false, true}) {
        EXPECT_EQ(publicsuffix(got, keep_case), publicsuffix(want, keep_case)) << name;
        EXPECT_EQ(privatesuffix(got, keep_case), privatesuffix(want, keep_case)) << name;
    }
}

// trace_short, extract's way for one short ASCII name, the same against
// trace_domain: both views' lengths and the rule that decided.
void expect_same_as_trace_domain(const std::string& name, bool accept_unknown) {
    ShortMatch short_match;
    Verdict verdict;
    std::string_view given = name;
    const ShortOutcome outcome = trace_short<kCompiledRootEdgeCount>(compiled_tables(), given,
                                                                     accept_unknown, short_match, verdict);
    const std::optional<TracedMatch> traced = trace_domain(name, compiled_tables(), accept_unknown);
    if (outcome == ShortOutcome::kOther) return;
    ASSERT_EQ(outcome == ShortOutcome::kMatched, traced.has_value()) << name;
    if (!traced) return;
    EXPECT_EQ(short_match.view(given).lowered, traced->match.view().lowered) << name;
    EXPECT_EQ(short_match.public_length, traced->match.public_length) << name;
    EXPECT_EQ(verdict.public_length, traced->verdict.public_length) << name;
    EXPECT_EQ(verdict.icann_length, traced->verdict.icann_length) << name;
    EXPECT_EQ(verdict.rule_node, traced->verdict.rule_node) << name;
    EXPECT_EQ(verdict.rule_labels, traced->verdict.rule_labels) << name;
}

struct ShortCase {
    std::string name;
    ShortOutcome outcome;
};

void PrintTo(const ShortCase& c, std::ostream* out) { *out << testing::PrintToString(c.name); }

class MatchShort : public testing::TestWithParam<ShortCase> {};

TEST_P(MatchShort, DecidesWhatItCanAndAgreesWithMatchDomain) {
    const ShortCase& c = GetParam();
    ShortMatch match;
    std::string_view given = c.name;
    EXPECT_EQ(match_short<kCompiledRootEdgeCount>(compiled_tables(), given, Switches{}, match),
              c.outcome)
        << c.name;
    expect_same_as_match_domain(c.name, Switches{});
    expect_same_as_match_domain(c.name, Switches{false, true});
    expect_same_as_trace_domain(c.name, true);
    expect_same_as_trace_domain(c.name, false);
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
    ShortCase{std::string("nul\0.com", 8), ShortOutcome::kMatched}),
                         param_names::Short());

TEST(MatchShort, AgreesWithMatchDomainOnEveryShapeUpTo70Bytes) {
    // Every length on both sides of the 4-, 8-, 16- and 64-byte boundaries,
    // with dots anywhere (empty labels too), both cases and rule labels.
    std::mt19937 random(7);
    const std::vector<std::string> labels = {"uk", "CO", "com", "jp", "kobe", "city", "ck", "www",
                                             "Example", "blogspot", "github", "io", "a", "s3",
                                             "xn--55qx5d", "cn", "kawasaki", "nom", "unknowntld"};
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
        expect_same_as_trace_domain(name, round % 4 < 2);
    }
}

}  // namespace
}  // namespace vexlo
