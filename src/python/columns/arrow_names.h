// Finding the names in what an Arrow producer handed over (a string column,
// or a table of one string column) and importing them, checked before any
// name is read.
#pragma once

#include <Python.h>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "columns/arrow_abi.h"
#include "columns/column_import.h"
#include "python/py_error.h"

namespace vexlo::python {

// Where the names are: the array itself, or the one column of a table (a
// struct of one string field, as record batches of one column are).
struct NameColumn {
    const ArrowSchema* schema;
    bool in_table;
};

std::optional<NameColumn> name_column(const ArrowSchema& schema, PyError& error);

std::optional<StringColumn> import_names(const NameColumn& column, const ArrowArray& array,
                                         std::span<const std::int64_t> sizes, PyError& error);

// The buffer sizes passed as `parameter`: a tuple of int or None (unknown),
// or None for no sizes.
bool extract_sizes(PyObject* object, std::string_view parameter, std::vector<std::int64_t>& sizes,
                   PyError& error);

}  // namespace vexlo::python
