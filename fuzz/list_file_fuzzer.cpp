// Random and mutated list files through the parser and the table builder,
// as a list loaded at run time goes: no crash and no leak; the errors kept
// for the first one agree with the full report; and every list accepted
// makes tables that pass the walks' proof, with one node for each name that
// a rule or its twin spells out, and for each of their parents, and answers
// as the tests' independent model of the same rules does, for names made
// from every rule: the lengths in both views, and the rule that decided, as
// the list writes it, with its section. The rules read back from those
// tables build them again, listed spellings and all, as for rules put on
// top of the compiled list. The lines of the input as extra rules are
// accepted only as rules that a PRIVATE section of the same lines holds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "invariant_check.h"
#include "list_file/build_tables.h"
#include "list_file/parse_list.h"
#include "list_file/punycode.h"
#include "list_file/trie_rules.h"
#include "common/dots.h"
#include "list_model.h"
#include "extract/fields.h"
#include "query/short_match.h"
#include "rules/owned_tables.h"
#include "rules/public_suffix.h"

namespace {

using namespace vexlo::list_file;

bool is_ascii(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

// `name` and every name it lies under, into `names`.
void add_with_parents(std::string_view name, std::unordered_set<std::string>& names) {
    for (std::size_t start = 0;;) {
        names.emplace(name.substr(start));
        const std::size_t dot = name.find('.', start);
        if (dot == std::string_view::npos) return;
        start = dot + 1;
    }
}

// The rule's name in the other spelling of its labels, label by label.
std::optional<std::string> twin_of(std::string_view name) {
    std::string twin;
    bool other = false;
    for (std::size_t start = 0; start <= name.size();) {
        std::size_t dot = name.find('.', start);
        if (dot == std::string_view::npos) dot = name.size();
        const std::string_view label = name.substr(start, dot - start);
        std::optional<std::string> spelled;
        if (!is_ascii(label)) spelled = to_ace_label(label);
        else if (label.starts_with(kAcePrefix)) spelled = from_ace_label(label);
        other = other || spelled.has_value();
        if (start != 0) twin += '.';
        twin += spelled ? *spelled : std::string(label);
        start = dot + 1;
    }
    if (!other) return std::nullopt;
    return twin;
}

bool same_tables(const ListTables& a, const ListTables& b) {
    if (a.pool != b.pool || a.nodes.size() != b.nodes.size() || a.edges.size() != b.edges.size() ||
        a.spelling_text != b.spelling_text || a.spellings.size() != b.spellings.size()) {
        return false;
    }
    for (std::size_t s = 0; s < a.spellings.size(); ++s) {
        const vexlo::ListedSpelling &x = a.spellings[s], &y = b.spellings[s];
        if (x.node != y.node || x.text_start != y.text_start || x.text_end != y.text_end) {
            return false;
        }
    }
    for (std::size_t n = 0; n < a.nodes.size(); ++n) {
        const vexlo::TrieNode &x = a.nodes[n], &y = b.nodes[n];
        if (x.first_edge != y.first_edge || x.edge_count != y.edge_count || x.flags != y.flags) {
            return false;
        }
    }
    for (std::size_t e = 0; e < a.edges.size(); ++e) {
        const vexlo::TrieEdge &x = a.edges[e], &y = b.edges[e];
        if (x.label_start != y.label_start || x.label_end != y.label_end || x.child != y.child) {
            return false;
        }
    }
    return true;
}

// The input's first lines as extra rules, on top of no file: accepted only
// when a PRIVATE section of the same lines holds the same rules.
void check_extra_rules(std::string_view text) {
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start <= text.size() && lines.size() < 64;) {
        const std::size_t stop = std::min(text.find('\n', start), text.size());
        lines.push_back(text.substr(start, stop - start));
        start = stop + 1;
    }
    const ParsedList extra = parse_list({}, lines);
    if (!extra.errors.empty()) {
        CHECK(extra.rules.empty() && extra.errors.first[0].line > extra.errors.file_lines, text);
        return;
    }
    std::string section = "// ===BEGIN PRIVATE DOMAINS===\n";
    for (const std::string_view line : lines) (section += line) += '\n';
    section += "// ===END PRIVATE DOMAINS===\n";
    const ParsedList file = parse_list(section);
    CHECK(file.errors.empty() && file.rules.size() == extra.rules.size(), text);
    for (std::size_t r = 0; r < file.rules.size(); ++r) {
        const ListRule &a = file.rules[r], &b = extra.rules[r];
        CHECK(a.name == b.name && a.kind == b.kind && b.section == Section::private_domains, text);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    check_extra_rules(text);
    const ParsedList first_only = parse_list(text, 1);
    const ParsedList list = parse_list(text);
    CHECK(first_only.errors.count == list.errors.count, text);
    if (!list.errors.empty()) {
        CHECK(list.errors.first.size() == list.errors.count, text);
        CHECK(first_only.errors.first.size() == 1, text);
        CHECK(first_only.errors.first[0].line == list.errors.first[0].line, text);
        CHECK(first_only.errors.first[0].reason == list.errors.first[0].reason, text);
        for (std::size_t i = 1; i < list.errors.first.size(); ++i) {
            CHECK(list.errors.first[i - 1].line <= list.errors.first[i].line, text);
        }
        CHECK(list.rules.empty(), text);
        return 0;
    }

    const BuiltTables built = build_rule_tables(list, text);
    if (!built.errors.empty()) return 0;  // a list too large for the tables
    const vexlo::list_file::ListTables& tables = built.tables;
    // Every accepted list passes the proof that lets the walks read its
    // tables unchecked (OwnedTables faults otherwise).
    const vexlo::OwnedTables owned(tables.nodes, tables.edges, tables.pool, tables.spellings,
                                   tables.spelling_text);
    CHECK(tables.rule_count == list.rules.size(), text);
    std::string read_back;
    const BuiltTables again =
        build_rule_tables(rules_of_trie(tables.view(), tables.listed_spellings(), read_back), {});
    CHECK(again.errors.empty() && same_tables(again.tables, tables), text);

    std::unordered_set<std::string> names;
    for (const ListRule& rule : list.rules) {
        add_with_parents(rule.name, names);
        const std::optional<std::string> twin = twin_of(rule.name);
        if (twin) add_with_parents(*twin, names);
    }
    CHECK(tables.nodes.size() == names.size() + 1, text);

    vexlo::testing::ListModel model;
    for (const ListRule& rule : list.rules) {
        const unsigned kind = static_cast<unsigned>(rule.kind);
        const bool icann = rule.section == Section::icann;
        model.add({std::string(rule.name), kind, icann});
        if (const std::optional<std::string> twin = twin_of(rule.name)) {
            model.add({*twin, kind, icann}, std::string(rule.name));
        }
    }
    for (const std::string& name : names) {
        for (const std::string& asked : {name, "a." + name, "b.a." + name, "x" + name}) {
            const std::uint64_t dots = vexlo::dot_bitmap(asked.data(), asked.size());
            const std::size_t labels = 1 + static_cast<std::size_t>(std::count(asked.begin(), asked.end(), '.'));
            for (const bool accept_unknown : {true, false}) {
                const vexlo::Verdict verdict =
                    vexlo::rule_verdict(owned.tables(), asked, dots, labels, accept_unknown);
                const vexlo::testing::ModelVerdict explained = model.explain(asked, accept_unknown);
                CHECK(verdict.public_length == explained.length, text);
                CHECK(verdict.icann_length == explained.icann_length, text);
                const vexlo::MatchView view{asked, asked, dots, labels, verdict.public_length, true};
                const std::optional<vexlo::RuleText> rule = vexlo::decided_rule(owned.tables(), view, verdict);
                CHECK(rule.has_value() == explained.rule.has_value(), text);
                if (rule) {
                    CHECK(std::string(rule->mark) + std::string(rule->name) == *explained.rule, text);
                }
                const std::optional<std::string_view> section = vexlo::decided_section(owned.tables(), verdict);
                CHECK(section.has_value() == explained.section.has_value(), text);
                if (section) CHECK(*section == *explained.section, text);
                for (const bool icann_only : {false, true}) {
                    const vexlo::Switches switches{accept_unknown, icann_only};
                    const std::size_t expected = model.length(asked, accept_unknown, icann_only);
                    CHECK(vexlo::public_suffix_length(owned.tables(), asked, dots, labels, switches) ==
                              expected,
                          text);
                    vexlo::ShortMatch short_match;
                    std::string_view given = asked;
                    if (vexlo::match_short<0>(owned.tables(), given, switches, short_match) ==
                        vexlo::ShortOutcome::kMatched) {
                        CHECK(short_match.public_length == expected, text);
                    }
                }
            }
        }
    }
    return 0;
}
