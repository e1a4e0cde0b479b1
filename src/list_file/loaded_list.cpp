#include "list_file/loaded_list.h"

#include <utility>

#include "list_file/build_tables.h"
#include "list_file/trie_rules.h"

namespace vexlo::list_file {

namespace {

LoadOutcome loaded(BuiltTables&& built) {
    LoadOutcome outcome;
    if (!built.errors.empty()) {
        outcome.errors = std::move(built.errors);
        return outcome;
    }
    ListTables& tables = built.tables;
    // Built in place: the tables' view points into them, so they never move.
    outcome.list.reset(new LoadedList{
        OwnedTables(std::move(tables.nodes), std::move(tables.edges), std::move(tables.pool),
                    std::move(tables.spellings), std::move(tables.spelling_text)),
        std::move(tables.checksum), std::move(tables.version), tables.rule_count,
        tables.twin_count});
    return outcome;
}

}  // namespace

LoadOutcome load_list(std::string_view data, std::span<const std::string_view> extra) {
    // Only the first error is spelled out; the others are counted.
    return loaded(compile_list(data, extra, 1));
}

LoadOutcome extend_list(const RuleTables& tables, const CompiledList& list,
                        std::span<const std::string_view> extra) {
    std::string names;
    ParsedList rules = rules_of_trie(tables.trie(), tables.listed_spellings(), names);
    if (!extra.empty()) {
        // The extra rules, read on top of an empty file, go after the trie's.
        ParsedList extra_rules = parse_list({}, extra, 1);
        if (!extra_rules.errors.empty()) return loaded({{}, std::move(extra_rules.errors)});
        rules.rules.insert(rules.rules.end(), extra_rules.rules.begin(), extra_rules.rules.end());
        rules.errors.file_lines = extra_rules.errors.file_lines;
    }
    BuiltTables built = build_rule_tables(rules, {}, 1);
    // The builder counts the twins as the list's build did, and those that
    // the extra rules add; the rule lines are the list's own.
    built.tables.checksum = list.checksum;
    if (list.version != nullptr) built.tables.version = list.version;
    built.tables.rule_count = list.rule_count + extra.size();
    return loaded(std::move(built));
}

std::string refusal_message(const ListErrors& errors) {
    std::string message;
    if (!errors.first.empty()) {
        const ListError& first = errors.first.front();
        if (first.line == 0) {
            message = first.reason;
        } else if (first.line > errors.file_lines) {
            message = "extra rule " + std::to_string(first.line - errors.file_lines) + ": " +
                      first.reason;
        } else {
            message = "line " + std::to_string(first.line) + ": " + first.reason;
        }
    }
    const std::size_t more = errors.count - (errors.first.empty() ? 0 : 1);
    if (more == 1) {
        message += " (and 1 more faulty line)";
    } else if (more > 1) {
        message += " (and " + std::to_string(more) + " more faulty lines)";
    }
    return message;
}

}  // namespace vexlo::list_file
