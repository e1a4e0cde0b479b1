// Rules on top of a list: extra rules given beside a file, and rules put on
// top of the compiled list, whose tables keep no list text. Either way the
// tables are exactly those of the file with the rules appended in a PRIVATE
// section, and so are the counts; a faulty extra rule is named by its place.
// Also a file that begins with a UTF-8 byte-order mark.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "common/sha256.h"
#include "list_file/loaded_list.h"
#include "list_file/parse_list.h"
#include "list_text.h"
#include "rules/compiled_tables.h"

namespace vexlo::list_file {
namespace {

using testing::icann_list;

const std::string kList = icann_list({"uk", "co.uk", "*.kawasaki.jp", "!city.kawasaki.jp",
                                      "\xe5\x85\xac\xe5\x8f\xb8.cn", "cn"},
                                     {"github.io"});

// The file with `extra` appended as a PRIVATE section of its own.
std::string appended(std::string text, const std::vector<std::string_view>& extra) {
    text += testing::kPrivateBegin;
    for (const std::string_view rule : extra) (text += rule) += '\n';
    return text += testing::kPrivateEnd;
}

LoadedList& expect_loaded(const LoadOutcome& outcome) {
    EXPECT_NE(outcome.list, nullptr) << refusal_message(outcome.errors);
    if (outcome.list == nullptr) throw std::runtime_error("refused");
    return *outcome.list;
}

// The same three tables, byte for byte, and the same counts.
void expect_same_list(const LoadedList& got, const LoadedList& want) {
    const RuleTables &a = got.tables.tables(), &b = want.tables.tables();
    ASSERT_EQ(a.node_count, b.node_count);
    ASSERT_EQ(a.edge_count, b.edge_count);
    EXPECT_EQ(std::string_view(a.pool, a.pool_size), std::string_view(b.pool, b.pool_size));
    for (std::uint32_t n = 0; n < a.node_count; ++n) {
        ASSERT_EQ(std::tie(a.nodes[n].first_edge, a.nodes[n].edge_count, a.nodes[n].flags),
                  std::tie(b.nodes[n].first_edge, b.nodes[n].edge_count, b.nodes[n].flags))
            << "node " << n;
    }
    for (std::uint32_t e = 0; e < a.edge_count; ++e) {
        ASSERT_EQ(std::tie(a.edges[e].label_start, a.edges[e].label_end, a.edges[e].child),
                  std::tie(b.edges[e].label_start, b.edges[e].label_end, b.edges[e].child))
            << "edge " << e;
    }
    const ListedSpellings x = a.listed_spellings(), y = b.listed_spellings();
    EXPECT_EQ(x.text, y.text);
    ASSERT_EQ(x.entries.size(), y.entries.size());
    for (std::size_t s = 0; s < x.entries.size(); ++s) {
        EXPECT_EQ(std::tie(x.entries[s].node, x.entries[s].text_start, x.entries[s].text_end),
                  std::tie(y.entries[s].node, y.entries[s].text_start, y.entries[s].text_end))
            << "spelling " << s;
    }
    EXPECT_EQ(got.rule_count, want.rule_count);
    EXPECT_EQ(got.twin_count, want.twin_count);
}

// New names, a wildcard and its exception, a rule the file has (in the other
// section), an internationalised name whose twin is new and one whose twin
// the file has.
const std::vector<std::string_view> kExtra = {
    "corp", "co.internal", "*.dev.corp", "!www.dev.corp", "co.uk", "b\xc3\xbc" "cher.corp",
    "xn--55qx5d.cn", "corp"};

TEST(ExtraRules, AnswerAsTheFileWithThemAppended) {
    const LoadOutcome with_extra = load_list(kList, kExtra);
    const LoadOutcome with_section = load_list(appended(kList, kExtra));
    const LoadedList& list = expect_loaded(with_extra);
    expect_same_list(list, expect_loaded(with_section));
    // The checksum is the file's alone; the rules and twins count the extras.
    EXPECT_EQ(list.checksum, sha256_hex(kList));
    EXPECT_EQ(list.rule_count, 7u + kExtra.size());
    // bücher.corp's, and xn--55qx5d.cn's, which the file lists in the other
    // section only.
    EXPECT_EQ(list.twin_count, 3u);
}

TEST(ExtraRules, OnTopOfTheCompiledListAnswerAsItsFileWithThemAppended) {
    const std::optional<std::string> file = testing::read_file(VEXLO_PSL_FILE);
    if (!file || sha256_hex(*file) != compiled_list.checksum) {
        GTEST_SKIP() << VEXLO_PSL_FILE << " is not the list compiled in";
    }
    // None; new ones; and ones the list holds, in the other section or not.
    const std::vector<std::string_view> listed = {"com", "*.github.io", "!x.github.io",
                                                  "\xe5\x85\xac\xe5\x8f\xb8.cn"};
    for (const std::vector<std::string_view>& extra : {std::vector<std::string_view>{}, kExtra, listed}) {
        const LoadOutcome extended = extend_list(compiled_tables(), compiled_list, extra);
        const LoadedList& list = expect_loaded(extended);
        const LoadOutcome loaded =
            extra.empty() ? load_list(*file) : load_list(appended(*file, extra));
        expect_same_list(list, expect_loaded(loaded));
        // The compiled list's own version (its date and commit), not the file's.
        EXPECT_EQ(list.checksum, compiled_list.checksum);
        EXPECT_EQ(list.version, std::optional<std::string>(compiled_list.version));
    }
}

TEST(ExtraRules, FaultsAreNamedByTheirPlace) {
    const struct {
        std::vector<std::string_view> extra;
        std::string_view message;
    } cases[] = {
        {{"corp", "Corp"}, "extra rule 2: rule 'Corp': upper-case letter in label 'Corp'"},
        {{"a b"}, "extra rule 1: text after the rule 'a': 'b' (one rule per line)"},
        {{"corp", "a\nb"}, "extra rule 2: holds a line break (one rule each)"},
        {{""}, "extra rule 1: '' holds no rule"},
        {{"// corp"}, "extra rule 1: '// corp' holds no rule"},
        {{"// ===END PRIVATE DOMAINS==="},
         "extra rule 1: '// ===END PRIVATE DOMAINS===' holds no rule"},
        {{"*"}, "extra rule 1: wildcard rule '*' names no suffix below which it applies"},
        {{"x", "\xff"}, "extra rule 2: not valid UTF-8 (byte 1 of the line)"},
        {{"A", "B", "ok"}, "extra rule 1: rule 'A'"},
    };
    for (const auto& c : cases) {
        for (const bool compiled : {false, true}) {
            const LoadOutcome outcome = compiled
                                            ? extend_list(compiled_tables(), compiled_list, c.extra)
                                            : load_list(kList, c.extra);
            ASSERT_EQ(outcome.list, nullptr) << c.message;
            EXPECT_EQ(refusal_message(outcome.errors).rfind(c.message, 0), 0u)
                << refusal_message(outcome.errors);
        }
    }
    // The file's faults come first, by line, and the rest are counted.
    const LoadOutcome both = load_list(icann_list({"com", "Bad"}), {{"Worse"}});
    EXPECT_EQ(refusal_message(both.errors),
              "line 3: rule 'Bad': upper-case letter in label 'Bad' (the list is written in lower "
              "case) (and 1 more faulty line)");
    // A file of no rules of its own may be given extra rules.
    EXPECT_NE(load_list("", {{"corp"}}).list, nullptr);
}

TEST(ByteOrderMark, IsSkippedAndKeptInTheChecksum) {
    const std::string marked = std::string(kByteOrderMark) + kList;
    const LoadOutcome outcome = load_list(marked);
    const LoadedList& list = expect_loaded(outcome);
    expect_same_list(list, expect_loaded(load_list(kList)));
    EXPECT_EQ(list.checksum, sha256_hex(marked));
    // Only at the very start: elsewhere it is text like any other.
    const std::string marked_rule = std::string(kByteOrderMark) + "// a comment";
    const LoadOutcome inside = load_list(icann_list({marked_rule}));
    EXPECT_EQ(refusal_message(inside.errors).rfind("line 2: ", 0), 0u);
    const LoadOutcome twice = load_list(std::string(kByteOrderMark) + marked);
    EXPECT_EQ(refusal_message(twice.errors).rfind("line 1: ", 0), 0u);
}

}  // namespace
}  // namespace vexlo::list_file
