// The edge keys beside the compiled tables must be the keys of the labels
// they stand for, and the NUL proof that lets a key alone decide a probe must
// refuse a pool holding one.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "rules/edge_keys.h"
#include "rules/rule_trie.h"
#include "test_trie.h"

namespace vexlo {
namespace {

TEST(EdgeKeys, AreTheKeysOfTheCompiledLabels) {
    const RuleTrie& trie = compiled_rules();
    const auto keys = compiled_edge_keys();
    ASSERT_EQ(keys.size(), trie.edges.size());
    for (std::size_t e = 0; e < keys.size(); ++e) {
        const TrieEdge& edge = trie.edges[e];
        const std::string_view label =
            trie.label_pool.substr(edge.label_start, edge.label_end - edge.label_start);
        ASSERT_EQ(keys[e], trie_detail::label_key(label)) << "edge " << e;
    }
}

TEST(EdgeKeys, ConstantKeyMatchesTheRunTimeKey) {
    for (const std::string& label :
         {std::string(), std::string("a"), std::string("com"), std::string("abcdefgh"),
          std::string("abcdefghi"), std::string("\xc3\xa9t\xc3\xa9"), std::string("a\0b", 3),
          std::string("\xff\xff\xff\xff\xff\xff\xff\xff\xff")}) {
        EXPECT_EQ(constant_label_key(label), trie_detail::label_key(label)) << label;
    }
}

TEST(EdgeKeys, NulProofRefusesAPoolWithANul) {
    testing::TestTrie trie = testing::build_trie({{"a", RULE_ANY}, {"bb", RULE_ANY}});
    EXPECT_TRUE(labels_free_of_nul(trie.view()));
    EXPECT_TRUE(labels_free_of_nul(compiled_rules()));
    trie.pool[1] = '\0';
    EXPECT_FALSE(labels_free_of_nul(trie.view()));
}

// The search over keys finds, for runs of every length up to 70, the last key
// not greater than the one sought (the first when none is), reading only
// inside the run (a heap block of exactly its size, for the sanitized run).
TEST(SearchKeys, FindsTheLastKeyNotGreaterInRunsOfEveryLength) {
    for (std::size_t count = 1; count <= 70; ++count) {
        const std::unique_ptr<std::uint64_t[]> run(new std::uint64_t[count]);
        for (std::size_t i = 0; i < count; ++i) run[i] = 10 * (i + 1);
        for (std::uint64_t key = 0; key <= 10 * count + 15; ++key) {
            const std::uint64_t* found =
                trie_detail::search_keys(run.get(), count, key, trie_detail::EqualKeyIsNotGreater{});
            const std::uint64_t* last = std::upper_bound(run.get(), run.get() + count, key);
            const std::uint64_t* expected = last == run.get() ? run.get() : last - 1;
            ASSERT_EQ(found, expected) << "count " << count << " key " << key;
            // A tie that says "greater" makes an equal key count as greater.
            const std::uint64_t* strict = trie_detail::search_keys(
                run.get(), count, key, [](const std::uint64_t*) { return false; });
            const std::uint64_t* below = std::lower_bound(run.get(), run.get() + count, key);
            ASSERT_EQ(strict, below == run.get() ? run.get() : below - 1)
                << "count " << count << " key " << key;
        }
    }
}

}  // namespace
}  // namespace vexlo
