// Answering one call of a SQL function: DuckDB's whole chunk of rows in one
// pass, on the thread DuckDB calls from. The names go through the batch front
// end and the batch walk a block at a time, as a column's do, and every row
// gets the answer that the Python function gives for the same arguments.
#pragma once

#include <memory>

#include "duckdb/duckdb_api.h"
#include "duckdb/loaded_lists.h"
#include "duckdb/sql_functions.h"

namespace vexlo::duckdb {

// What a registered overload carries to its calls.
struct FunctionInfo {
    const Form* form;
    std::shared_ptr<const LoadedLists> lists;
};

// The scalar function of every form (duckdb_scalar_function_t). A NULL
// argument makes the row NULL. An invalid name is NULL from the functions
// that answer text and false from the predicates; a text without a host is
// NULL from psl_host, and a record of NULLs from psl_extract (as
// vexlo.extract gives one of Nones). A negative depth, or `rules` naming no loaded list,
// fails the query with a message; nothing is ever written into a row but
// an answer.
void answer_chunk(duckdb_function_info info, duckdb_data_chunk input, duckdb_vector output);

}  // namespace vexlo::duckdb
