// The column functions' C++ side: an Arrow array, an Arrow stream or a list
// of str and None in, the answers out in the same kind of container. The
// Arrow structs arrive and leave in PyCapsules as the Arrow PyCapsule
// interface names them; what is imported is released exactly once on every
// path. Names are answered without the interpreter lock.
#include <Python.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "columns/answer_column.h"
#include "columns/arrow_export.h"
#include "columns/arrow_owned.h"
#include "columns/string_column.h"
#include "python/argument_conversion.h"
#include "python/boundary.h"
#include "python/columns/arrow_capsules.h"
#include "python/columns/arrow_names.h"
#include "python/columns/column_request.h"
#include "python/columns/function_tables.h"
#include "python/function_signature.h"
#include "python/held_reference.h"
#include "python/interpreter_lock.h"
#include "python/module_setup.h"
#include "python/process_services.h"
#include "python/results.h"
#include "python/tuple_builder.h"
#include "python/type_errors.h"

namespace vexlo::python {
namespace {

constexpr auto kArrayParameters = around_request<2, 1>({"schema", "array"}, {"buffer_sizes"});
constexpr auto kStreamParameters = around_request<1>({"stream"});
constexpr auto kListParameters = around_request<1>({"items"});
constexpr std::string_view kThreadCountParameters[] = {"names"};

constexpr FunctionSignature kAnswerArray = positional_only("_answer_array", kArrayParameters);
constexpr FunctionSignature kAnswerStream = positional_only("_answer_stream", kStreamParameters);
constexpr FunctionSignature kAnswerList = positional_only("_answer_list", kListParameters);
constexpr FunctionSignature kDefaultThreadCount =
    positional_only("_default_thread_count", kThreadCountParameters);

PyError out_of_memory() {
    return PyError::with_message(PyExc_MemoryError, "out of memory for the answers of a column");
}

// Answers `column` without the interpreter lock; false with `error` set when
// memory ran out.
bool answer_unlocked(const StringColumn& column, ColumnRequest& request, unsigned threads,
                     const RuleTables& tables, ResultColumn& result, PyError& error) {
    request.large_text = column.large();
    request.threads = threads_for(threads, column.size());
    try {
        const WithoutInterpreterLock unlocked;
        result = answer_column(column, request, tables);
    } catch (const std::bad_alloc&) {
        error = out_of_memory();
        return false;
    }
    return true;
}

// (schema capsule, array capsule) holding `result`.
PyObject* array_capsules(ResultColumn&& result, PyError& error) {
    OwnedArray array;
    OwnedSchema schema;
    try {
        export_result(std::move(result), array.get(), schema.get());
    } catch (const std::bad_alloc&) {
        error = out_of_memory();
        return nullptr;
    }
    PyObject* capsules = make_tuple(2, [&](std::size_t i) {
        return i == 0 ? new_capsule(schema, kSchemaCapsule, release_schema_capsule)
                      : new_capsule(array, kArrayCapsule, release_array_capsule);
    });
    if (capsules == nullptr) error = take_pending_exception();
    return capsules;
}

// _answer_array(schema, array, question, accept_unknown, icann_only,
//               keep_case, keep_ip, depth, threads, rules, buffer_sizes, /)
PyObject* answer_array(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_frame([&](PyError& error) -> PyObject* {
        std::array<PyObject*, kArrayParameters.size()> slots{};
        if (!extract_arguments(kAnswerArray, args, nargs, kwnames, slots, error)) return nullptr;
        auto* schema = capsule_struct<ArrowSchema>(slots[0], kSchemaCapsule, kArrayParameters[0],
                                                   "Arrow schema", error);
        if (schema == nullptr) return nullptr;
        auto* array = capsule_struct<ArrowArray>(slots[1], kArrayCapsule, kArrayParameters[1],
                                                 "Arrow array", error);
        if (array == nullptr) return nullptr;
        ColumnRequest request{Question::kPublicSuffix};
        unsigned threads = 0;
        const RuleTables* tables = nullptr;
        std::vector<std::int64_t> sizes;
        if (!extract_request(std::span(slots).subspan(2, kRequestParameters.size()), request,
                             threads, tables, error) ||
            !extract_sizes(slots.back(), kArrayParameters.back(), sizes, error)) {
            return nullptr;
        }
        // Taken over from here on: released once, whatever happens below.
        OwnedArray owned;
        if (!take_capsule_struct(slots[1], array, owned, kArrayParameters[1], "Arrow array",
                                 error)) {
            return nullptr;
        }
        const std::optional<NameColumn> column = name_column(*schema, error);
        if (!column) return nullptr;
        const std::optional<StringColumn> names = import_names(*column, *owned, sizes, error);
        if (!names) return nullptr;
        ResultColumn result;
        if (!answer_unlocked(*names, request, threads, *tables, result, error)) return nullptr;
        owned.reset();
        return array_capsules(std::move(result), error);
    });
}

// The error of a stream's callback that returned `code`.
PyError stream_error(ArrowArrayStream& stream, int code, const char* during) {
    const char* message = stream.get_last_error != nullptr ? stream.get_last_error(&stream) : nullptr;
    std::string text = std::string("the Arrow stream failed ") + during + ": ";
    text += message != nullptr ? message : std::strerror(code);
    if (code == ENOMEM) return PyError::with_message(PyExc_MemoryError, std::move(text));
    return PyError::with_message(PyExc_OSError, std::move(text));
}

// _answer_stream(stream, question, accept_unknown, icann_only, keep_case,
//                keep_ip, depth, threads, rules, /)
PyObject* answer_stream(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_frame([&](PyError& error) -> PyObject* {
        std::array<PyObject*, kStreamParameters.size()> slots{};
        if (!extract_arguments(kAnswerStream, args, nargs, kwnames, slots, error)) return nullptr;
        auto* source = capsule_struct<ArrowArrayStream>(slots[0], kStreamCapsule,
                                                        kStreamParameters[0], "Arrow stream", error);
        if (source == nullptr) return nullptr;
        ColumnRequest request{Question::kPublicSuffix};
        unsigned threads = 0;
        const RuleTables* tables = nullptr;
        if (!extract_request(std::span(slots).subspan(1), request, threads, tables, error)) {
            return nullptr;
        }
        OwnedStream stream;
        if (!take_capsule_struct(slots[0], source, stream, kStreamParameters[0], "Arrow stream",
                                 error)) {
            return nullptr;
        }

        // The producer's callbacks run without the interpreter lock: one
        // that needs it takes it, and one that waits on a thread of its own
        // cannot wait for us.
        OwnedSchema schema;
        int code;
        {
            const WithoutInterpreterLock unlocked;
            code = stream->get_schema(stream.get(), schema.get());
        }
        if (code != 0) {
            schema->release = nullptr;  // a failed call leaves nothing to release
            error = stream_error(*stream, code, "to describe itself");
            return nullptr;
        }
        const std::optional<NameColumn> column = name_column(*schema, error);
        if (!column) return nullptr;
        request.large_text = std::string_view(column->schema->format) == "U";

        std::vector<ResultColumn> chunks;
        while (true) {
            OwnedArray chunk;
            {
                const WithoutInterpreterLock unlocked;
                code = stream->get_next(stream.get(), chunk.get());
            }
            if (code != 0) {
                chunk->release = nullptr;
                error = stream_error(*stream, code, "to give its next array");
                return nullptr;
            }
            if (chunk.empty()) break;  // the end
            const std::optional<StringColumn> names = import_names(*column, *chunk, {}, error);
            if (!names) return nullptr;
            ResultColumn result;
            if (!answer_unlocked(*names, request, threads, *tables, result, error)) return nullptr;
            try {
                chunks.push_back(std::move(result));
            } catch (const std::bad_alloc&) {
                error = out_of_memory();
                return nullptr;
            }
        }
        stream.reset();
        OwnedStream answers;
        try {
            export_stream(std::move(chunks), request, answers.get());
        } catch (const std::bad_alloc&) {
            error = out_of_memory();
            return nullptr;
        }
        PyObject* capsule = new_capsule(answers, kStreamCapsule, release_stream_capsule);
        if (capsule == nullptr) error = take_pending_exception();
        return capsule;
    });
}

// The texts of a tuple of str and None, borrowed from its items.
bool list_texts(PyObject* items, std::vector<std::string_view>& texts,
                std::vector<std::uint8_t>& nulls, PyError& error) {
    const Py_ssize_t count = PyTuple_GET_SIZE(items);
    try {
        texts.resize(static_cast<std::size_t>(count));
        nulls.resize(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
        error = out_of_memory();
        return false;
    }
    for (Py_ssize_t i = 0; i < count; ++i) {
        PyObject* item = PyTuple_GET_ITEM(items, i);
        if (item == Py_None) {
            nulls[static_cast<std::size_t>(i)] = 1;
            continue;
        }
        if (!PyUnicode_Check(item)) {
            error = type_error("column item " + std::to_string(i) + " is " +
                               qualified_type_name(Py_TYPE(item)) + ", not str or None");
            return false;
        }
        Py_ssize_t size = 0;
        const char* utf8 = PyUnicode_AsUTF8AndSize(item, &size);
        if (utf8 == nullptr) {
            // A lone surrogate: the scalar functions refuse it too.
            error = annotate_item_error("column item", static_cast<std::size_t>(i),
                                        take_pending_exception());
            return false;
        }
        texts[static_cast<std::size_t>(i)] = {utf8, static_cast<std::size_t>(size)};
    }
    return true;
}

// The Python object of answer i: None, a bool, a str or a tuple of str, as
// the scalar function gives it; a null input gives None. Null with the
// interpreter's exception set when it cannot be made.
PyObject* answer_object(const ResultColumn& result, std::int64_t i) {
    if (result.is_null(i)) return Py_NewRef(Py_None);
    switch (result.kind) {
        case ResultColumn::Kind::kBool:
            return Py_NewRef(result.truth(i) ? Py_True : Py_False);
        case ResultColumn::Kind::kText:
            return new_str(result.text(i), false);
        case ResultColumn::Kind::kParts: {
            const PartsView parts = result.parts(i);
            return make_tuple(parts.size(), [&](std::size_t j) { return new_str(parts[j], false); });
        }
    }
    return Py_NewRef(Py_None);
}

// _answer_list(items, question, accept_unknown, icann_only, keep_case,
//              keep_ip, depth, threads, rules, /)
PyObject* answer_list(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_frame([&](PyError& error) -> PyObject* {
        std::array<PyObject*, kListParameters.size()> slots{};
        if (!extract_arguments(kAnswerList, args, nargs, kwnames, slots, error)) return nullptr;
        ColumnRequest request{Question::kPublicSuffix};
        unsigned threads = 0;
        const RuleTables* tables = nullptr;
        if (!extract_request(std::span(slots).subspan(1), request, threads, tables, error)) {
            return nullptr;
        }
        // A tuple of its own holds every item while the lock is given up,
        // whatever other threads do to the caller's list meanwhile.
        const Owned items(PySequence_Tuple(slots[0]));
        if (items.get() == nullptr) {
            error = take_pending_exception();
            return nullptr;
        }
        std::vector<std::string_view> texts;
        std::vector<std::uint8_t> nulls;
        if (!list_texts(items.get(), texts, nulls, error)) return nullptr;
        const StringColumn column(texts, nulls);
        ResultColumn result;
        if (!answer_unlocked(column, request, threads, *tables, result, error)) return nullptr;
        PyObject* list = PyList_New(static_cast<Py_ssize_t>(result.length));
        if (list == nullptr) {
            error = take_pending_exception();
            return nullptr;
        }
        for (std::int64_t i = 0; i < result.length; ++i) {
            PyObject* answer = answer_object(result, i);
            if (answer == nullptr) {
                Py_DECREF(list);
                error = take_pending_exception();
                return nullptr;
            }
            PyList_SET_ITEM(list, static_cast<Py_ssize_t>(i), answer);
        }
        return list;
    });
}

// _default_thread_count(names, /)
PyObject* default_threads(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_frame([&](PyError& error) -> PyObject* {
        std::array<PyObject*, std::size(kThreadCountParameters)> slots{};
        std::uint64_t names = 0;
        if (!extract_arguments(kDefaultThreadCount, args, nargs, kwnames, slots, error) ||
            !extract_index(slots[0], kThreadCountParameters[0], names, error)) {
            return nullptr;
        }
        constexpr std::uint64_t kLargest = std::numeric_limits<std::int64_t>::max();
        PyObject* count = PyLong_FromUnsignedLong(
            default_thread_count(static_cast<std::int64_t>(std::min(names, kLargest))));
        if (count == nullptr) error = take_pending_exception();
        return count;
    });
}

PyMethodDef function_records[] = {
    {"_answer_array", as_cfunction(answer_array), kCallFlags,
     "_answer_array(schema, array, question, accept_unknown, icann_only, keep_case, keep_ip, "
     "depth, threads, rules, buffer_sizes, /)\n--\n\n"
     "The answers for an Arrow array of names (PyCapsules 'arrow_schema' and\n"
     "'arrow_array', the array taken over), as such a pair of capsules."},
    {"_answer_stream", as_cfunction(answer_stream), kCallFlags,
     "_answer_stream(stream, question, accept_unknown, icann_only, keep_case, keep_ip, depth, "
     "threads, rules, /)\n--\n\n"
     "The answers for an Arrow stream of names (a PyCapsule 'arrow_array_stream',\n"
     "taken over and read to its end), as such a capsule."},
    {"_answer_list", as_cfunction(answer_list), kCallFlags,
     "_answer_list(items, question, accept_unknown, icann_only, keep_case, keep_ip, depth, "
     "threads, rules, /)\n--\n\n"
     "The answers for an iterable of str and None, as a list."},
    {"_default_thread_count", as_cfunction(default_threads), kCallFlags,
     "_default_thread_count(names, /)\n--\n\n"
     "The number of threads that answer a column of *names* names when the\n"
     "caller does not say."},
};

}  // namespace

std::span<PyMethodDef> column_functions() { return function_records; }

}  // namespace vexlo::python
