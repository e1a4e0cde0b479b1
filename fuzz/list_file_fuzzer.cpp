// Random and mutated list files through the parser and the table builder,
// as a list loaded at run time goes: no crash and no leak; the errors kept
// for the first one agree with the full report; and every list accepted
// makes tables that pass the walks' proof, with one node for each name that
// a rule or its twin spells out, and for each of their parents, and answers
// as the tests' independent model of the same rules does, for names made
// from every rule: the lengths in both views, and the rule that decided, as
// the list writes it, with its section.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "list_file/build_tables.h"
#include "list_file/parse_list.h"
#include "list_file/punycode.h"
#include "common/dots.h"
#include "list_model.h"
#include "query/extract.h"
#include "query/short_match.h"
#include "rules/owned_tables.h"
#include "rules/public_suffix.h"

namespace {

using namespace vexlo::list_file;

[[noreturn]] void fail(const char* what, std::string_view text) {
    std::fprintf(stderr, "invariant broken: %s\ninput (%zu bytes):", what, text.size());
    for (unsigned char byte : text) std::fprintf(stderr, " %02x", byte);
    std::fputc('\n', stderr);
    std::abort();
}

#define CHECK(condition, text)                    \
    do {                                          \
        if (!(condition)) fail(#condition, text); \
    } while (false)

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
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
