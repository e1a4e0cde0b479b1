// Every walk that reads proven tables without a check must answer as the
// reference walk over the same tables: the single walk over any tables, the
// one made for the compiled tables (root search unrolled, names within the
// dot bitmap) and the batch walk. For names built from every node of the
// tables and for arbitrary texts (labels that match, nearly match, share
// eight-byte keys, hold NUL or non-ASCII bytes, or are empty), over the
// compiled tables and over hand-built ones.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "compiled_walk.h"
#include "common/dots.h"
#include "rules/batch_walk.h"
#include "rules/compiled_tables.h"
#include "rules/public_suffix.h"
#include "test_trie.h"

namespace vexlo {
namespace {

using testing::count_labels;

constexpr Switches kEverySwitch[] = {{true, false}, {true, true}, {false, false}, {false, true}};

// What the batch walk takes: no empty label.
bool valid_name(const std::string& text) {
    return !text.empty() && text.front() != '.' && text.back() != '.' &&
           text.find("..") == std::string::npos;
}

// The batch walk's lengths of the valid texts, in their order, under each
// switch setting; the names lie in one arena with the padding it may read.
std::vector<std::vector<std::uint32_t>> batch_lengths(const RuleTables& tables,
                                                      const std::vector<std::string>& texts) {
    std::string arena(kWalkPadding, '\xff');
    std::vector<std::size_t> offsets;
    for (const std::string& text : texts) {
        if (!valid_name(text)) continue;
        offsets.push_back(arena.size());
        arena += text;
        arena.append(kWalkPadding, '\xff');
    }
    std::vector<WalkName> names;
    std::size_t k = 0;
    for (const std::string& text : texts) {
        if (!valid_name(text)) continue;
        const char* const at = arena.data() + offsets[k++];
        names.push_back({at, text.size(), count_labels(text), dot_bitmap(at, text.size())});
    }
    std::vector<std::vector<std::uint32_t>> lengths;
    for (const Switches switches : kEverySwitch) {
        lengths.emplace_back(names.size());
        public_suffix_lengths(tables, names, switches, lengths.back().data());
    }
    return lengths;
}

std::string describe(const std::string& text, Switches switches) {
    return '"' + text + "\" accept_unknown " + std::to_string(switches.accept_unknown) + " icann_only " +
           std::to_string(switches.icann_only);
}

void expect_walks_agree(const RuleTables& tables, const std::vector<std::string>& texts) {
    const bool compiled = tables.nodes == compiled_tables().nodes;
    const RuleTrie trie = tables.trie();
    const auto batch = batch_lengths(tables, texts);
    std::size_t walked = 0;
    for (const std::string& text : texts) {
        // A heap block of exactly the text's size, so that a sanitized build
        // reports any read past either end of it.
        const std::unique_ptr<char[]> exact(new char[text.size() + 1]);
        std::copy(text.begin(), text.end(), exact.get());
        const std::string_view name(exact.get(), text.size());
        const std::size_t labels = count_labels(name);
        const std::uint64_t dots = dot_bitmap(name.data(), name.size());
        for (std::size_t s = 0; s < std::size(kEverySwitch); ++s) {
            const Switches switches = kEverySwitch[s];
            const std::size_t expected = testing::reference_length(trie, text, switches);
            ASSERT_EQ(public_suffix_length(tables, name, dots, labels, switches), expected)
                << describe(text, switches);
            if (compiled && name.size() <= kDotBitmapBytes) {
                ASSERT_EQ(compiled_public_suffix_length(name.data(), name.size(), dots, labels, switches),
                          expected)
                    << describe(text, switches) << ", compiled walk";
            }
            if (valid_name(text)) {
                ASSERT_EQ(batch[s][walked], expected) << describe(text, switches) << ", batch walk";
            }
        }
        walked += valid_name(text);
    }
}

// Each node's name, and texts that differ from it a little.
std::vector<std::string> node_name_texts(const RuleTrie& trie) {
    const auto nodes = testing::node_names(trie);
    std::vector<std::string> texts;
    for (std::size_t n = 1; n < nodes.size(); ++n) {
        const std::string& name = nodes[n].name;
        if (name.empty()) continue;  // behind an edge that leads nowhere
        for (const std::string& text :
             {name, "a." + name, "www.abcdefghij." + name, "x" + name, name + "x",
              name.substr(0, name.size() - 1), name.substr(1), "\xc3\xa9." + name}) {
            texts.push_back(text);
        }
    }
    return texts;
}

// Texts of every length from one byte to 100 (either side of the dot
// bitmap's 64) made of `pieces` and a few odd ones.
std::vector<std::string> random_texts(std::vector<std::string> pieces, int count) {
    for (const std::string& odd : {std::string(), std::string(1, '\0'), std::string("a\0b", 3),
                                   std::string("\xc3\xa9"), std::string("x"), std::string("*"),
                                   std::string("!"), std::string("abcdefgh"), std::string("abcdefghi")}) {
        pieces.push_back(odd);
    }
    std::uint64_t state = 0x9E3779B97F4A7C15u;
    auto next = [&state] {
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        return state;
    };
    std::vector<std::string> texts;
    for (int i = 0; i < count; ++i) {
        std::string text;
        const std::size_t want = 1 + next() % 100;
        while (text.size() < want) {
            if (!text.empty()) text += '.';
            text += pieces[next() % pieces.size()];
        }
        text.resize(want);
        texts.push_back(text);
    }
    return texts;
}

TEST(CompiledTables, WalksAgreeForEveryNodeName) {
    expect_walks_agree(compiled_tables(), node_name_texts(compiled_rules()));
}

TEST(CompiledTables, WalksAgreeForArbitraryTexts) {
    // Rule labels, labels that a stored one prefixes up to zero bytes, and
    // siblings sharing their first eight bytes (accountant, accountants).
    const std::vector<std::string> pieces = {
        "com", "co", "uk", "jp", "kawasaki", "city", "github", "io", "blogspot", "amazonaws",
        "s3", "xn--55qx5d", "\xe5\x85\xac\xe5\x8f\xb8", "cn", "zz", "academy", "ac",
        std::string("com\0", 4), std::string("blogspot\0", 9), std::string("uk\0\0\0\0\0\0", 8),
        "accountant", "accountants", "accountan", "accountantz", "engineer", "engineering",
        "xn--h2brj9c", "xn--h2brj9c8c", "xn--h2breg3eve", "githubusercontent", "herokuapp",
        "amazonaw", "amazonawsx", "cloudfront", "cloudfronu", "blogspotx", "net"};
    expect_walks_agree(compiled_tables(), random_texts(pieces, 200000));
}

// Every kind of rule and their combinations on one node, a private rule
// below an exception, siblings sharing eight-byte keys, a label of 63 bytes
// and an edge that leads nowhere.
testing::TestTrie hand_built() {
    constexpr std::uint8_t kIcannRule = RULE_ANY | RULE_ICANN;
    testing::TestTrie trie = testing::build_trie({
        {"test", kIcannRule},
        {"wc.test", WILDCARD_ANY | RULE_ANY | WILDCARD_ICANN},
        {"ex.test", EXCEPTION_ANY | WILDCARD_ANY | RULE_ANY},
        {"top", EXCEPTION_ANY | EXCEPTION_ICANN},
        {"excl.deep", EXCEPTION_ANY | EXCEPTION_ICANN},
        {"x.excl.deep", RULE_ANY},
        {"gone.excl.deep", RULE_ANY},
        {"pw.pub", WILDCARD_ANY},
        {"pub", kIcannRule},
        {std::string(63, 'q') + ".pub", RULE_ANY},
        {"accountant", kIcannRule},
        {"accountants", WILDCARD_ANY | WILDCARD_ICANN},
        {"abcdefgh.accountant", EXCEPTION_ANY},
        {"abcdefghij.abcdefgh.accountant", RULE_ANY},
        {"abcdefghi.accountants", EXCEPTION_ANY | EXCEPTION_ICANN},
    });
    const std::int64_t gone = testing::node_of(trie.view(), "gone.excl.deep");
    trie.edges[gone - 1].child = -1;  // edge i leads to node i + 1
    return trie;
}

TEST(HandBuiltTables, WalksAgreeForEveryNodeNameAndArbitraryTexts) {
    const OwnedTables proven = testing::prove(hand_built());
    std::vector<std::string> texts = node_name_texts(proven.tables().trie());
    std::vector<std::string> pieces = {"a", "abcdefg", "abcdefghijk", std::string(64, 'q')};
    for (std::uint32_t e = 0; e < proven.tables().trie().edges.size(); ++e) {
        pieces.emplace_back(testing::edge_label(proven.tables().trie(), e));
    }
    const std::vector<std::string> random = random_texts(pieces, 50000);
    texts.insert(texts.end(), random.begin(), random.end());
    expect_walks_agree(proven.tables(), texts);
}

TEST(BatchWalk, AnyNumberOfNamesIncludingNone) {
    const std::string text = "a.b.example.co.uk";
    std::string arena(kWalkPadding, '\0');
    arena += text + std::string(kWalkPadding, '\0');
    const WalkName name{arena.data() + kWalkPadding, text.size(), 5, dot_bitmap(text.data(), text.size())};
    for (const std::size_t count : {0, 1, 3, 255, 256, 257, 1000}) {
        const std::vector<WalkName> names(count, name);
        std::vector<std::uint32_t> lengths(count + 1, 99);
        public_suffix_lengths(compiled_tables(), names, Switches{}, lengths.data());
        EXPECT_EQ(std::count(lengths.begin(), lengths.end(), 2u), static_cast<std::ptrdiff_t>(count));
        EXPECT_EQ(lengths[count], 99u) << "written past the names";
    }
}

}  // namespace
}  // namespace vexlo
