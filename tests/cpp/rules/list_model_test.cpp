// The walk against an independent model over the whole compiled list. The
// model reads the list file itself (its own small parser, its own Punycode),
// keeps every name that the rules spell out in a hash map, and answers by
// looking up ever longer suffixes of the name: no trie, no shared code with
// the generator or the walk. The reference walk, which the other walks are
// tested against, must agree with it too.
#include <fstream>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include <gtest/gtest.h>

#include "common/dots.h"
#include "punycode.h"
#include "common/sha256.h"
#include "rules/compiled_tables.h"
#include "rules/public_suffix.h"
#include "list_model.h"
#include "test_trie.h"

namespace vexlo {
namespace {

using testing::ListedRule;
using testing::ListModel;

using LoadedList = testing::ModelList;

class WholeList : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        list_ = new LoadedList(testing::read_model_list(VEXLO_PSL_FILE));
        model_ = new ListModel;
        for (const ListedRule& rule : list_->rules) model_->add_with_twin(rule);
    }
    static void TearDownTestSuite() {
        delete model_;
        delete list_;
    }
    void SetUp() override {
        if (list_->bytes.empty()) GTEST_SKIP() << "cannot read the list file " VEXLO_PSL_FILE;
        if (sha256_hex(list_->bytes) != LIST_CHECKSUM)
            GTEST_SKIP() << VEXLO_PSL_FILE " changed since it was compiled in; rebuild";
    }
    static LoadedList* list_;
    static ListModel* model_;
};

LoadedList* WholeList::list_ = nullptr;
ListModel* WholeList::model_ = nullptr;

TEST_F(WholeList, ChecksumIsTheListFilesSha256) {
    EXPECT_EQ(sha256_hex(list_->bytes), std::string(LIST_CHECKSUM));
    EXPECT_EQ(sha256_hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST_F(WholeList, TrieHoldsExactlyTheModelsNodesWithTheirFlags) {
    const RuleTrie trie = compiled_rules();
    EXPECT_EQ(model_->nodes().size() + 1, trie.nodes.size());
    for (const auto& [name, node] : model_->nodes()) {
        const auto index = testing::node_of(trie, name);
        ASSERT_GE(index, 0) << name;
        const unsigned expected = node.any | (node.icann << ICANN_SHIFT);
        EXPECT_EQ(trie.nodes[index].flags, expected) << name;
    }
}

TEST_F(WholeList, WalkAgreesWithTheModelForEveryRuleName) {
    std::vector<std::string> names;
    for (const auto& [name, node] : model_->nodes()) {
        names.push_back(name);
        names.push_back("x0." + name);
        names.push_back("a.b." + name);
    }
    names.push_back("nosuchtoplabel");
    names.push_back("a.nosuchtoplabel");
    std::size_t mismatches = 0;
    for (const std::string& name : names) {
        const std::size_t labels = testing::count_labels(name);
        const std::uint64_t dots = dot_bitmap(name.data(), name.size());
        for (bool accept_unknown : {true, false}) {
            for (bool icann_only : {false, true}) {
                const Switches switches{accept_unknown, icann_only};
                const std::size_t got = public_suffix_length(compiled_tables(), name, dots, labels, switches);
                const std::size_t reference = testing::reference_length(compiled_rules(), name, switches);
                const std::size_t want = model_->length(name, accept_unknown, icann_only);
                if ((got != want || reference != want) && ++mismatches <= 20) {
                    ADD_FAILURE() << name << " accept_unknown=" << accept_unknown
                                  << " icann_only=" << icann_only << ": walk " << got
                                  << ", reference walk " << reference << ", model " << want;
                }
                ASSERT_LE(got, labels);
            }
        }
    }
    EXPECT_EQ(mismatches, 0u);
    EXPECT_GT(names.size(), 30000u);
}

}  // namespace
}  // namespace vexlo
