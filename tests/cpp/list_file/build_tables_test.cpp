// The tables built from a list, compared whole with an independent model
// (tests/cpp/rules/test_trie.h lays out the rules and their twins, spelled
// by its own Punycode), and the figures of the pinned list.
#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "../rules/punycode.h"
#include "../rules/test_trie.h"
#include "list_file/build_tables.h"
#include "common/sha256.h"
#include "list_text.h"
#include "rules/label_key.h"
#include "rules/table_proof.h"

namespace vexlo::list_file {
namespace {

using testing::icann_list;

// The rules of `list` and their twins, as the model builds them.
testing::TestTrie model_of(const ParsedList& list) {
    std::vector<std::pair<std::string, std::uint8_t>> rules;
    for (const ListRule& rule : list.rules) {
        const std::uint8_t flags = rule_flags(rule.section, rule.kind);
        rules.emplace_back(std::string(rule.name), flags);
        std::string twin;
        bool other = false;
        for (const std::string& label : testing::split_labels(rule.name)) {
            const std::optional<std::string> spelled = testing::other_spelling(label);
            other = other || spelled.has_value();
            if (!twin.empty()) twin += '.';
            twin += spelled.value_or(label);
        }
        if (other) rules.emplace_back(twin, flags);
    }
    return testing::build_trie(rules);
}

list_file::ListTables built_from(const std::string& text) {
    BuiltTables built = compile_list(text);
    EXPECT_TRUE(built.errors.empty()) << built.errors.first.at(0).reason;
    return std::move(built.tables);
}

void expect_model_layout(const std::string& text, const list_file::ListTables& tables) {
    const testing::TestTrie model = model_of(parse_list(text));
    EXPECT_EQ(tables.label_pool(), model.pool);
    ASSERT_EQ(tables.nodes.size(), model.nodes.size());
    ASSERT_EQ(tables.edges.size(), model.edges.size());
    for (std::size_t n = 0; n < model.nodes.size(); ++n) {
        const TrieNode &got = tables.nodes[n], &want = model.nodes[n];
        ASSERT_EQ(std::tie(got.first_edge, got.edge_count, got.flags),
                  std::tie(want.first_edge, want.edge_count, want.flags))
            << "node " << n;
    }
    for (std::size_t e = 0; e < model.edges.size(); ++e) {
        const TrieEdge &got = tables.edges[e], &want = model.edges[e];
        ASSERT_EQ(std::tie(got.label_start, got.label_end, got.child),
                  std::tie(want.label_start, want.label_end, want.child))
            << "edge " << e;
    }
    EXPECT_EQ(tables.checksum, sha256_hex(text));
    // What the walks need proven of the compiled tables holds of these too.
    const RuleTrie trie = tables.view();
    std::vector<std::uint64_t> keys;
    for (const TrieEdge& edge : tables.edges) {
        keys.push_back(label_key(trie.label_pool.substr(edge.label_start, edge.label_end - edge.label_start)));
    }
    EXPECT_FALSE(check_tables(trie, keys).has_value());
}

// Node flags by name, leftmost label first.
std::map<std::string, std::uint8_t> flags_by_name(const list_file::ListTables& tables) {
    std::map<std::string, std::uint8_t> flags;
    const auto names = testing::node_names(tables.view());
    for (std::size_t n = 1; n < names.size(); ++n) flags[names[n].name] = tables.nodes[n].flags;
    return flags;
}

TEST(SmallLists, RuleKindsAndSectionsSetTheirBits) {
    const std::string text = icann_list({"uk", "co.uk", "*.ck", "!www.ck", "co.za", "dup.uk"},
                                        {"dup.uk", "blog.uk", "*.cloud.uk", "!x.cloud.uk"});
    const list_file::ListTables tables = built_from(text);
    expect_model_layout(text, tables);
    const std::map<std::string, std::uint8_t> want = {
        {"uk", 0x09},       {"co.uk", 0x09},   {"ck", 0x12},       {"www.ck", 0x24},
        {"za", 0x00},       {"co.za", 0x09},   {"dup.uk", 0x09},   {"blog.uk", 0x01},
        {"cloud.uk", 0x02}, {"x.cloud.uk", 0x04}};
    EXPECT_EQ(flags_by_name(tables), want);
    EXPECT_EQ(tables.label_pool().find_first_of("*!"), std::string_view::npos);
    EXPECT_EQ(tables.rule_count, 10u);
    EXPECT_EQ(tables.twin_count, 0u);
}

TEST(SmallLists, TwinsGoBothWaysWithTheRuleKind) {
    const std::string text = icann_list({"jp", "*.xn--4gq664adxb.jp", "ελ"}, {"例え.jp"});
    const list_file::ListTables tables = built_from(text);
    expect_model_layout(text, tables);
    const auto flags = flags_by_name(tables);
    EXPECT_EQ(flags.at("xn--4gq664adxb.jp"), 0x12);
    EXPECT_EQ(flags.at("一宮市.jp"), 0x12);
    EXPECT_EQ(flags.at("ελ"), 0x09);
    EXPECT_EQ(flags.at("xn--qxam"), 0x09);
    EXPECT_EQ(flags.at("例え.jp"), 0x01);
    EXPECT_EQ(flags.at("xn--r8jz45g.jp"), 0x01);
    EXPECT_EQ(tables.twin_count, 3u);
    // Each twin's node keeps the rule's name as listed.
    std::vector<std::pair<std::uint32_t, std::string>> listed;
    for (const ListedSpelling& s : tables.spellings) {
        listed.emplace_back(s.node, tables.spelling_text.substr(s.text_start, s.text_end - s.text_start));
    }
    const auto node = [&](std::string_view name) {
        return static_cast<std::uint32_t>(testing::node_of(tables.view(), name));
    };
    std::vector<std::pair<std::uint32_t, std::string>> want = {
        {node("一宮市.jp"), "xn--4gq664adxb.jp"}, {node("xn--qxam"), "ελ"},
        {node("xn--r8jz45g.jp"), "例え.jp"}};
    std::sort(want.begin(), want.end());
    EXPECT_EQ(listed, want);
}

TEST(SmallLists, ATwinAlreadyListedIsNotCounted) {
    // Listed both ways in one section: no new twin. In the other section the
    // twin is a rule of its own, so it counts.
    const list_file::ListTables tables = built_from(icann_list({"公司.cn", "xn--55qx5d.cn", "公司.cn"}, {"xn--55qx5d.cn"}));
    EXPECT_EQ(tables.rule_count, 4u);
    EXPECT_EQ(tables.twin_count, 1u);
    EXPECT_EQ(flags_by_name(tables).at("公司.cn"), 0x09);
    // Both nodes are named by a rule as listed.
    EXPECT_TRUE(tables.spellings.empty());
}

TEST(SmallLists, EdgesInByteOrderAndThePoolInOrderOfFirstUse) {
    const std::string text = icann_list({"  uk  ", "co.uk // a comment", "\tac\t", "é1.fr", "x9.é1.fr", "co.fr"});
    const list_file::ListTables tables = built_from(text);
    expect_model_layout(text, tables);
    std::vector<std::string_view> labels;
    for (std::uint32_t e = 0; e < tables.edges.size(); ++e) labels.push_back(testing::edge_label(tables.view(), e));
    EXPECT_EQ(labels, (std::vector<std::string_view>{"ac", "fr", "uk", "co", "xn--1-9fa", "é1", "co", "x9", "x9"}));
    EXPECT_EQ(tables.label_pool(), "acfrukcoxn--1-9faé1x9");
    EXPECT_EQ(tables.distinct_labels, 7u);
}

TEST(SmallLists, FanOutLimit) {
    constexpr std::size_t kLimit = 0xFFFF;
    std::string text(testing::kIcannBegin);
    for (std::size_t i = 0; i < kLimit; ++i) ((text += 'n') += std::to_string(i)) += ".t\n";
    const BuiltTables full = compile_list(text + std::string(testing::kIcannEnd));
    ASSERT_TRUE(full.errors.empty());
    EXPECT_EQ(full.tables.nodes[1].edge_count, kLimit);

    const BuiltTables over = compile_list(text + "one-more.t\n" + std::string(testing::kIcannEnd));
    ASSERT_EQ(over.errors.count, 1u);
    EXPECT_EQ(over.errors.first[0].line, kLimit + 2);
    EXPECT_EQ(over.errors.first[0].reason,
              "the node for 't' would get more than 65,535 children (adding 'one-more')");
    EXPECT_TRUE(over.tables.nodes.empty());
}

TEST(SmallLists, ParseErrorsComeThrough) {
    const BuiltTables built = compile_list(icann_list({"A", "B"}), 1);
    EXPECT_EQ(built.errors.count, 2u);
    EXPECT_EQ(built.errors.first.size(), 1u);
    EXPECT_TRUE(built.tables.nodes.empty());
}

// ---------------------------------------------------------------- lists on disk

class ListOnDisk : public ::testing::TestWithParam<std::string> {};

TEST_P(ListOnDisk, MatchesTheModel) {
    const std::optional<std::string> text = testing::read_file(GetParam());
    if (!text) GTEST_SKIP() << "no list file at " << GetParam();
    expect_model_layout(*text, built_from(*text));
}

INSTANTIATE_TEST_SUITE_P(Files, ListOnDisk,
                         ::testing::Values(testing::pinned_list_path(), testing::kSystemListPath));

class PinnedList : public ::testing::Test {
protected:
    void SetUp() override {
        text_ = testing::read_file(testing::pinned_list_path());
        if (!text_) GTEST_SKIP() << "no pinned list at " << testing::pinned_list_path() << " (set VEXLO_SHARED_DIR)";
        tables_ = built_from(*text_);
    }
    std::optional<std::string> text_;
    list_file::ListTables tables_;
};

TEST_F(PinnedList, Sizes) {
    EXPECT_EQ(tables_.nodes.size(), 11103u);
    EXPECT_EQ(tables_.edges.size(), 11102u);
    EXPECT_EQ(tables_.label_pool().size(), 53051u);
    EXPECT_EQ(tables_.distinct_labels, 7235u);
    EXPECT_EQ(tables_.rule_count, 10239u);
    EXPECT_EQ(tables_.twin_count, 459u);
    EXPECT_EQ(tables_.spellings.size(), 459u);
    EXPECT_EQ(tables_.checksum, "fe6adc7fb8014f57d28d69b18d0aa3e581efb432544922e12131a5d4a87bd954");
    EXPECT_EQ(tables_.version, std::nullopt);
}

TEST_F(PinnedList, Shape) {
    const RuleTrie t = tables_.view();
    EXPECT_EQ(t.nodes[0].edge_count, 1609);
    std::size_t non_ascii = 0;
    for (std::uint32_t e = 0; e < t.nodes[0].edge_count; ++e) non_ascii += !testing::is_ascii(testing::edge_label(t, e));
    EXPECT_EQ(non_ascii, 160u);

    std::map<std::string, std::uint16_t> fan_out;
    int depth = 0;
    const auto names = testing::node_names(t);
    for (std::size_t n = 0; n < names.size(); ++n) {
        fan_out[names[n].name] = t.nodes[n].edge_count;
        depth = std::max(depth, names[n].depth);
    }
    EXPECT_EQ(fan_out.at("no"), 900);
    EXPECT_EQ(fan_out.at("com"), 453);
    EXPECT_EQ(fan_out.at("it"), 437);
    EXPECT_EQ(fan_out.at("jp"), 305);
    EXPECT_EQ(depth, 6);

    std::size_t longest_bytes = 0, longest_chars = 0;
    for (std::uint32_t e = 0; e < t.edges.size(); ++e) {
        const std::string_view label = testing::edge_label(t, e);
        longest_bytes = std::max(longest_bytes, label.size());
        longest_chars = std::max(longest_chars, testing::utf8_to_code_points(label).size());
    }
    EXPECT_EQ(longest_bytes, 33u);
    EXPECT_EQ(longest_chars, 31u);
}

TEST_F(PinnedList, Flags) {
    std::map<int, int> histogram;
    for (const TrieNode& node : tables_.nodes) ++histogram[node.flags];
    EXPECT_EQ(histogram, (std::map<int, int>{{0x09, 7371}, {0x01, 3038}, {0x00, 405}, {0x02, 265}, {0x12, 16}, {0x24, 8}}));
    const auto flags = flags_by_name(tables_);
    EXPECT_EQ(flags.at("za"), 0x00);
    EXPECT_EQ(flags.at("kawasaki.jp"), 0x12);
    EXPECT_EQ(flags.at("city.kawasaki.jp"), 0x24);
    EXPECT_EQ(flags.at("公司.cn"), 0x09);
    EXPECT_EQ(flags.at("xn--55qx5d.cn"), 0x09);
}

}  // namespace
}  // namespace vexlo::list_file
