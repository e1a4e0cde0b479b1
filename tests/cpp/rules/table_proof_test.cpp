// passes_reader_checks, which lets the walk over the compiled tables skip the
// child search's checks, must refuse every table that one of those checks
// would fault on, and pass the compiled tables.
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "common/fault.h"
#include "rules/public_suffix.h"
#include "rules/table_proof.h"
#include "test_trie.h"

namespace vexlo {
namespace {

using testing::build_trie;
using testing::TestTrie;

// Root run a, bb, ccc, été (edges 0-3); node 1 (a) has the child x.
TestTrie sound_table() {
    return build_trie({{"a", RULE_ANY}, {"bb", RULE_ANY}, {"ccc", RULE_ANY},
                       {"\xc3\xa9t\xc3\xa9", RULE_ANY}, {"x.a", RULE_ANY}});
}

TEST(TableProof, PassesSoundAndCompiledTables) {
    EXPECT_TRUE(passes_reader_checks(sound_table().view()));
    EXPECT_TRUE(passes_reader_checks(compiled_rules()));
}

struct Breakage {
    const char* name;
    std::function<void(TestTrie&)> apply;
};

class TableProofRefuses : public ::testing::TestWithParam<Breakage> {};

// Each breakage also makes some search fault, so the proof and the checks agree.
TEST_P(TableProofRefuses, WhatTheSearchWouldFaultOn) {
    TestTrie built = sound_table();
    GetParam().apply(built);
    EXPECT_FALSE(passes_reader_checks(built.view()));
    bool faulted = false;
    for (std::uint32_t node = 0; node < built.nodes.size() && !faulted; ++node) {
        for (const char* label : {"a", "bb", "ccc", "\xc3\xa9t\xc3\xa9", "x", ""}) {
            try {
                find_child(built.view(), node, label);
            } catch (const Fault&) {
                faulted = true;
            }
        }
    }
    EXPECT_TRUE(faulted || built.nodes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Breakages, TableProofRefuses,
    ::testing::Values(
        Breakage{"RunPastTheEdgeTable", [](TestTrie& t) { t.nodes[1].first_edge = 5; }},
        Breakage{"RunWrappingThirtyTwoBits", [](TestTrie& t) { t.nodes[0].first_edge = 0xFFFFFFFF; }},
        Breakage{"EmptyRunPastTheEnd", [](TestTrie& t) { t.nodes[2].first_edge = 6; }},
        Breakage{"LabelEndPastThePool", [](TestTrie& t) { t.edges[1].label_end = 13; }},
        Breakage{"LabelStartAfterItsEnd",
                 [](TestTrie& t) { t.edges[1].label_start = 4, t.edges[1].label_end = 3; }},
        Breakage{"LabelStartInsideACharacter", [](TestTrie& t) { t.edges[3].label_start = 7; }},
        Breakage{"LabelEndInsideACharacter", [](TestTrie& t) { t.edges[3].label_end = 10; }},
        Breakage{"ChildPastTheNodeTable", [](TestTrie& t) { t.edges[0].child = 6; }},
        Breakage{"EmptyNodeTable", [](TestTrie& t) { t.nodes.clear(); }}),
    [](const ::testing::TestParamInfo<Breakage>& info) { return std::string(info.param.name); });

TEST(TableProof, NegativeChildIsNoFault) {
    TestTrie built = sound_table();
    built.edges[2].child = -1;
    EXPECT_TRUE(passes_reader_checks(built.view()));
}

}  // namespace
}  // namespace vexlo
