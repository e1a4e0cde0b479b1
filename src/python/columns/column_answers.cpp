// The answers for a column function's column: a list or tuple of str and
// None answered directly, as a list; an Arrow array, the chunks of one
// column or an Arrow stream (the structs taken over from their PyCapsules,
// as the Arrow PyCapsule interface names them, and released exactly once on
// every path) answered in Arrow's layout and handed back in capsules. Names
// are answered without the interpreter lock.
#include "python/columns/column_answers.h"

#include <Python.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "columns/answer_arrow.h"
#include "columns/answer_column.h"
#include "columns/arrow_export.h"
#include "columns/string_column.h"
#include "python/arguments.h"
#include "python/columns/arrow_capsules.h"
#include "python/process_once.h"
#include "python/questions/extracted_record.h"
#include "python/results.h"
#include "python/scopes.h"

namespace vexlo::python {
namespace {

constexpr char kColumnSource[] = "_column_source";
// The parameter whose objects the errors about a column's Arrow structs name.
constexpr std::string_view kColumn = "column";

PyError out_of_memory() {
    return PyError::with_message(PyExc_MemoryError, "out of memory for the answers of a column");
}

// Record i of extract's answers: a vexlo.Extracted of every field when they
// were all asked for in its order, as vexlo.extract gives it; else a tuple of
// the fields asked for, in their order. A failure to make it is a fault, as
// vexlo.extract's.
PyObject* record_object(const ResultColumn& result, std::int64_t i) {
    const std::span<const ExtractField> fields = result.type.fields.chosen();
    const auto field_text = [&](std::size_t c) -> std::optional<std::string_view> {
        const ResultColumn& child = result.children[c];
        if (child.is_null(i)) return std::nullopt;
        return child.text(i);
    };
    if (result.type.fields == ExtractFields::all()) {
        std::optional<std::string_view> texts[kExtractFieldCount];
        bool ascii[kExtractFieldCount] = {};
        for (std::size_t c = 0; c < fields.size(); ++c) texts[c] = field_text(c);
        return extracted_record(texts, ascii);
    }
    return make_tuple(fields.size(), [&](std::size_t c) {
        const std::optional<std::string_view> text = field_text(c);
        return text ? new_str(*text, false) : Py_NewRef(Py_None);
    });
}

// The Python object of answer i: None, a bool, a str or a tuple of str, as
// the scalar function gives it, or extract's record; a null input gives None.
// Null with the interpreter's exception set when it cannot be made.
PyObject* answer_object(const ResultColumn& result, std::int64_t i) {
    if (result.is_null(i)) return Py_NewRef(Py_None);
    switch (result.type.kind) {
        case ResultType::Kind::kBool:
            return Py_NewRef(result.truth(i) ? Py_True : Py_False);
        case ResultType::Kind::kText:
            return new_str(result.text(i), false);
        case ResultType::Kind::kParts: {
            const PartsView parts = result.parts(i);
            return make_tuple(parts.size(), [&](std::size_t j) { return new_str(parts[j], false); });
        }
        case ResultType::Kind::kStruct:
            return record_object(result, i);
        case ResultType::Kind::kDictionary:
            return new_str(result.dictionary->text(result.index(i)), false);
    }
    return Py_NewRef(Py_None);
}

// The list of answers for `items`, an iterable of str and None.
PyObject* answer_items(PyObject* items, const ColumnCall& call) {
    // A tuple of its own holds every item while the lock is given up,
    // whatever other threads do to the caller's list meanwhile.
    const Owned held(checked(PySequence_Tuple(items)));
    std::vector<std::string_view> texts;
    std::vector<std::uint8_t> nulls;
    str_items(held.get(), "column item", 0, texts, &nulls);
    const StringColumn column(texts, nulls);
    ColumnRequest request = call.request;
    request.threads = call.threads.value_or(default_thread_count(column.size()));
    ResultColumn result;
    try {
        const WithoutInterpreterLock unlocked;
        widen_for(column, *call.tables, request);
        result = answer_column(column, request, *call.tables);
    } catch (const std::bad_alloc&) {
        throw out_of_memory();
    }
    Owned list(checked(PyList_New(static_cast<Py_ssize_t>(result.length))));
    for (std::int64_t i = 0; i < result.length; ++i) {
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), checked(answer_object(result, i)));
    }
    return list.release();
}

// One array of `source` and its buffer sizes, taken over into `column`.
void take_array(PyObject* array, PyObject* sizes, ArrowColumn& column) {
    std::vector<std::int64_t> known = sizes_argument(sizes, kColumn);
    take_struct(array, kArrayCapsule, column.arrays.emplace_back(), kColumn, "Arrow array");
    column.sizes.push_back(std::move(known));
}

