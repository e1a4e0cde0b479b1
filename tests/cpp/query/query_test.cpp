#include "query/query.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace vexlo {
namespace {

constexpr std::uint64_t kMaxDepth = std::numeric_limits<std::uint64_t>::max();

Match must_match(std::string_view name, Switches switches = {}) {
    std::optional<Match> match = match_domain(name, switches);
    EXPECT_TRUE(match.has_value()) << name;
    return std::move(*match);
}

struct RightmostCase {
    std::string_view text;
    std::size_t labels;
    std::size_t count;
    std::string_view expected;
};

class RightmostLabels : public testing::TestWithParam<RightmostCase> {};

TEST_P(RightmostLabels, CutsWholeLabelsFromTheRight) {
    const RightmostCase& c = GetParam();
    EXPECT_EQ(rightmost_labels(c.text, c.labels, c.count), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, RightmostLabels, testing::Values(
    RightmostCase{"a.b.c", 3, 1, "c"}, RightmostCase{"a.b.c", 3, 2, "b.c"},
    RightmostCase{"a.b.c", 3, 3, "a.b.c"}, RightmostCase{"single", 1, 1, "single"},
    RightmostCase{"\xC4\xB0x.\xC4\xB0.co", 3, 2, "\xC4\xB0.co"}));

TEST(Query, KeepCaseCutsTheCallersSpellingByLabelNotByteOffset) {
    // U+0130 is two bytes but lowercases to three, so byte offsets differ.
    const std::string name = "X\xC4\xB0.Example.CO.UK";
    const Match match = must_match(name);
    EXPECT_EQ(match.domain.lowered.size(), name.size() + 1);
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
    const Match match = must_match("a.b.example.co.uk");
    EXPECT_EQ(subdomain(match, 0, false), "example.co.uk");
    EXPECT_EQ(subdomain(match, 2, false), "a.b.example.co.uk");
    EXPECT_EQ(subdomain(match, 3, false), std::nullopt);
    EXPECT_EQ(subdomain(match, kMaxDepth, false), std::nullopt);
    EXPECT_EQ(subdomain(match, kMaxDepth - 1, false), std::nullopt);
}

TEST(Query, EntirelyPublicAndUnknownNames) {
    const Match public_name = must_match("co.uk");
    EXPECT_TRUE(is_public(public_name));
    EXPECT_FALSE(is_private(public_name));
    EXPECT_EQ(publicsuffix(public_name, false), "co.uk");
    EXPECT_EQ(privatesuffix(public_name, false), std::nullopt);
    EXPECT_EQ(privateparts(public_name, false), std::nullopt);
    EXPECT_EQ(subdomain(public_name, 0, false), std::nullopt);

    const Match unknown = must_match("example.unknowntld", Switches{false, false});
    EXPECT_EQ(unknown.public_length, 0u);
    EXPECT_FALSE(is_public(unknown));
    EXPECT_FALSE(is_private(unknown));
    EXPECT_EQ(publicsuffix(unknown, true), std::nullopt);
}

TEST(Query, InvalidNamesHaveNoMatch) {
    for (std::string_view name : {"", ".", "..", "a..b", "example.com..", ".com"}) {
        EXPECT_FALSE(match_domain(name, {}).has_value()) << name;
    }
}

TEST(Query, PrivatePartsSplitsEverySubdomainLabel) {
    const Match match = must_match("A.b.C.example.com");
    const std::optional<PrivateParts> parts = privateparts(match, true);
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->subdomains, "A.b.C");
    EXPECT_EQ(parts->subdomain_count, 3u);
    EXPECT_EQ(parts->private_suffix, "example.com");
}

}  // namespace
}  // namespace vexlo
