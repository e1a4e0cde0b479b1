// The walk: the documented examples over the compiled list under every switch
// setting, the private-section cases, and rule combinations the list lacks
// over hand-built tables.
#include <cctype>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/dots.h"
#include "rules/compiled_tables.h"
#include "rules/public_suffix.h"
#include "test_trie.h"

namespace vexlo {
namespace {

using testing::count_labels;

// Expected lengths for (accept_unknown, icann_only) =
// (true, false), (true, true), (false, false), (false, true).
struct Example {
    const char* name;
    std::size_t expected[4];
};

void PrintTo(const Example& e, std::ostream* out) { *out << e.name; }

std::string example_name(const ::testing::TestParamInfo<Example>& info) {
    std::string name = std::to_string(info.index) + "_";
    for (const char* c = info.param.name; *c; ++c) {
        name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
    }
    return name;
}

std::size_t walk(std::string_view name, bool accept_unknown, bool icann_only,
                 const RuleTables& tables = compiled_tables()) {
    return public_suffix_length(tables, name, dot_bitmap(name.data(), name.size()), count_labels(name),
                                Switches{accept_unknown, icann_only});
}

class CompiledList : public ::testing::TestWithParam<Example> {};

TEST_P(CompiledList, LengthUnderEverySwitchSetting) {
    const Example& e = GetParam();
    EXPECT_EQ(walk(e.name, true, false), e.expected[0]) << "defaults";
    EXPECT_EQ(walk(e.name, true, true), e.expected[1]) << "icann_only";
    EXPECT_EQ(walk(e.name, false, false), e.expected[2]) << "accept_unknown false";
    EXPECT_EQ(walk(e.name, false, true), e.expected[3]) << "both switched";
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, CompiledList,
    ::testing::Values(
        Example{"shop.example.co.uk", {2, 2, 2, 2}}, Example{"co.uk", {2, 2, 2, 2}},
        Example{"example.uk", {1, 1, 1, 1}}, Example{"uk", {1, 1, 1, 1}},
        Example{"shop.city.kawasaki.jp", {2, 2, 2, 2}}, Example{"city.kawasaki.jp", {2, 2, 2, 2}},
        Example{"a.b.kawasaki.jp", {3, 3, 3, 3}}, Example{"b.kawasaki.jp", {3, 3, 3, 3}},
        Example{"kawasaki.jp", {2, 2, 2, 2}}, Example{"jp", {1, 1, 1, 1}},
        Example{"x.nom.br", {3, 3, 3, 3}}, Example{"a.b.sch.uk", {3, 3, 3, 3}},
        Example{"test.ck", {2, 2, 2, 2}}, Example{"ck", {1, 1, 1, 1}},
        Example{"shop.example.co.za", {2, 2, 2, 2}}, Example{"example.za", {1, 1, 0, 0}},
        Example{"shop.example.test", {1, 1, 0, 0}}, Example{"localhost", {1, 1, 0, 0}},
        Example{"\xe5\x85\xac\xe5\x8f\xb8.cn", {2, 2, 2, 2}},  // 公司.cn
        Example{"xn--55qx5d.cn", {2, 2, 2, 2}}),
    example_name);

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, CompiledList,
    ::testing::Values(
        // Labels left of where the walk stopped change nothing.
        Example{"x.y.example.co.uk", {2, 2, 2, 2}}, Example{"example.co.uk", {2, 2, 2, 2}},
        Example{"a.b.c.d.e.f.g.h.i.j.example.co.uk", {2, 2, 2, 2}},
        Example{"za", {1, 1, 0, 0}}, Example{"nosuchtoplabel", {1, 1, 0, 0}},
        Example{"a.b.nosuchtoplabel", {1, 1, 0, 0}},
        // No case folding, no other dot than U+002E.
        Example{"CO.UK", {1, 1, 0, 0}}, Example{"example\xef\xbc\x8e" "co.uk", {1, 1, 1, 1}},
        Example{"www.ck", {1, 1, 1, 1}}, Example{"a.www.ck", {1, 1, 1, 1}}),
    example_name);

// Private-section rules present in both the pinned list and Debian's list.
// R: two labels, nothing below, top-level label an ICANN rule. W: a two-label
// private wildcard node under an ICANN top-level rule.
class PrivateRule : public ::testing::TestWithParam<const char*> {};
class PrivateWildcard : public ::testing::TestWithParam<const char*> {};

void expect_private_rule_cases(const std::string& r) {
    for (bool accept_unknown : {true, false}) {
        EXPECT_EQ(walk(r, accept_unknown, false), 2u) << r;
        EXPECT_EQ(walk(r, accept_unknown, true), 1u) << r;
        EXPECT_EQ(walk("host." + r, accept_unknown, false), 2u) << r;
        EXPECT_EQ(walk("host." + r, accept_unknown, true), 1u) << r;
        EXPECT_EQ(walk("a.b.c." + r, accept_unknown, false), 2u) << r;
        EXPECT_EQ(walk("a.b.c." + r, accept_unknown, true), 1u) << r;
    }
}

void expect_private_wildcard_cases(const std::string& w) {
    for (bool accept_unknown : {true, false}) {
        EXPECT_EQ(walk("a.b." + w, accept_unknown, false), 3u) << w;
        EXPECT_EQ(walk("a.b." + w, accept_unknown, true), 1u) << w;
        EXPECT_EQ(walk("b." + w, accept_unknown, false), 3u) << w;
        EXPECT_EQ(walk(w, accept_unknown, false), 2u) << w;
        EXPECT_EQ(walk(w, accept_unknown, true), 1u) << w;
    }
}

TEST_P(PrivateRule, GivesTwoByDefaultAndTheTopLevelLabelWithIcannOnly) {
    expect_private_rule_cases(GetParam());
}

TEST_P(PrivateWildcard, GivesOneBelowItByDefaultAndTheTopLevelLabelWithIcannOnly) {
    expect_private_wildcard_cases(GetParam());
}

INSTANTIATE_TEST_SUITE_P(Listed, PrivateRule, ::testing::Values("123website.nl", "2038.io", "4u.com"));
INSTANTIATE_TEST_SUITE_P(Listed, PrivateWildcard,
                         ::testing::Values("compute.estate", "stolos.io", "digitaloceanspaces.com"));

// Every R and W that the compiled list holds.
TEST(PrivateSection, EveryQualifyingNodeOfTheCompiledList) {
    const RuleTrie t = compiled_rules();
    const auto names = testing::node_names(t);
    int rules = 0;
    int wildcards = 0;
    for (std::uint32_t n = 1; n < t.nodes.size(); ++n) {
        if (names[n].depth != 2 || !(t.nodes[names[n].parent].flags & RULE_ICANN)) continue;
        if (t.nodes[n].flags == RULE_ANY && t.nodes[n].edge_count == 0) {
            ++rules;
            expect_private_rule_cases(names[n].name);
        } else if (t.nodes[n].flags == WILDCARD_ANY) {
            ++wildcards;
            expect_private_wildcard_cases(names[n].name);
        }
    }
    EXPECT_GT(rules, 1000);
    EXPECT_GT(wildcards, 40);
}

// ---------------------------------------------------------------- hand-built tables

constexpr std::uint8_t kIcannRule = RULE_ANY | RULE_ICANN;

testing::TestTrie combinations() {
    return testing::build_trie({
        {"test", kIcannRule},
        {"wc.test", WILDCARD_ANY | RULE_ANY},                    // wildcard and rule on one node
        {"ex.test", EXCEPTION_ANY | WILDCARD_ANY | RULE_ANY},    // all three on one node
        {"top", EXCEPTION_ANY | EXCEPTION_ICANN},                // exception right below the root
        {"excl.deep", EXCEPTION_ANY | EXCEPTION_ICANN},
        {"x.excl.deep", RULE_ANY},                               // a private rule below an exception
        {"pw.pub", WILDCARD_ANY},
        {"pub", kIcannRule},
    });
}

class Combination : public ::testing::TestWithParam<Example> {};

TEST_P(Combination, LengthUnderEverySwitchSetting) {
    const OwnedTables proven = testing::prove(combinations());
    const Example& e = GetParam();
    const RuleTables& tables = proven.tables();
    EXPECT_EQ(walk(e.name, true, false, tables), e.expected[0]) << "defaults";
    EXPECT_EQ(walk(e.name, true, true, tables), e.expected[1]) << "icann_only";
    EXPECT_EQ(walk(e.name, false, false, tables), e.expected[2]) << "accept_unknown false";
    EXPECT_EQ(walk(e.name, false, true, tables), e.expected[3]) << "both switched";
}

INSTANTIATE_TEST_SUITE_P(
    Rules, Combination,
    ::testing::Values(
        // The wildcard wins over the rule on its node; alone it counts the name.
        Example{"wc.test", {2, 1, 2, 1}}, Example{"a.wc.test", {3, 1, 3, 1}},
        Example{"a.b.wc.test", {3, 1, 3, 1}},
        // The exception wins over both.
        Example{"ex.test", {1, 1, 1, 1}}, Example{"a.ex.test", {1, 1, 1, 1}},
        // An exception right below the root leaves no public suffix at all.
        Example{"top", {0, 0, 0, 0}}, Example{"a.top", {0, 0, 0, 0}},
        // A deeper node still changes the length after an exception.
        Example{"excl.deep", {1, 1, 1, 1}}, Example{"y.excl.deep", {1, 1, 1, 1}},
        Example{"x.excl.deep", {3, 1, 3, 1}}, Example{"y.x.excl.deep", {3, 1, 3, 1}},
        // "deep" has no rule of its own.
        Example{"deep", {1, 1, 0, 0}}, Example{"y.deep", {1, 1, 0, 0}},
        Example{"a.b.pw.pub", {3, 1, 3, 1}}, Example{"pw.pub", {2, 1, 2, 1}}),
    example_name);

TEST(Walk, NegativeChildEndsTheWalkLikeAMissingLabel) {
    testing::TestTrie built = combinations();
    const auto x = testing::node_of(built.view(), "x.excl.deep");
    ASSERT_GT(x, 0);
    built.edges[x - 1].child = -1;  // edge i leads to node i + 1
    const OwnedTables proven = testing::prove(built);
    EXPECT_EQ(walk("y.x.excl.deep", true, false, proven.tables()), 1u);
    EXPECT_EQ(walk("x.excl.deep", false, false, proven.tables()), 1u);
}

// Names that break the precondition still end normally within bounds.
TEST(Walk, TextsOutsideThePreconditionEndNormally) {
    for (const char* name : {"", ".", "..", "a..uk", ".uk", "uk.", "co..uk"}) {
        for (bool accept_unknown : {true, false}) {
            EXPECT_LE(walk(name, accept_unknown, false), count_labels(name)) << name;
        }
    }
    EXPECT_EQ(walk("a..uk", true, false), 1u);
    EXPECT_EQ(walk("", false, false), 0u);
}

}  // namespace
}  // namespace vexlo
