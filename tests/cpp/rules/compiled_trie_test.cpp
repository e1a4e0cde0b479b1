// The tables compiled into the library: their layout as the walks rely on
// it, and the child search over them (the root's unrolled).
#include <bit>
#include <ostream>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "punycode.h"
#include "rules/child_search.h"
#include "rules/compiled_tables.h"
#include "test_trie.h"

namespace vexlo {
namespace {

using testing::ProbeCounter;
using testing::edge_label;
using testing::node_of;

constexpr std::string_view kSharedListChecksum =
    "fe6adc7fb8014f57d28d69b18d0aa3e581efb432544922e12131a5d4a87bd954";

RuleTrie rules() { return compiled_rules(); }

struct Search {
    std::int32_t child;
    int probes;
};

// The search of the walk over the compiled tables: unrolled at the root.
Search search(std::uint32_t node, std::string_view label) {
    ProbeCounter counter;
    const std::int32_t child = find_child<kCompiledRootEdgeCount>(
        compiled_tables(), node, label.data(), label.size(), label_key(label), counter);
    return {child, counter.probes};
}

bool compiled_from_shared_list() { return std::string_view(LIST_CHECKSUM) == kSharedListChecksum; }

TEST(CompiledTables, ChecksumIsSixtyFourLowercaseHexDigits) {
    const std::string_view checksum(LIST_CHECKSUM);
    ASSERT_EQ(checksum.size(), LIST_CHECKSUM_LENGTH);
    for (char c : checksum) EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')) << c;
}

TEST(CompiledTables, FiguresOfTheSharedList) {
    if (!compiled_from_shared_list()) GTEST_SKIP() << "compiled from another list than ../shared/psl";
    const RuleTrie t = rules();
    EXPECT_EQ(t.nodes.size(), 11103u);
    EXPECT_EQ(t.edges.size(), 11102u);
    EXPECT_EQ(t.label_pool.size(), 53051u);
    EXPECT_EQ(t.nodes[0].edge_count, 1609);
    for (std::size_t n = t.nodes.size() - 12; n < t.nodes.size(); ++n) {
        EXPECT_EQ(t.nodes[n].edge_count, 0);
        EXPECT_EQ(t.nodes[n].first_edge, 11102u);
    }
}

TEST(CompiledTables, LastNodeIsALeafWhoseRunEndsTheEdgeTable) {
    const RuleTrie t = rules();
    const auto last = static_cast<std::uint32_t>(t.nodes.size() - 1);
    ASSERT_EQ(t.nodes[last].edge_count, 0);
    ASSERT_EQ(t.nodes[last].first_edge, t.edges.size());
    for (const char* label : {"", "a", "com", "zzzz"}) {
        EXPECT_EQ(search(last, label).child, 0);
        EXPECT_EQ(search(last, label).probes, 0);
    }
}

struct RootSearch {
    const char* label;
    bool found;
};

void PrintTo(const RootSearch& s, std::ostream* out) { *out << ::testing::PrintToString(s.label); }

class RootLabel : public ::testing::TestWithParam<RootSearch> {};

TEST_P(RootLabel, FoundOrNotAsListed) {
    const std::int32_t child = search(0, GetParam().label).child;
    EXPECT_EQ(child != 0, GetParam().found);
    const auto expected = testing::reference_child(rules(), 0, GetParam().label);
    EXPECT_EQ(child, expected ? static_cast<std::int32_t>(*expected) : 0);
}

INSTANTIATE_TEST_SUITE_P(
    PrefixesAndCase, RootLabel,
    ::testing::Values(RootSearch{"ac", true}, RootSearch{"academy", true},
                      RootSearch{"acade", false},  // prefix of a sibling
                      RootSearch{"abbx", false},   // a sibling (abb) is its prefix
                      RootSearch{"abb", true}, RootSearch{"a", false}, RootSearch{"", false},
                      RootSearch{"uk", true}, RootSearch{"UK", false}, RootSearch{"Uk", false},
                      RootSearch{"COM", false}, RootSearch{"com.", false},
                      RootSearch{"\xe4\xb8\xad\xe5\x9b\xbd", true},  // 中国
                      RootSearch{"xn--fiqs8s", true}, RootSearch{"XN--FIQS8S", false},
                      RootSearch{"za", true}, RootSearch{"zzzzzz", false},
                      RootSearch{"\xff", false},
                      // Siblings sharing their first eight bytes.
                      RootSearch{"accountant", true}, RootSearch{"accountants", true},
                      RootSearch{"accountan", false}, RootSearch{"accountantz", false},
                      RootSearch{"accountantss", false}, RootSearch{"accounta", false}));

// The same number of probes for the first label, the last, and absent ones
// all around them: 11 for a root of 1,025 to 2,048 labels.
TEST(RootProbes, DependOnlyOnTheRootsWidth) {
    const RuleTrie t = rules();
    const std::uint16_t width = t.nodes[0].edge_count;
    ASSERT_EQ(width, kCompiledRootEdgeCount);
    const int expected = static_cast<int>(std::bit_width(static_cast<unsigned>(width - 1)));
    if (compiled_from_shared_list()) {
        EXPECT_EQ(expected, 11);
    }
    const std::string first(edge_label(t, 0));
    const std::string last(edge_label(t, width - 1));
    for (const std::string& label :
         {first, last, std::string(edge_label(t, width / 2)), std::string(""), std::string("0"),
          first + "0", last + "z", std::string("\xf4\x8f\xbf\xbf"), std::string("mzzzz")}) {
        EXPECT_EQ(search(0, label).probes, expected) << label;
    }
}

TEST(CompiledTables, OneEdgeNodeMakesNoProbe) {
    const RuleTrie t = rules();
    std::uint32_t node = 1;
    while (node < t.nodes.size() && t.nodes[node].edge_count != 1) ++node;
    ASSERT_LT(node, t.nodes.size());
    const std::string only(edge_label(t, t.nodes[node].first_edge));
    for (const std::string& label : {only, only + "x", std::string("0")}) {
        EXPECT_EQ(search(node, label).child != 0, label == only);
        EXPECT_EQ(search(node, label).probes, 0);
    }
}

// Each internationalised top-level label and its "xn--" form are two children
// of the root with the same flags.
TEST(CompiledTables, InternationalisedTopLevelLabelsHaveTwins) {
    const RuleTrie t = rules();
    int non_ascii = 0;
    for (std::uint32_t e = 0; e < t.nodes[0].edge_count; ++e) {
        const std::string_view label = edge_label(t, e);
        if (testing::is_ascii(label)) continue;
        ++non_ascii;
        const std::string ace = *testing::other_spelling(label);
        const auto twin = testing::reference_child(t, 0, ace);
        ASSERT_TRUE(twin) << ace;
        EXPECT_NE(*twin, e + 1);
        EXPECT_EQ(t.nodes[*twin].flags, t.nodes[e + 1].flags) << ace;
    }
    EXPECT_GT(non_ascii, 100);
    if (compiled_from_shared_list()) {
        EXPECT_EQ(non_ascii, 160);
    }
}

TEST(CompiledTables, InnerNodeWithoutRulesKeepsFlagsZero) {
    const RuleTrie t = rules();
    const auto za = node_of(t, "za");
    ASSERT_GE(za, 0);
    EXPECT_EQ(t.nodes[za].flags, 0);
    const auto co_za = node_of(t, "co.za");
    ASSERT_GE(co_za, 0);
    EXPECT_EQ(t.nodes[co_za].flags, RULE_ANY | RULE_ICANN);
    EXPECT_GE(node_of(t, "ac.za"), 0);
}

}  // namespace
}  // namespace vexlo
