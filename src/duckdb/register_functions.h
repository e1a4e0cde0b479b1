// Making the extension's functions known to the database that loads it.
#pragma once

#include <memory>
#include <string>

#include "duckdb/duckdb_api.h"
#include "duckdb/loaded_lists.h"

namespace vexlo::duckdb {

// Every function of the extension: the question functions of
// sql_functions.h, psl_list_checksum() and psl_load_rules(). False, with
// `error` saying why, when DuckDB refuses one or memory runs out.
bool register_functions(duckdb_connection connection, std::string& error);

// psl_load_rules(path): loads a list file into `lists`.
bool register_load_rules(duckdb_connection connection, const std::shared_ptr<LoadedLists>& lists,
                         std::string& error);

}  // namespace vexlo::duckdb
