// The child search over proven hand-built tables: every label found at every
// run length, probe counts that do not depend on the label, siblings that
// share their first eight bytes, and the search over keys on its own.
#include <algorithm>
#include <bit>
#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "rules/child_search.h"
#include "test_trie.h"

namespace vexlo {
namespace {

using testing::build_trie;
using testing::ProbeCounter;

struct Search {
    std::int32_t child;
    int probes;
};

Search search(const RuleTables& tables, std::uint32_t node, std::string_view label) {
    ProbeCounter counter;
    const std::int32_t child =
        find_child(tables, node, label.data(), label.size(), label_key(label), counter);
    return {child, counter.probes};
}

// The child that the reference search finds, 0 for none.
std::int32_t expected_child(const RuleTrie& trie, std::uint32_t node, std::string_view label) {
    const auto child = testing::reference_child(trie, node, label);
    return child ? static_cast<std::int32_t>(*child) : 0;
}

// Labels of uneven lengths and shared prefixes, so that both the eight-byte
// key and the bytes past it decide some searches.
std::string sibling(int i) {
    static const char* const stems[] = {"a", "ab", "abcdefgh", "abcdefghij", "abcdefgi", "b",
                                        "\xc3\xa9t\xc3\xa9", "z9", "a-b", "abcdefghijklmnop"};
    return std::string(stems[i % 10]) + std::to_string(i / 10);
}

testing::TestTrie root_with(int count) {
    std::vector<std::pair<std::string, std::uint8_t>> rules;
    for (int i = 0; i < count; ++i) rules.emplace_back(sibling(i), RULE_ANY);
    return build_trie(rules);
}

class RunLength : public ::testing::TestWithParam<int> {};

TEST_P(RunLength, FindsEverySiblingWithTheSameNumberOfProbes) {
    const int count = GetParam();
    const OwnedTables proven = testing::prove(root_with(count));
    const RuleTrie trie = proven.tables().trie();
    ASSERT_EQ(trie.nodes[0].edge_count, count);
    const int expected_probes = static_cast<int>(std::bit_width(static_cast<unsigned>(count - 1)));
    for (std::uint32_t e = 0; e < trie.edges.size(); ++e) {
        const std::string label(testing::edge_label(trie, e));
        const Search found = search(proven.tables(), 0, label);
        EXPECT_EQ(found.child, static_cast<std::int32_t>(e + 1)) << label;
        EXPECT_EQ(found.probes, expected_probes) << label;
    }
}

TEST_P(RunLength, AbsentLabelsCostTheSameAndAreNotFound) {
    const int count = GetParam();
    const OwnedTables proven = testing::prove(root_with(count));
    const int expected_probes = static_cast<int>(std::bit_width(static_cast<unsigned>(count - 1)));
    // Before the first, after the last, between siblings, prefixes and
    // extensions of siblings, a NUL past a sibling, and a case variant.
    for (const std::string& absent :
         {std::string(), std::string("0"), std::string("\xff"), std::string("abcdefg"),
          std::string("abcdefgh00"), std::string("abcdefghi"), std::string("A0"), std::string("a00"),
          std::string("\xc3\xa9"), std::string("abcdefghijklmno0"), std::string("zz"),
          std::string("a0\0", 3), std::string("abcdefgh0\0", 10)}) {
        if (absent == "ab" && count <= 1) continue;
        const Search found = search(proven.tables(), 0, absent);
        EXPECT_EQ(found.child, 0) << absent;
        EXPECT_EQ(found.probes, expected_probes) << absent;
    }
}

INSTANTIATE_TEST_SUITE_P(Counts, RunLength,
                         ::testing::Values(1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 33, 100, 1024,
                                           1025, 1609, 2048));

// Siblings whose keys are equal (the same first eight bytes: accountant,
// accountants) are told apart by their bytes: each is found, and labels
// that only share their key with some are not, for any number of them, of
// every length past eight.
class EqualKeys : public ::testing::TestWithParam<int> {};

TEST_P(EqualKeys, AreToldApartByTheirBytes) {
    const int count = GetParam();
    std::vector<std::pair<std::string, std::uint8_t>> rules = {
        {"accountant", RULE_ANY}, {"accountants", RULE_ANY}, {"abcdefg", RULE_ANY},
        {"abcdefgi", RULE_ANY},   {"abcdefgg1", RULE_ANY},   {"b", RULE_ANY}};
    std::vector<std::string> probes = {"accountant", "accountants", "accountan", "accountantz",
                                       "accountantss", "abcdefgh", "abcdefg", "abcdefgh\xff",
                                       std::string("abcdefgh\0", 9)};
    for (int i = 0; i < count; ++i) {
        // Labels of 9 to 60 bytes: tails of one word, and longer.
        const std::string label = "abcdefgh" + std::to_string(i) + std::string(i % 50, 'q');
        rules.emplace_back(label, RULE_ANY);
        probes.push_back(label);
        probes.push_back(label.substr(0, label.size() - 1));
        probes.push_back(label + "q");
        probes.push_back(label.substr(0, label.size() - 1) + "r");
    }
    const OwnedTables proven = testing::prove(build_trie(rules));
    int found = 0;
    for (const std::string& label : probes) {
        const std::int32_t want = expected_child(proven.tables().trie(), 0, label);
        ASSERT_EQ(search(proven.tables(), 0, label).child, want) << label;
        found += want != 0;
    }
    EXPECT_GE(found, count + 2);
}

INSTANTIATE_TEST_SUITE_P(Siblings, EqualKeys, ::testing::Values(1, 2, 3, 8, 100, 1000));

TEST(FindChild, OneEdgeNodeMakesNoProbe) {
    const OwnedTables proven = testing::prove(build_trie({{"co.uk", RULE_ANY}}));
    EXPECT_EQ(search(proven.tables(), 0, "uk").child, 1);
    EXPECT_EQ(search(proven.tables(), 0, "uk").probes, 0);
    EXPECT_EQ(search(proven.tables(), 1, "ac").child, 0);
    EXPECT_EQ(search(proven.tables(), 1, "ac").probes, 0);
}

TEST(FindChild, LeafHasNoChildAndMakesNoProbe) {
    const OwnedTables proven = testing::prove(build_trie({{"co.uk", RULE_ANY}}));
    ASSERT_EQ(proven.tables().trie().nodes[2].edge_count, 0);
    ASSERT_EQ(proven.tables().trie().nodes[2].first_edge, proven.tables().trie().edges.size());  // its run ends the table
    for (const char* label : {"co", ""}) {
        EXPECT_EQ(search(proven.tables(), 2, label).child, 0);
        EXPECT_EQ(search(proven.tables(), 2, label).probes, 0);
    }
}

TEST(FindChild, NegativeChildIsNoChild) {
    testing::TestTrie built = build_trie({{"a", RULE_ANY}, {"b", RULE_ANY}, {"c", RULE_ANY}});
    built.edges[1].child = -1;
    const OwnedTables proven = testing::prove(built);
    EXPECT_EQ(search(proven.tables(), 0, "a").child, 1);
    EXPECT_EQ(search(proven.tables(), 0, "b").child, 0);
    EXPECT_EQ(search(proven.tables(), 0, "c").child, 3);
    built.edges[1].child = INT32_MIN;
    const OwnedTables lowest = testing::prove(built);
    EXPECT_EQ(search(lowest.tables(), 0, "b").child, 0);
}

TEST(FindChild, ComparesBytesAsUnsigned) {
    // A byte >= 0x80 sorts after every ASCII byte (code-point order).
    const OwnedTables proven =
        testing::prove(build_trie({{"z", RULE_ANY}, {"\xc3\xa9", RULE_ANY}, {"a", RULE_ANY}}));
    EXPECT_EQ(testing::edge_label(proven.tables().trie(), 2), "\xc3\xa9");
    EXPECT_EQ(search(proven.tables(), 0, "\xc3\xa9").child, 3);
    EXPECT_EQ(search(proven.tables(), 0, "z").child, 2);
}

// The search over keys finds the last key not greater than the one sought
// (the first when none is), reading only inside the run (a heap block of
// exactly its size, for the sanitized run), in bit_width(count - 1) probes;
// the unrolled search for a length known when compiling, alike.
std::unique_ptr<std::uint64_t[]> run_of(std::size_t count) {
    std::unique_ptr<std::uint64_t[]> run(new std::uint64_t[count]);
    for (std::size_t i = 0; i < count; ++i) run[i] = 10 * (i + 1);
    return run;
}

const std::uint64_t* last_not_greater(const std::uint64_t* run, std::size_t count, std::uint64_t key) {
    const std::uint64_t* after = std::upper_bound(run, run + count, key);
    return after == run ? run : after - 1;
}

TEST(SearchKeys, FindsTheLastKeyNotGreaterInRunsOfEveryLength) {
    for (std::size_t count = 1; count <= 70; ++count) {
        const auto run = run_of(count);
        for (std::uint64_t key = 0; key <= 10 * count + 15; ++key) {
            ProbeCounter counter;
            ASSERT_EQ(search_keys(run.get(), count, key, counter), last_not_greater(run.get(), count, key))
                << "count " << count << " key " << key;
            ASSERT_EQ(counter.probes, static_cast<int>(std::bit_width(count - 1))) << "count " << count;
        }
    }
}

template <std::size_t kCount>
void expect_fixed_search() {
    const auto run = run_of(kCount);
    for (std::uint64_t key = 0; key <= 10 * kCount + 15; ++key) {
        ProbeCounter counter;
        ASSERT_EQ(search_keys_fixed<kCount>(run.get(), key, counter), last_not_greater(run.get(), kCount, key))
            << "count " << kCount << " key " << key;
        ASSERT_EQ(counter.probes, static_cast<int>(std::bit_width(kCount - 1))) << "count " << kCount;
    }
}

template <std::size_t... kCounts>
void expect_fixed_searches(std::index_sequence<kCounts...>) {
    (expect_fixed_search<kCounts + 1>(), ...);
}

TEST(SearchKeysFixed, FindsWhatTheLoopFinds) {
    expect_fixed_searches(std::make_index_sequence<40>());
    expect_fixed_search<1609>();
}

}  // namespace
}  // namespace vexlo
