// A DuckDB logical type, owned: destroyed once, when it goes out of scope.
// DuckDB copies a type wherever it is handed one.
#pragma once

#include "duckdb/duckdb_api.h"

namespace vexlo::duckdb {

class LogicalType {
public:
    explicit LogicalType(duckdb_type id) : type_(duckdb_create_logical_type(id)) {}
    explicit LogicalType(duckdb_logical_type owned) noexcept : type_(owned) {}
    LogicalType(const LogicalType&) = delete;
    LogicalType& operator=(const LogicalType&) = delete;
    ~LogicalType() { duckdb_destroy_logical_type(&type_); }

    // A LIST of `item`.
    static LogicalType list_of(const LogicalType& item) {
        return LogicalType(duckdb_create_list_type(item.type_));
    }

    duckdb_logical_type get() const noexcept { return type_; }

private:
    duckdb_logical_type type_;
};

}  // namespace vexlo::duckdb
