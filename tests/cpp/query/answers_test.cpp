// The answers over a match: whole labels cut from the right of the
// caller's spelling or of the lowercase, and the questions that have no
// answer for a name.
#include "query/answers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>
#include <string>

#include "../param_names.h"
#include "common/dots.h"
#include "normalize/utf8_check.h"
#include "query/match.h"
#include "rules/compiled_tables.h"

namespace vexlo {
namespace {

constexpr std::uint64_t kMaxDepth = std::numeric_limits<std::uint64_t>::max();

Match must_match(std::string_view name, Switches switches = {}) {
    std::optional<Match> match = match_domain(name, compiled_tables(), switches);
    EXPECT_TRUE(match.has_value()) << name;
    return std::move(*match);
}

struct RightmostCase {
    std::string text;
    std::size_t labels;
    std::size_t count;
    std::string expected;
};

void PrintTo(const RightmostCase& c, std::ostream* out) {
    *out << c.count << " of " << testing::PrintToString(c.text);
}

class RightmostLabels : public testing::TestWithParam<RightmostCase> {};

// The same text as lowercase and as the caller's spelling; past the dot
// bitmap's 64 bytes the labels are found by searching.
TEST_P(RightmostLabels, CutsWholeLabelsFromTheRight) {
    const RightmostCase& c = GetParam();
    const MatchView match{c.text, c.text, dot_bitmap(c.text.data(), c.text.size()), c.labels, 0,
                          is_ascii(c.text)};
    EXPECT_EQ(rightmost_labels(match, false, c.count), c.expected);
    EXPECT_EQ(rightmost_labels(match, true, c.count), c.expected);
}

const std::string k70(70, 'x');

INSTANTIATE_TEST_SUITE_P(Table, RightmostLabels, testing::Values(
    RightmostCase{"a.b.c", 3, 1, "c"}, RightmostCase{"a.b.c", 3, 2, "b.c"},
    RightmostCase{"a.b.c", 3, 3, "a.b.c"}, RightmostCase{"single", 1, 1, "single"},
    RightmostCase{"\xC4\xB0x.\xC4\xB0.co", 3, 2, "\xC4\xB0.co"},
    RightmostCase{k70 + ".b.c", 3, 2, "b.c"}, RightmostCase{k70 + ".b.c", 3, 3, k70 + ".b.c"},
    RightmostCase{"a." + k70 + ".c", 3, 2, k70 + ".c"}, RightmostCase{"a." + k70 + ".c", 3, 3, "a." + k70 + ".c"},
    RightmostCase{"a.b." + k70, 3, 2, "b." + k70}, RightmostCase{"\xC4\xB0." + k70 + ".\xC4\xB0", 3, 2, k70 + ".\xC4\xB0"}),
                         param_names::Short());

TEST(Query, KeepCaseCutsTheCallersSpellingByLabelNotByteOffset) {
    // U+0130 is two bytes but lowercases to three, so byte offsets differ.
    const std::string name = "X\xC4\xB0.Example.CO.UK";
    const Match matched = must_match(name);
    EXPECT_EQ(matched.domain.lowered.size(), name.size() + 1);
    const MatchView match = matched.view();
    const std::optional<PrivateParts> kept = privateparts(match, true);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->subdomains, "X\xC4\xB0");
    EXPECT_EQ(kept->subdomain_count, 1u);
    EXPECT_EQ(kept->private_suffix, "Example.CO.UK");
    const std::optional<PrivateParts> lowered = privateparts(match, false);
    ASSERT_TRUE(lowered);
    EXPECT_EQ(lowered->subdomains, "xi\xCC\x87");
    EXPECT_EQ(lowered->private_suffix, "example.co.uk");
    EXPECT_EQ(subdomain(match, 1, true), name);
}

TEST(Query, DepthIsComparedBeforeAnySubtraction) {
    const Match matched = must_match("a.b.example.co.uk");
    const MatchView match = matched.view();
    EXPECT_EQ(subdomain(match, 0, false), "example.co.uk");
    EXPECT_EQ(subdomain(match, 2, false), "a.b.example.co.uk");
    EXPECT_EQ(subdomain(match, 3, false), std::nullopt);
    EXPECT_EQ(subdomain(match, kMaxDepth, false), std::nullopt);
    EXPECT_EQ(subdomain(match, kMaxDepth - 1, false), std::nullopt);
}

TEST(Query, EntirelyPublicAndUnknownNames) {
    const Match public_match = must_match("co.uk");
    const MatchView public_name = public_match.view();
    EXPECT_TRUE(is_public(public_name));
    EXPECT_FALSE(is_private(public_name));
    EXPECT_EQ(publicsuffix(public_name, false), "co.uk");
    EXPECT_EQ(privatesuffix(public_name, false), std::nullopt);
    EXPECT_EQ(privateparts(public_name, false), std::nullopt);
    EXPECT_EQ(subdomain(public_name, 0, false), std::nullopt);

    const Match unknown_match = must_match("example.unknowntld", Switches{false, false});
    const MatchView unknown = unknown_match.view();
    EXPECT_EQ(unknown.public_length, 0u);
    EXPECT_FALSE(is_public(unknown));
    EXPECT_FALSE(is_private(unknown));
    EXPECT_EQ(publicsuffix(unknown, true), std::nullopt);
}

TEST(Query, InvalidNamesHaveNoMatch) {
    for (std::string_view name : {"", ".", "..", "a..b", "example.com..", ".com"}) {
        EXPECT_FALSE(match_domain(name, compiled_tables(), {}).has_value()) << name;
    }
}

TEST(Query, PrivatePartsSplitsEverySubdomainLabel) {
    const Match match = must_match("A.b.C.example.com");
    const std::optional<PrivateParts> parts = privateparts(match.view(), true);
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->subdomains, "A.b.C");
    EXPECT_EQ(parts->subdomain_count, 3u);
    EXPECT_EQ(parts->private_suffix, "example.com");
}

}  // namespace
}  // namespace vexlo
