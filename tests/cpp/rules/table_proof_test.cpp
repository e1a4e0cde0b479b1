// The proof that lets the walks read tables without a check per probe: every
// breakage of a sound table is refused with the Fault that names it, by
// proven_tables and by the owner of tables built at run time alike; the
// sound and the compiled tables pass.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "common/fault.h"
#include "rules/compiled_tables.h"
#include "rules/label_key.h"
#include "rules/owned_tables.h"
#include "rules/table_proof.h"
#include "test_trie.h"

namespace vexlo {
namespace {

using testing::build_trie;
using testing::TestTrie;

// Root run a, bb, ccc, été (edges 0-3); node 1 (a) has the child x (edge 4).
// Pool "abbccc" "\xc3\xa9t\xc3\xa9" "x": 12 bytes; 6 nodes, 5 edges.
TestTrie sound_table() {
    return build_trie({{"a", RULE_ANY}, {"bb", RULE_ANY}, {"ccc", RULE_ANY},
                       {"\xc3\xa9t\xc3\xa9", RULE_ANY}, {"x.a", RULE_ANY}});
}

// The key of every edge's label, in edge order.
std::vector<std::uint64_t> keys_of(const RuleTrie& trie) {
    std::vector<std::uint64_t> keys;
    for (std::uint32_t e = 0; e < trie.edges.size(); ++e) {
        keys.push_back(label_key(testing::edge_label(trie, e)));
    }
    return keys;
}

TEST(TableProof, PassesSoundAndCompiledTables) {
    const TestTrie sound = sound_table();
    ASSERT_EQ(sound.pool, "abbccc\xc3\xa9t\xc3\xa9x");
    EXPECT_FALSE(check_tables(sound.view(), keys_of(sound.view())));
    const RuleTables& compiled = compiled_tables();
    EXPECT_FALSE(check_tables(compiled_rules(), {compiled.keys, compiled.edge_count}));
}

TEST(TableProof, NegativeChildIsNoFault) {
    TestTrie built = sound_table();
    built.edges[2].child = -1;
    EXPECT_NO_THROW(proven_tables(built.view(), keys_of(built.view())));
}

struct Breakage {
    const char* name;
    std::function<void(TestTrie&, std::vector<std::uint64_t>&)> apply;
    std::string message;
    bool of_keys = false;  // the keys are wrong, not the tables: an owner makes its own
};

class Broken : public ::testing::TestWithParam<Breakage> {};

TEST_P(Broken, IsRefusedWithItsFault) {
    TestTrie built = sound_table();
    std::vector<std::uint64_t> keys = keys_of(built.view());
    GetParam().apply(built, keys);
    try {
        proven_tables(built.view(), keys);
        ADD_FAILURE() << "no fault";
    } catch (const Fault& fault) {
        EXPECT_EQ(fault.message(), GetParam().message);
    }
    if (GetParam().of_keys) return;
    try {
        const OwnedTables owned(built.nodes, built.edges, built.pool);
        ADD_FAILURE() << "no fault from the owner";
    } catch (const Fault& fault) {
        EXPECT_EQ(fault.message(), GetParam().message);
    }
}

using Keys = std::vector<std::uint64_t>;

INSTANTIATE_TEST_SUITE_P(
    Checks, Broken,
    ::testing::Values(
        Breakage{"EmptyNodeTable", [](TestTrie& t, Keys&) { t.nodes.clear(); },
                 "rule trie: the node table is empty (no root)"},
        Breakage{"FewerKeysThanEdges", [](TestTrie&, Keys& k) { k.pop_back(); },
                 "rule trie: there are not as many label keys as edges", true},
        Breakage{"RunPastTheEdgeTable", [](TestTrie& t, Keys&) { t.nodes[1].first_edge = 5; },
                 "rule trie: the edge run of node 1 (first_edge 5, edge_count 1) lies outside "
                 "the edge table of 5 edges"},
        Breakage{"RunWrappingThirtyTwoBits", [](TestTrie& t, Keys&) { t.nodes[0].first_edge = 0xFFFFFFFF; },
                 "rule trie: the edge run of node 0 (first_edge 4294967295, edge_count 4) lies "
                 "outside the edge table of 5 edges"},
        Breakage{"EmptyRunPastTheEnd", [](TestTrie& t, Keys&) { t.nodes[2].first_edge = 6; },
                 "rule trie: the edge run of node 2 (first_edge 6, edge_count 0) lies outside "
                 "the edge table of 5 edges"},
        Breakage{"LabelEndPastThePool", [](TestTrie& t, Keys&) { t.edges[1].label_end = 13; },
                 "rule trie: the label of edge 1 (bytes 1 to 13) does not lie inside the label "
                 "pool of 12 bytes"},
        Breakage{"LabelStartAfterItsEnd",
                 [](TestTrie& t, Keys&) { t.edges[1].label_start = 4, t.edges[1].label_end = 3; },
                 "rule trie: the label of edge 1 (bytes 4 to 3) does not lie inside the label "
                 "pool of 12 bytes"},
        Breakage{"LabelStartInsideACharacter", [](TestTrie& t, Keys&) { t.edges[3].label_start = 7; },
                 "rule trie: the label of edge 3 (bytes 7 to 11) does not fall on UTF-8 "
                 "character boundaries"},
        Breakage{"LabelEndInsideACharacter", [](TestTrie& t, Keys&) { t.edges[3].label_end = 10; },
                 "rule trie: the label of edge 3 (bytes 6 to 10) does not fall on UTF-8 "
                 "character boundaries"},
        Breakage{"LabelOfSixtyFourBytes",
                 [](TestTrie& t, Keys&) {
                     t.pool += std::string(63, 'x');
                     t.edges[4].label_end = 75;
                 },
                 "rule trie: the label of edge 4 (bytes 11 to 75) is longer than 63 bytes"},
        Breakage{"LabelHoldingANul", [](TestTrie& t, Keys&) { t.pool[2] = '\0'; },
                 "rule trie: the label of edge 1 (bytes 1 to 3) holds a NUL byte"},
        Breakage{"KeyOfAnotherLabel", [](TestTrie&, Keys& k) { k[2] = k[1]; },
                 "rule trie: the key of edge 2 is not its label's", true},
        Breakage{"ChildPastTheNodeTable", [](TestTrie& t, Keys&) { t.edges[0].child = 6; },
                 "rule trie: child 6 of edge 0 is not below the node count 6"},
        Breakage{"ChildIsTheRoot", [](TestTrie& t, Keys&) { t.edges[4].child = 0; },
                 "rule trie: edge 4 leads back to the root"},
        Breakage{"RunWithATwin",
                 [](TestTrie& t, Keys& k) {
                     t.edges[2].label_start = 1, t.edges[2].label_end = 3, k[2] = k[1];
                 },
                 "rule trie: the label of edge 2 does not sort after the one before it in its "
                 "node's run"},
        Breakage{"RunOutOfOrder",
                 [](TestTrie& t, Keys& k) {
                     std::swap(t.edges[0], t.edges[3]);
                     std::swap(k[0], k[3]);
                 },
                 "rule trie: the label of edge 1 does not sort after the one before it in its "
                 "node's run"}),
    [](const ::testing::TestParamInfo<Breakage>& info) { return std::string(info.param.name); });

// The listed spellings of twin-only rule nodes: "\xc3\xa9t\xc3\xa9" for
// nodes 2 and 5, as a sound set.
struct SpellingCase {
    const char* name;
    std::vector<ListedSpelling> entries;
    std::string message;  // empty: sound
};

class Spellings : public ::testing::TestWithParam<SpellingCase> {};

TEST_P(Spellings, AreCheckedWithTheTables) {
    const std::string text = "\xc3\xa9t\xc3\xa9";
    TestTrie built = sound_table();
    const SpellingCase& c = GetParam();
    try {
        const OwnedTables owned(built.nodes, built.edges, built.pool, c.entries, text);
        EXPECT_EQ(c.message, "") << "no fault";
        EXPECT_EQ(owned.tables().listed_spellings().entries.size(), c.entries.size());
    } catch (const Fault& fault) {
        EXPECT_EQ(fault.message(), c.message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Checks, Spellings,
    ::testing::Values(
        SpellingCase{"Sound", {{2, 0, 5}, {5, 0, 2}}, ""},
        SpellingCase{"None", {}, ""},
        SpellingCase{"ForTheRoot", {{0, 0, 5}},
                     "rule trie: listed spelling 0 is for the root or a node past the last"},
        SpellingCase{"PastTheLastNode", {{6, 0, 5}},
                     "rule trie: listed spelling 0 is for the root or a node past the last"},
        SpellingCase{"Unsorted", {{5, 0, 5}, {2, 0, 5}},
                     "rule trie: listed spelling 1 is not for a later node than the one before it"},
        SpellingCase{"TwiceForOneNode", {{2, 0, 5}, {2, 0, 5}},
                     "rule trie: listed spelling 1 is not for a later node than the one before it"},
        SpellingCase{"Empty", {{2, 3, 3}}, "rule trie: listed spelling 0 is empty or lies outside its text"},
        SpellingCase{"PastTheText", {{2, 0, 6}},
                     "rule trie: listed spelling 0 is empty or lies outside its text"},
        SpellingCase{"InsideACharacter", {{2, 1, 5}},
                     "rule trie: listed spelling 0 does not fall on UTF-8 character boundaries"}),
    [](const ::testing::TestParamInfo<SpellingCase>& info) { return std::string(info.param.name); });

// More nodes than a child index (31 bits) can name. The sizes are all that
// the check reads before it refuses, so the span need not be backed.
TEST(TableProof, RefusesTablesTooLargeForTheirIndexes) {
    const TestTrie sound = sound_table();
    RuleTrie huge = sound.view();
    huge.nodes = {sound.nodes.data(), std::size_t{0x80000001}};
    const std::optional<TableFault> fault = check_tables(huge, keys_of(sound.view()));
    ASSERT_TRUE(fault);
    EXPECT_EQ(fault->kind, TableFault::Kind::kTooLarge);
    EXPECT_EQ(describe(*fault, huge),
              "rule trie: 2147483649 nodes and 5 edges are more than 32-bit indexes can address");
}

}  // namespace
}  // namespace vexlo
