// Finding the names in what an Arrow producer handed over (a column of
// strings or a dictionary-encoded one, or a table of one such column) and
// importing them, checked before any name is read.
#pragma once

#include <Python.h>

#include <cstdint>
#include <optional>
#include <span>
#include <variant>
#include <vector>

#include "columns/arrow_abi.h"
#include "columns/column_import.h"
#include "python/py_error.h"
#include <string_view>

namespace vexlo::python {

// Where the names are: the array itself, or the one column of a table (a
// struct of one field, as record batches of one column are).
struct NameColumn {
    const ArrowSchema* schema;
    bool in_table;
    bool large;  // the names are large_string: text answers are too
    // The type of the indices of a dictionary-encoded column.
    std::optional<IndexType> dictionary;
};

// Where the names of a column of type `schema` are; a TypeError for a column
// that holds none.
NameColumn name_column(const ArrowSchema& schema);

// The names of one array, plain or dictionary-encoded.
using ImportedNames = std::variant<StringColumn, DictionaryColumn>;

ImportedNames import_names(const NameColumn& column, const ArrowArray& array,
                           std::span<const std::int64_t> sizes);

// The buffer sizes passed as `parameter`: a tuple of int or None (unknown),
// or None for no sizes.
std::vector<std::int64_t> sizes_argument(PyObject* object, std::string_view parameter);

}  // namespace vexlo::python
