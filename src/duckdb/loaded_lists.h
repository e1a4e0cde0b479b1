// The lists a database has loaded at run time (psl_load_rules), each known by
// the SHA-256 of its file's bytes, and the compiled list by its own: the
// `rules` argument of the SQL functions names one of them. A list, once
// loaded, stays until the database closes: a query may be answering from it
// on any thread, and nothing in DuckDB's stable C API tells when none is.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "list_file/loaded_list.h"
#include "rules/rule_tables.h"

namespace vexlo::duckdb {

class LoadedLists {
public:
    // The tables of the list whose checksum is `checksum`, or null.
    const RuleTables* find(std::string_view checksum) const;

    // Keeps `list`, or the one of the same checksum already kept; returns
    // the one kept.
    const list_file::LoadedList& keep(std::unique_ptr<list_file::LoadedList> list);

private:
    mutable std::mutex mutex_;
    std::map<std::string, std::unique_ptr<list_file::LoadedList>, std::less<>> lists_;
};

}  // namespace vexlo::duckdb
