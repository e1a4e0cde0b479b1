// Why an answer is what it is: the rule that decided (as the list writes it,
// whichever spelling the name came in), its section, and both views'
// suffixes, from the single walk and from the batch walk, against the
// independent model over the whole compiled list and over lists of one's own.
#include "extract/fields.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "../list_file/list_text.h"
#include "../rules/list_model.h"
#include "common/sha256.h"
#include "list_file/loaded_list.h"
#include "query/match.h"
#include "query/name_batch.h"
#include "rules/compiled_tables.h"

namespace vexlo {
namespace {

using OptionalText = std::optional<std::string>;

OptionalText text_of(const std::optional<std::string_view>& view) {
    return view ? OptionalText(std::string(*view)) : std::nullopt;
}

OptionalText rule_of(const std::optional<RuleText>& rule) {
    if (!rule) return std::nullopt;
    std::string text(rule->size(), '\0');
    rule->write(text.data());
    return text;
}

// Every field of a valid name, as text (the section's too).
struct Fields {
    OptionalText host, prefix, domain, publicsuffix, privatesuffix, section, rule, icann_publicsuffix,
        icann_privatesuffix;
    bool operator==(const Fields&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Fields& f) {
    const auto show = [&](const char* name, const OptionalText& text) {
        out << name << '=' << (text ? "'" + *text + "'" : std::string("None")) << ' ';
    };
    show("host", f.host);
    show("prefix", f.prefix);
    show("domain", f.domain);
    show("publicsuffix", f.publicsuffix);
    show("privatesuffix", f.privatesuffix);
    show("section", f.section);
    show("rule", f.rule);
    show("icann_publicsuffix", f.icann_publicsuffix);
    show("icann_privatesuffix", f.icann_privatesuffix);
    return out;
}

Fields fields_of(const RuleTables& tables, const ExplainedMatch& explained, bool keep_case) {
    Fields f;
    f.host = text_of(extract_text(ExtractField::kHost, explained, keep_case));
    f.prefix = text_of(extract_text(ExtractField::kPrefix, explained, keep_case));
    f.domain = text_of(extract_text(ExtractField::kDomain, explained, keep_case));
    f.publicsuffix = text_of(extract_text(ExtractField::kPublicSuffix, explained, keep_case));
    f.privatesuffix = text_of(extract_text(ExtractField::kPrivateSuffix, explained, keep_case));
    f.section = text_of(decided_section(tables, explained.verdict));
    f.rule = rule_of(decided_rule(tables, explained.match, explained.verdict));
    f.icann_publicsuffix = text_of(extract_text(ExtractField::kIcannPublicSuffix, explained, keep_case));
    f.icann_privatesuffix = text_of(extract_text(ExtractField::kIcannPrivateSuffix, explained, keep_case));
    return f;
}

// The fields of one name through the single walk; none for an invalid name.
std::optional<Fields> single(const RuleTables& tables, std::string_view name,
                             bool accept_unknown = true, bool keep_case = false) {
    const std::optional<TracedMatch> traced = trace_domain(name, tables, accept_unknown);
    if (!traced) return std::nullopt;
    return fields_of(tables, {traced->match.view(), traced->verdict}, keep_case);
}

struct WorkedCase {
    std::string name;
    Fields want;
};

class ExtractExamples : public ::testing::TestWithParam<WorkedCase> {};

// Rules the compiled list holds: co.uk, the wildcard over kobe.jp with its
// exception city.kobe.jp, github.io in the private section, 公司.cn.
TEST_P(ExtractExamples, EveryFieldOfAName) {
    const WorkedCase& c = GetParam();
    EXPECT_EQ(single(compiled_tables(), c.name), c.want) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    CompiledList, ExtractExamples,
    ::testing::Values(
        WorkedCase{"www.shop.example.co.uk",
                   {"www.shop.example.co.uk", "www.shop", "example", "co.uk", "example.co.uk", "icann",
                    "co.uk", "co.uk", "example.co.uk"}},
        WorkedCase{"example.co.uk",
                   {"example.co.uk", "", "example", "co.uk", "example.co.uk", "icann", "co.uk", "co.uk",
                    "example.co.uk"}},
        WorkedCase{"co.uk",
                   {"co.uk", std::nullopt, std::nullopt, "co.uk", std::nullopt, "icann", "co.uk", "co.uk",
                    std::nullopt}},
        WorkedCase{"kobe.jp",
                   {"kobe.jp", std::nullopt, std::nullopt, "kobe.jp", std::nullopt, "icann", "*.kobe.jp",
                    "kobe.jp", std::nullopt}},
        WorkedCase{"www.city.kobe.jp",
                   {"www.city.kobe.jp", "www", "city", "kobe.jp", "city.kobe.jp", "icann",
                    "!city.kobe.jp", "kobe.jp", "city.kobe.jp"}},
        WorkedCase{"a.b.foo.kobe.jp",
                   {"a.b.foo.kobe.jp", "a", "b", "foo.kobe.jp", "b.foo.kobe.jp", "icann", "*.kobe.jp",
                    "foo.kobe.jp", "b.foo.kobe.jp"}},
        WorkedCase{"alice.github.io",
                   {"alice.github.io", "", "alice", "github.io", "alice.github.io", "private",
                    "github.io", "io", "github.io"}},
        WorkedCase{"foo.bar.github.io",
                   {"foo.bar.github.io", "foo", "bar", "github.io", "bar.github.io", "private",
                    "github.io", "io", "github.io"}},
        WorkedCase{"example.unknowntld",
                   {"example.unknowntld", "", "example", "unknowntld", "example.unknowntld", std::nullopt,
                    "*", "unknowntld", "example.unknowntld"}},
        // za itself is no rule, only the way to co.za and others.
        WorkedCase{"example.za",
                   {"example.za", "", "example", "za", "example.za", std::nullopt, "*", "za",
                    "example.za"}},
        WorkedCase{"www.公司.cn",
                   {"www.公司.cn", "", "www", "公司.cn", "www.公司.cn", "icann", "公司.cn", "公司.cn",
                    "www.公司.cn"}},
        // The name's spelling, the list's rule.
        WorkedCase{"www.xn--55qx5d.cn",
                   {"www.xn--55qx5d.cn", "", "www", "xn--55qx5d.cn", "www.xn--55qx5d.cn", "icann",
                    "公司.cn", "xn--55qx5d.cn", "www.xn--55qx5d.cn"}}),
    [](const ::testing::TestParamInfo<WorkedCase>& info) {
        std::string name;
        for (const char c : info.param.name) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name + "_" + std::to_string(info.index);
    });

TEST(Extract, KeepCaseCutsTextFieldsFromTheCallersSpellingButNotTheRule) {
    const std::optional<Fields> f = single(compiled_tables(), "WWW.City.Kobe.JP.", true, true);
    ASSERT_TRUE(f);
    EXPECT_EQ(*f, (Fields{"WWW.City.Kobe.JP", "WWW", "City", "Kobe.JP", "City.Kobe.JP", "icann",
                          "!city.kobe.jp", "Kobe.JP", "City.Kobe.JP"}));
}

TEST(Extract, WithoutAcceptUnknownAnUnknownLabelHasNoRule) {
    const std::optional<Fields> f = single(compiled_tables(), "www.example.unknowntld", false);
    ASSERT_TRUE(f);
    EXPECT_EQ(*f, (Fields{"www.example.unknowntld", std::nullopt, std::nullopt, std::nullopt,
                          std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt}));
}

TEST(Extract, InvalidNamesHaveNoMatch) {
    for (const char* name : {"", ".", "a..b", "example.com.."}) {
        EXPECT_FALSE(single(compiled_tables(), name)) << name;
    }
}

// What the model says of a name, as Fields (section and rule only where the
// name has an answer to them).
void expect_model(const testing::ListModel& model, const RuleTables& tables, const std::string& name,
                  bool accept_unknown, std::size_t& mismatches) {
    const std::optional<TracedMatch> traced = trace_domain(name, tables, accept_unknown);
    ASSERT_TRUE(traced) << name;
    const testing::ModelVerdict want = model.explain(name, accept_unknown);
    const Verdict& got = traced->verdict;
    const MatchView view = traced->match.view();
    const OptionalText rule = rule_of(decided_rule(tables, view, got));
    const OptionalText section = text_of(decided_section(tables, got));
    if ((got.public_length != want.length || got.icann_length != want.icann_length ||
         rule != want.rule || section != want.section) &&
        ++mismatches <= 20) {
        ADD_FAILURE() << name << " accept_unknown=" << accept_unknown << ": lengths "
                      << got.public_length << "/" << got.icann_length << " want " << want.length << "/"
                      << want.icann_length << ", rule " << rule.value_or("None") << " want "
                      << want.rule.value_or("None") << ", section " << section.value_or("None")
                      << " want " << want.section.value_or("None");
    }
}

// Names built from every node of the model: the node, one label below it,
// two below; and names under no rule at all.
std::vector<std::string> names_of(const testing::ListModel& model) {
    std::vector<std::string> names = {"nosuchtoplabel", "a.nosuchtoplabel"};
    for (const auto& [name, node] : model.nodes()) {
        names.push_back(name);
        names.push_back("x0." + name);
        names.push_back("a.b." + name);
    }
    return names;
}

TEST(Extract, AgreesWithTheModelOverTheWholeCompiledList) {
    const testing::ModelList list = testing::read_model_list(VEXLO_PSL_FILE);
    if (list.bytes.empty()) GTEST_SKIP() << "cannot read the list file " VEXLO_PSL_FILE;
    if (sha256_hex(list.bytes) != LIST_CHECKSUM) GTEST_SKIP() << VEXLO_PSL_FILE " changed; rebuild";
    testing::ListModel model;
    for (const testing::ListedRule& rule : list.rules) model.add_with_twin(rule);
    std::size_t mismatches = 0;
    for (const std::string& name : names_of(model)) {
        for (const bool accept_unknown : {true, false}) {
            expect_model(model, compiled_tables(), name, accept_unknown, mismatches);
        }
    }
    EXPECT_EQ(mismatches, 0u);
}

// A list of one's own: a rule listed only in "xn--" form (its Unicode twin
// names the rule as listed), one listed only in Unicode, one in both; a
// private wildcard below an ICANN rule; a node that is a rule in both
// sections; a wildcard that is also a plain rule.
TEST(Extract, AgreesWithTheModelOverAListOfOnesOwn) {
    const std::string text = testing::icann_list(
        {"xn--p1ai", "рус", "公司.cn", "xn--55qx5d.cn", "cn", "example", "both.example", "*.wild.example",
         "wild.example", "!keep.wild.example"},
        {"*.apps.example", "both.example", "xn--80aswg.xn--p1ai", "host.test"});
    const list_file::LoadOutcome loaded = list_file::load_list(text);
    ASSERT_TRUE(loaded.list) << list_file::refusal_message(loaded.errors);
    const RuleTables& tables = loaded.list->tables.tables();

    testing::ListModel model;
    const auto rules = {std::pair{"xn--p1ai", testing::kRule}, {"рус", testing::kRule},
                        {"公司.cn", testing::kRule},  {"xn--55qx5d.cn", testing::kRule},
                        {"cn", testing::kRule},       {"example", testing::kRule},
                        {"both.example", testing::kRule}, {"wild.example", testing::kWildcard},
                        {"wild.example", testing::kRule}, {"keep.wild.example", testing::kException}};
    for (const auto& [name, kind] : rules) model.add_with_twin({name, kind, true});
    for (const auto& [name, kind] :
         {std::pair{"apps.example", testing::kWildcard}, {"both.example", testing::kRule},
          {"xn--80aswg.xn--p1ai", testing::kRule}, {"host.test", testing::kRule}}) {
        model.add_with_twin({name, kind, false});
    }
    std::size_t mismatches = 0;
    for (const std::string& name : names_of(model)) {
        for (const bool accept_unknown : {true, false}) {
            expect_model(model, tables, name, accept_unknown, mismatches);
        }
    }
    EXPECT_EQ(mismatches, 0u);

    // Spot checks of what the model is trusted for.
    EXPECT_EQ(rule_of(decided_rule(tables, trace_domain("a.рф", tables, true)->match.view(),
                                   trace_domain("a.рф", tables, true)->verdict)),
              "xn--p1ai");
    const std::optional<TracedMatch> wild = trace_domain("a.wild.example", tables, true);
    EXPECT_EQ(rule_of(decided_rule(tables, wild->match.view(), wild->verdict)), "*.wild.example");
    const std::optional<TracedMatch> both = trace_domain("www.both.example", tables, true);
    EXPECT_EQ(text_of(decided_section(tables, both->verdict)), "icann");
}

// The batch walk keeps the same verdicts as the single one.
TEST(Extract, BatchVerdictsAreTheSingleWalks) {
    std::vector<std::string> names = {"www.city.kobe.jp", "a.b.foo.kobe.jp", "alice.github.io",
                                      "www.xn--55qx5d.cn", "example.unknowntld", "co.uk", "a..b", ""};
    for (int i = 0; i < 300; ++i) names.push_back(std::to_string(i).append(".n.blogspot.com"));
    for (const bool accept_unknown : {true, false}) {
        NameBatch batch;
        for (const std::string& name : names) batch.add(name);
        batch.explain(compiled_tables(), accept_unknown);
        for (std::size_t i = 0; i < names.size(); ++i) {
            const std::optional<TracedMatch> traced = trace_domain(names[i], compiled_tables(), accept_unknown);
            ASSERT_EQ(batch[i].state == NameBatch::State::kValid, traced.has_value()) << names[i];
            if (!traced) continue;
            EXPECT_EQ(fields_of(compiled_tables(), {batch.view(i), batch.verdict(i)}, false),
                      fields_of(compiled_tables(), {traced->match.view(), traced->verdict}, false))
                << names[i];
        }
    }
}

TEST(Extract, FieldNamesAreTheRecordsInOrder) {
    for (std::size_t i = 0; i < kExtractFieldCount; ++i) {
        EXPECT_EQ(extract_field_named(kExtractFieldNames[i]), static_cast<ExtractField>(i));
    }
    EXPECT_FALSE(extract_field_named("subdomain"));
    EXPECT_TRUE(needs_verdict(ExtractField::kRule));
    EXPECT_FALSE(needs_verdict(ExtractField::kPrivateSuffix));
}

}  // namespace
}  // namespace vexlo