// The structs of an Arrow source (vexlo/columns.py's _column_source), taken
// over from their capsules: "array", (schema, array, buffer sizes);
// "chunks", (schema, ((array, buffer sizes), ...)); "stream", a stream.
void take_column(std::string_view kind, PyObject* source, ArrowColumn& column) {
    if (kind == "stream") {
        return take_struct(source, kStreamCapsule, column.stream, kColumn, "Arrow stream");
    }
    if (!PyTuple_Check(source) || PyTuple_GET_SIZE(source) != (kind == "array" ? 3 : 2)) {
        throw Fault("vexlo.columns._column_source gave a source of another shape");
    }
    take_struct(PyTuple_GET_ITEM(source, 0), kSchemaCapsule, column.schema, kColumn, "Arrow schema");
    if (kind == "array") return take_array(PyTuple_GET_ITEM(source, 1), PyTuple_GET_ITEM(source, 2), column);
    PyObject* chunks = PyTuple_GET_ITEM(source, 1);
    if (!PyTuple_Check(chunks)) argument_error(kColumn, not_an_instance(chunks, "tuple"));
    for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(chunks); ++i) {
        PyObject* chunk = PyTuple_GET_ITEM(chunks, i);
        if (!PyTuple_Check(chunk) || PyTuple_GET_SIZE(chunk) != 2) {
            throw annotate_item_error(
                "chunk", static_cast<std::size_t>(i),
                type_error("a chunk is a tuple (array capsule, buffer sizes), not " +
                           qualified_type_name(Py_TYPE(chunk))));
        }
        take_array(PyTuple_GET_ITEM(chunk, 0), PyTuple_GET_ITEM(chunk, 1), column);
    }
}

// The answers for an Arrow source: for one array a pair of capsules
// (schema, array), else a stream capsule.
PyObject* answer_arrow_source(std::string_view kind, PyObject* source, const ColumnCall& call) {
    // Released here, with the interpreter lock, which a producer's release
    // callback may need.
    ArrowColumn column;
    take_column(kind, source, column);
    ColumnRequest request = call.request;
    request.threads = call.threads.value_or(0);
    ArrowAnswers answers;
    OwnedArray array;
    OwnedSchema schema;
    OwnedStream stream;
    try {
        const WithoutInterpreterLock unlocked;
        answers = answer_arrow(column, request, *call.tables);
        if (kind == "array") {
            export_result(std::move(answers.chunks[0]), array.get(), schema.get());
        } else {
            export_stream(std::move(answers.chunks), answers.type, stream.get());
        }
    } catch (const ColumnError& error) {
        static PyObject* const* const kTypes[] = {&PyExc_TypeError, &PyExc_ValueError,
                                                  &PyExc_OSError, &PyExc_MemoryError};
        throw PyError::with_message(*kTypes[static_cast<int>(error.kind)], error.message);
    } catch (const std::bad_alloc&) {
        throw out_of_memory();
    }
    if (kind != "array") return checked(new_capsule(stream));
    return checked(make_tuple(2, [&](std::size_t i) {
        return i == 0 ? new_capsule(schema) : new_capsule(array);
    }));
}

// The names of the fields extract answers, in their order; None for the
// other questions, whose answers are no records.
PyObject* field_names(const ColumnRequest& request) {
    if (request.question != Question::kExtract) return Py_NewRef(Py_None);
    const std::span<const ExtractField> fields = request.fields.chosen();
    return checked(make_tuple(fields.size(), [&](std::size_t i) {
        const std::string_view name = kExtractFieldNames[static_cast<std::size_t>(fields[i])];
        return PyUnicode_FromStringAndSize(name.data(), static_cast<Py_ssize_t>(name.size()));
    }));
}

}  // namespace

PyObject* answer_column_call(PyObject* module, const ColumnCall& call) {
    if (PyList_CheckExact(call.column) || PyTuple_CheckExact(call.column)) {
        return answer_items(call.column, call);
    }
    const Owned fields(field_names(call.request));
    PyObject* arguments[] = {module, call.column, fields.get()};
    const Owned described(checked(
        PyObject_VectorcallMethod(created(interned<kColumnSource>()), arguments, 3, nullptr)));
    Py_ssize_t size = 0;
    const char* kind = nullptr;
    if (PyTuple_Check(described.get()) && PyTuple_GET_SIZE(described.get()) == 3) {
        kind = PyUnicode_Check(PyTuple_GET_ITEM(described.get(), 0))
                   ? PyUnicode_AsUTF8AndSize(PyTuple_GET_ITEM(described.get(), 0), &size)
                   : nullptr;
    }
    const std::string_view known[] = {"items", "array", "chunks", "stream"};
    if (kind == nullptr || std::find(std::begin(known), std::end(known), std::string_view(kind, size)) ==
                               std::end(known)) {
        PyErr_Clear();
        throw Fault("vexlo.columns._column_source gave no (kind, source, finish) of a known kind");
    }
    PyObject* source = PyTuple_GET_ITEM(described.get(), 1);
    PyObject* finish = PyTuple_GET_ITEM(described.get(), 2);
    const std::string_view form(kind, static_cast<std::size_t>(size));
    Owned answers(form == "items" ? answer_items(source, call) : answer_arrow_source(form, source, call));
    if (finish == Py_None) return answers.release();
    return checked(PyObject_CallOneArg(finish, answers.get()));
}

}  // namespace vexlo::python
