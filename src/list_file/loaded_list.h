// A list file loaded at run time: its tables, owned and proven as the
// compiled ones are, and what is known of the list. The same reading as the
// build's (compile_list), so a file the build refuses is refused here with
// the same reason.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "list_file/list_errors.h"
#include "rules/owned_tables.h"

namespace vexlo::list_file {

struct LoadedList {
    OwnedTables tables;
    std::string checksum;  // SHA-256 of the file's bytes, lowercase hex
    std::optional<std::string> version;
    std::size_t rule_count;
    std::size_t twin_count;
};

struct LoadOutcome {
    std::unique_ptr<LoadedList> list;  // null when the file is refused
    ListErrors errors;                 // the first error kept, all counted
};

// Reads the bytes of a list file. Throws std::bad_alloc when memory runs
// out, having kept nothing; a Fault when the tables built fail their proof,
// which a list the reader accepts never does.
LoadOutcome load_list(std::string_view data);

// Why a list was refused, in one line: "line 12: <reason>", and how many more
// lines are faulty.
std::string refusal_message(const ListErrors& errors);

}  // namespace vexlo::list_file
