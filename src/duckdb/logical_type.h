// A DuckDB logical type, owned: destroyed once, when it goes out of scope.
// DuckDB copies a type wherever it is handed one.
#pragma once

#include <memory>
#include <type_traits>

#include "duckdb/duckdb_api.h"

namespace vexlo::duckdb {

struct DestroyLogicalType {
    void operator()(duckdb_logical_type type) const noexcept { duckdb_destroy_logical_type(&type); }
};
using LogicalType = std::unique_ptr<std::remove_pointer_t<duckdb_logical_type>, DestroyLogicalType>;

inline LogicalType logical_type(duckdb_type id) {
    return LogicalType(duckdb_create_logical_type(id));
}

}  // namespace vexlo::duckdb
