#include "list_file/loaded_list.h"

#include <utility>

#include "list_file/build_tables.h"

namespace vexlo::list_file {

LoadOutcome load_list(std::string_view data) {
    // Only the first error is spelled out; the others are counted.
    BuiltTables built = compile_list(data, 1);
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

std::string refusal_message(const ListErrors& errors) {
    std::string message;
    if (!errors.first.empty()) {
        const ListError& first = errors.first.front();
        message = first.line != 0 ? "line " + std::to_string(first.line) + ": " + first.reason
                                  : first.reason;
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
