// A list file loaded at run time: its tables, owned and proven as the
// compiled ones are, and what is known of the list. The same reading as the
// build's (compile_list), so a file the build refuses is refused here with
// the same reason.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "list_file/list_errors.h"
#include "rules/compiled_list.h"
#include "rules/owned_tables.h"
#include "rules/rule_tables.h"

namespace vexlo::list_file {

struct LoadedList {
    OwnedTables tables;
    std::string checksum;  // SHA-256 of the file's bytes, lowercase hex
    std::optional<std::string> version;
    std::size_t rule_count;  // rule lines of the file, and extra rules
    std::size_t twin_count;
};

struct LoadOutcome {
    std::unique_ptr<LoadedList> list;  // null when the file is refused
    ListErrors errors;                 // the first error kept, all counted
};

// Reads the bytes of a list file, with `extra` rules on top of its own, in
// its PRIVATE section (parse_list). The checksum is that of the file's
// bytes; the rule count includes the extra rules. Throws std::bad_alloc when
// memory runs out, having kept nothing; a Fault when the tables built fail
// their proof, which a list the reader accepts never does.
LoadOutcome load_list(std::string_view data, std::span<const std::string_view> extra = {});

// The compiled list, whose tables `tables` are, with `extra` rules on top:
// the tables that load_list gives for the list's file and the same extra
// rules, built from the rules the tables hold (trie_rules.h). The checksum
// and version are the list's; the counts are its own plus the extra rules
// and the twins they add. Throws as load_list does.
LoadOutcome extend_list(const RuleTables& tables, const CompiledList& list,
                        std::span<const std::string_view> extra);

// Why a list was refused, in one line: "line 12: <reason>" (or "extra rule
// 2: <reason>"), and how many more lines are faulty.
std::string refusal_message(const ListErrors& errors);

}  // namespace vexlo::list_file
