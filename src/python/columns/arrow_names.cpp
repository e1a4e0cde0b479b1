#include "python/columns/arrow_names.h"

#include <string>
#include <string_view>

#include "python/arguments.h"

namespace vexlo::python {
namespace {

// The column a schema describes, if its names are strings or dictionary
// indices into strings.
std::optional<NameColumn> names_of(const ArrowSchema& schema, bool in_table) {
    constexpr auto kLarge = StringColumn::Layout::kOffsets64;
    if (schema.dictionary == nullptr) {
        const std::optional<StringColumn::Layout> layout = string_layout(schema.format);
        if (!layout) return std::nullopt;
        return NameColumn{&schema, in_table, *layout == kLarge, std::nullopt};
    }
    const std::optional<IndexType> index = index_type_of(schema.format != nullptr ? schema.format : "");
    const ArrowSchema& values = *schema.dictionary;
    const std::optional<StringColumn::Layout> layout = string_layout(values.format);
    if (!index || values.dictionary != nullptr || !layout) return std::nullopt;
    return NameColumn{&schema, in_table, *layout == kLarge, index};
}

// "int64", "a dictionary of int64 values", for a column that is no names.
std::string described(const ArrowSchema& schema) {
    if (schema.dictionary == nullptr) return describe_arrow_format(schema.format);
    if (!index_type_of(schema.format != nullptr ? schema.format : "")) {
        return "a dictionary-encoded column with " + describe_arrow_format(schema.format) +
               " indices";
    }
    const ArrowSchema& values = *schema.dictionary;
    if (values.dictionary != nullptr) return "a dictionary of dictionary-encoded values";
    return "a dictionary of " + describe_arrow_format(values.format) + " values";
}

// The array of names inside `array` (the table's column, with the table's
// own offset and length), checked as far as the table adds anything.
ArrowArray names_array(const NameColumn& column, const ArrowArray& array) {
    if (!column.in_table) return array;
    if (array.n_children != 1 || array.children == nullptr || array.children[0] == nullptr) {
        throw value_error("the table's array does not hold its one column");
    }
    if (array.null_count != 0 && array.n_buffers > 0 && array.buffers != nullptr &&
        array.buffers[0] != nullptr) {
        throw value_error("the table has null rows; only its column's own elements may be null");
    }
    ArrowArray names = *array.children[0];
    if (array.offset < 0 || array.length < 0 || names.offset < 0 ||
        array.offset > names.length || array.length > names.length - array.offset) {
        throw value_error("the table's rows lie outside its column");
    }
    names.offset += array.offset;
    names.length = array.length;
    return names;
}

}  // namespace

NameColumn name_column(const ArrowSchema& schema) {
    if (std::optional<NameColumn> names = names_of(schema, false)) return *names;
    const std::string_view format = schema.format != nullptr ? schema.format : "";
    if (format == "+s" && schema.n_children == 1 && schema.children[0] != nullptr) {
        if (std::optional<NameColumn> names = names_of(*schema.children[0], true)) return *names;
    }
    if (format == "+s") {
        throw type_error("expected a column of names, got a table of " +
                         std::to_string(schema.n_children) +
                         " columns; pass its column of names alone");
    }
    throw type_error("expected a string, large_string or string_view column, or one "
                     "dictionary-encoded into such values, got " + described(schema));
}

ImportedNames import_names(const NameColumn& column, const ArrowArray& array,
                           std::span<const std::int64_t> sizes) {
    ColumnImport imported = import_column(*column.schema, names_array(column, array), sizes);
    if (auto* problem = std::get_if<ImportProblem>(&imported)) {
        throw problem->is_type_error ? type_error(problem->message) : value_error(problem->message);
    }
    if (auto* plain = std::get_if<StringColumn>(&imported)) return ImportedNames(*plain);
    return ImportedNames(std::get<DictionaryColumn>(imported));
}

std::vector<std::int64_t> sizes_argument(PyObject* object, std::string_view parameter) {
    std::vector<std::int64_t> sizes;
    if (object == Py_None) return sizes;
    if (!PyTuple_Check(object)) argument_error(parameter, not_an_instance(object, "tuple"));
    for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(object); ++i) {
        PyObject* item = PyTuple_GET_ITEM(object, i);
        if (item == Py_None) {
            sizes.push_back(-1);
            continue;
        }
        const long long size = PyLong_Check(item) ? PyLong_AsLongLong(item) : -1;
        if (!PyLong_Check(item) || (size == -1 && PyErr_Occurred()) || size < 0) {
            PyErr_Clear();
            argument_error(parameter, type_error("buffer size " + std::to_string(i) +
                                                 " must be a non-negative int or None"));
        }
        sizes.push_back(size);
    }
    return sizes;
}

}  // namespace vexlo::python
