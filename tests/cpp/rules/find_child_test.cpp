// The child search over hand-built tables: every label found at every run
// length, probe counts that do not depend on the label, and the reader's checks.
#include <bit>
#include <climits>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/fault.h"
#include "rules/rule_trie.h"
#include "test_trie.h"

namespace vexlo {
namespace {

using testing::ProbeCounter;
using testing::TestTrie;
using testing::build_trie;

// Labels of uneven lengths and shared prefixes, so that both the eight-byte
// prefix and the full comparison decide some probes.
std::string sibling(int i) {
    static const char* const stems[] = {"a", "ab", "abcdefgh", "abcdefghij", "abcdefgi", "b",
                                        "\xc3\xa9t\xc3\xa9", "z9", "a-b", "abcdefghijklmnop"};
    return std::string(stems[i % 10]) + std::to_string(i / 10);
}

TestTrie root_with(int count) {
    std::vector<std::pair<std::string, std::uint8_t>> rules;
    for (int i = 0; i < count; ++i) rules.emplace_back(sibling(i), RULE_ANY);
    return build_trie(rules);
}

class RunLength : public ::testing::TestWithParam<int> {};

TEST_P(RunLength, FindsEverySiblingWithTheSameNumberOfProbes) {
    const int count = GetParam();
    const TestTrie built = root_with(count);
    const RuleTrie trie = built.view();
    ASSERT_EQ(trie.nodes[0].edge_count, count);
    const int expected_probes = std::bit_width(static_cast<unsigned>(count - 1));
    for (std::uint32_t e = 0; e < trie.edges.size(); ++e) {
        const std::string label(testing::edge_label(trie, e));
        ProbeCounter counter;
        const auto child = find_child_observed(trie, 0, label, counter);
        ASSERT_TRUE(child) << label;
        EXPECT_EQ(*child, e + 1) << label;
        EXPECT_EQ(counter.probes, expected_probes) << label;
        EXPECT_EQ(counter.final_compares, 1) << label;
    }
}

TEST_P(RunLength, AbsentLabelsCostTheSameAndAreNotFound) {
    const int count = GetParam();
    const TestTrie built = root_with(count);
    const RuleTrie trie = built.view();
    const int expected_probes = std::bit_width(static_cast<unsigned>(count - 1));
    // Before the first, after the last, between siblings, prefixes and
    // extensions of siblings, and a case variant.
    for (const std::string absent : {"", "0", "\xff", "ab", "abcdefg", "abcdefgh00", "abcdefghi",
                                     "A0", "a00", "\xc3\xa9", "abcdefghijklmno0", "zz"}) {
        if (absent == "ab" && count <= 1) continue;  // "ab0" is the only "ab" sibling
        ProbeCounter counter;
        EXPECT_FALSE(find_child_observed(trie, 0, absent, counter)) << absent;
        EXPECT_EQ(counter.probes, expected_probes) << absent;
        EXPECT_EQ(counter.final_compares, 1) << absent;
    }
}

INSTANTIATE_TEST_SUITE_P(Counts, RunLength,
                         ::testing::Values(1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 33, 100, 1024,
                                           1025, 1609, 2048));

TEST(FindChild, OneEdgeNodeMakesOnlyTheFinalComparison) {
    const TestTrie built = build_trie({{"co.uk", RULE_ANY}});
    const RuleTrie trie = built.view();
    ProbeCounter counter;
    EXPECT_EQ(find_child_observed(trie, 0, "uk", counter), 1u);
    EXPECT_EQ(counter.probes, 0);
    EXPECT_EQ(counter.final_compares, 1);
    ProbeCounter missing;
    EXPECT_FALSE(find_child_observed(trie, 1, "ac", missing));
    EXPECT_EQ(missing.probes, 0);
    EXPECT_EQ(missing.final_compares, 1);
}

TEST(FindChild, LeafHasNoChildAndComparesNothing) {
    const TestTrie built = build_trie({{"co.uk", RULE_ANY}});
    const RuleTrie trie = built.view();
    ASSERT_EQ(trie.nodes[2].edge_count, 0);
    ASSERT_EQ(trie.nodes[2].first_edge, trie.edges.size());  // the run ends the edge table
    ProbeCounter counter;
    EXPECT_FALSE(find_child_observed(trie, 2, "co", counter));
    EXPECT_FALSE(find_child_observed(trie, 2, "", counter));
    EXPECT_EQ(counter.probes + counter.final_compares, 0);
}

TEST(FindChild, NegativeChildIsNoChild) {
    TestTrie built = build_trie({{"a", RULE_ANY}, {"b", RULE_ANY}, {"c", RULE_ANY}});
    built.edges[1].child = -1;
    const RuleTrie trie = built.view();
    EXPECT_EQ(find_child(trie, 0, "a"), 1u);
    EXPECT_FALSE(find_child(trie, 0, "b"));
    EXPECT_EQ(find_child(trie, 0, "c"), 3u);
    built.edges[1].child = INT32_MIN;
    EXPECT_FALSE(find_child(built.view(), 0, "b"));
}

TEST(FindChild, ComparesBytesAsUnsigned) {
    // A byte >= 0x80 sorts after every ASCII byte (code-point order).
    const TestTrie built = build_trie({{"z", RULE_ANY}, {"\xc3\xa9", RULE_ANY}, {"a", RULE_ANY}});
    const RuleTrie trie = built.view();
    EXPECT_EQ(testing::edge_label(trie, 2), "\xc3\xa9");
    EXPECT_EQ(find_child(trie, 0, "\xc3\xa9"), 3u);
    EXPECT_EQ(find_child(trie, 0, "z"), 2u);
}

// ---------------------------------------------------------------- table checks

// Root runs a, bb, ccc, été (edges 0-3), node 1 (a) has the one child x;
// pool "abbccc" "\xc3\xa9t\xc3\xa9" "x" is 12 bytes, 6 nodes, 5 edges.
TestTrie sound_table() {
    return build_trie({{"a", RULE_ANY}, {"bb", RULE_ANY}, {"ccc", RULE_ANY},
                       {"\xc3\xa9t\xc3\xa9", RULE_ANY}, {"x.a", RULE_ANY}});
}

struct BrokenTable {
    const char* name;
    std::function<void(TestTrie&)> break_it;
    std::uint32_t node;
    std::string label;
    std::string message;
};

void PrintTo(const BrokenTable& c, std::ostream* out) { *out << c.name; }

class TableCheck : public ::testing::TestWithParam<BrokenTable> {};

TEST_P(TableCheck, RaisesFaultWithItsMessage) {
    const BrokenTable& c = GetParam();
    TestTrie built = sound_table();
    ASSERT_EQ(built.pool, "abbccc\xc3\xa9t\xc3\xa9x");
    ASSERT_NO_THROW(find_child(built.view(), c.node < 6 ? c.node : 5, c.label));
    c.break_it(built);
    try {
        find_child(built.view(), c.node, c.label);
        ADD_FAILURE() << "no fault";
    } catch (const Fault& fault) {
        EXPECT_EQ(fault.message(), c.message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Checks, TableCheck,
    ::testing::Values(
        BrokenTable{"RunPastTheEdgeTable", [](TestTrie& t) { t.nodes[1].first_edge = 5; }, 1, "x",
                    "rule trie: the edge run of node 1 (first_edge 5, edge_count 1) lies outside "
                    "the edge table of 5 edges"},
        BrokenTable{"RunWrappingThirtyTwoBits",
                    [](TestTrie& t) { t.nodes[0].first_edge = 0xFFFFFFFF; }, 0, "a",
                    "rule trie: the edge run of node 0 (first_edge 4294967295, edge_count 4) lies "
                    "outside the edge table of 5 edges"},
        BrokenTable{"EmptyRunPastTheEnd", [](TestTrie& t) { t.nodes[2].first_edge = 6; }, 2, "",
                    "rule trie: the edge run of node 2 (first_edge 6, edge_count 0) lies outside "
                    "the edge table of 5 edges"},
        BrokenTable{"LabelEndPastThePool", [](TestTrie& t) { t.edges[1].label_end = 13; }, 0, "bb",
                    "rule trie: the label of edge 1 (bytes 1 to 13) does not lie inside the label "
                    "pool of 12 bytes"},
        BrokenTable{"LabelStartAfterItsEnd",
                    [](TestTrie& t) { t.edges[1].label_start = 4, t.edges[1].label_end = 3; }, 0,
                    "bb",
                    "rule trie: the label of edge 1 (bytes 4 to 3) does not lie inside the label "
                    "pool of 12 bytes"},
        BrokenTable{"LabelStartInsideACharacter", [](TestTrie& t) { t.edges[3].label_start = 7; },
                    0, "\xc3\xa9t\xc3\xa9",
                    "rule trie: the label of edge 3 (bytes 7 to 11) does not fall on UTF-8 "
                    "character boundaries"},
        BrokenTable{"LabelEndInsideACharacter", [](TestTrie& t) { t.edges[3].label_end = 10; }, 0,
                    "\xc3\xa9t\xc3\xa9",
                    "rule trie: the label of edge 3 (bytes 6 to 10) does not fall on UTF-8 "
                    "character boundaries"},
        // The first probe at the root is edge 2, checked although "a" is elsewhere.
        BrokenTable{"ProbedLabelIsCheckedBeforeComparing",
                    [](TestTrie& t) { t.edges[2].label_end = 99; }, 0, "a",
                    "rule trie: the label of edge 2 (bytes 3 to 99) does not lie inside the label "
                    "pool of 12 bytes"},
        BrokenTable{"ChildPastTheNodeTable", [](TestTrie& t) { t.edges[0].child = 6; }, 0, "a",
                    "rule trie: child 6 of edge 0 is not below the node count 6"},
        BrokenTable{"NodePastTheNodeTable", [](TestTrie&) {}, 6, "a",
                    "rule trie: node 6 is not below the node count 6"},
        BrokenTable{"EmptyNodeTable", [](TestTrie& t) { t.nodes.clear(); }, 0, "a",
                    "rule trie: node 0 is not below the node count 0"}),
    [](const ::testing::TestParamInfo<BrokenTable>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vexlo
