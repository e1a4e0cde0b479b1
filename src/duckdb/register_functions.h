// Making the extension's functions known to the database that loads it.
#pragma once

#include <memory>
#include <string>

#include "duckdb/duckdb_api.h"
#include "duckdb/loaded_lists.h"

namespace vexlo::duckdb {

// The question functions of sql_functions.h and psl_list_checksum(). False,
// with `error` saying which, when DuckDB refuses one.
bool register_question_functions(duckdb_connection connection,
                                 const std::shared_ptr<LoadedLists>& lists, std::string& error);

// psl_load_rules(path): loads a list file into `lists`.
bool register_load_rules(duckdb_connection connection, const std::shared_ptr<LoadedLists>& lists,
                         std::string& error);

}  // namespace vexlo::duckdb
