// The column functions' C++ side: an Arrow array, an Arrow stream or a list
// of str and None in, the answers out in the same kind of container. The
// Arrow structs arrive and leave in PyCapsules as the Arrow PyCapsule
// interface names them; what is imported is released exactly once on every
// path. Names are answered without the interpreter lock.
#include <Python.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "columns/answer_column.h"
#include "columns/arrow_export.h"
#include "columns/arrow_owned.h"
#include "columns/string_column.h"
#include "rules/compiled_tables.h"
#include "columns_module/function_tables.h"
#include "columns_module/glue_support.h"

namespace vexlo::columns_module {
namespace {

constexpr const char* kSchemaCapsule = "arrow_schema";
constexpr const char* kArrayCapsule = "arrow_array";
constexpr const char* kStreamCapsule = "arrow_array_stream";
constexpr Py_ssize_t kRequestArguments = 6;  // question, three switches, depth, threads

PyError out_of_memory() {
    return PyError::with_message(PyExc_MemoryError, "out of memory for the answers of a column");
}

// question, accept_unknown, icann_only, keep_case, depth, threads: checked
// by vexlo.columns already, so only their types are checked again here.
bool extract_request(const char* function, PyObject* const* args, ColumnRequest& request,
                     unsigned& threads, PyError& error) {
    unsigned question = 0;
    if (!extract_count(function, "question", args[0], question, error)) return false;
    if (question > static_cast<unsigned>(Question::kSubdomain)) {
        error = value_error(std::string(function) + "(): no question " + std::to_string(question));
        return false;
    }
    request.question = static_cast<Question>(question);
    return extract_bool(function, "accept_unknown", args[1], request.accept_unknown, error) &&
           extract_bool(function, "icann_only", args[2], request.icann_only, error) &&
           extract_bool(function, "keep_case", args[3], request.keep_case, error) &&
           extract_count(function, "depth", args[4], request.depth, error) &&
           extract_count(function, "threads", args[5], threads, error);
}

// The threads for `names` names: the caller's count, or 0 for the default.
unsigned threads_for(unsigned requested, std::int64_t names) {
    return requested != 0 ? requested : default_thread_count(names);
}

// The struct inside a capsule of the Arrow PyCapsule interface, or null with
// `error` set. A struct that was already moved out (released) is refused.
template <class Struct>
Struct* capsule_struct(PyObject* capsule, const char* name, const char* what, PyError& error) {
    if (!PyCapsule_IsValid(capsule, name)) {
        error = type_error(std::string("expected a PyCapsule named '") + name + "' holding " + what +
                           ", got " + type_name(capsule));
        return nullptr;
    }
    auto* held = static_cast<Struct*>(PyCapsule_GetPointer(capsule, name));
    if (held->release == nullptr) {
        error = value_error(std::string("the ") + what + " was already released or taken");
        return nullptr;
    }
    return held;
}

template <class Struct>
void release_capsule_struct(PyObject* capsule, const char* name) noexcept {
    auto* held = static_cast<Struct*>(PyCapsule_GetPointer(capsule, name));
    if (held == nullptr) {
        PyErr_Clear();
        return;
    }
    if (held->release != nullptr) held->release(held);
    delete held;
}

void release_schema_capsule(PyObject* capsule) noexcept {
    release_capsule_struct<ArrowSchema>(capsule, kSchemaCapsule);
}
void release_array_capsule(PyObject* capsule) noexcept {
    release_capsule_struct<ArrowArray>(capsule, kArrayCapsule);
}
void release_stream_capsule(PyObject* capsule) noexcept {
    release_capsule_struct<ArrowArrayStream>(capsule, kStreamCapsule);
}

// A capsule owning `owner`'s struct (moved into it), or null with the
// interpreter's exception pending and `owner` untouched.
template <class Struct>
PyObject* new_capsule(ArrowOwner<Struct>& owner, const char* name, PyCapsule_Destructor release) {
    auto* held = new (std::nothrow) Struct;
    if (held == nullptr) return PyErr_NoMemory();
    held->release = nullptr;
    PyObject* capsule = PyCapsule_New(held, name, release);
    if (capsule == nullptr) {
        delete held;
        return nullptr;
    }
    owner.move_to(held);
    return capsule;
}

bool is_string_format(std::string_view format) {
    return format == "u" || format == "U" || format == "vu";
}

// Where the names are: the array itself, or the one column of a table (a
// struct of one string field, as record batches of one column are).
struct NameColumn {
    const ArrowSchema* schema;
    bool in_table;
};

std::optional<NameColumn> name_column(const ArrowSchema& schema, PyError& error) {
    const std::string_view format = schema.format != nullptr ? schema.format : "";
    if (is_string_format(format)) return NameColumn{&schema, false};
    if (format == "+s" && schema.n_children == 1 && schema.children[0]->format != nullptr &&
        is_string_format(schema.children[0]->format)) {
        return NameColumn{schema.children[0], true};
    }
    if (format == "+s") {
        error = type_error("expected a column of names, got a table of " +
                           std::to_string(schema.n_children) +
                           " columns; pass its column of names alone");
        return std::nullopt;
    }
    error = type_error("expected a string, large_string or string_view column, got " +
                       describe_arrow_format(schema.format != nullptr ? schema.format : ""));
    return std::nullopt;
}

// The array of names inside `array` (the table's column, with the table's
// own offset and length), checked as far as the table adds anything.
std::optional<ArrowArray> names_array(const NameColumn& column, const ArrowArray& array,
                                      PyError& error) {
    if (!column.in_table) return array;
    if (array.n_children != 1 || array.children == nullptr || array.children[0] == nullptr) {
        error = value_error("the table's array does not hold its one column");
        return std::nullopt;
    }
    if (array.null_count != 0 && array.n_buffers > 0 && array.buffers != nullptr &&
        array.buffers[0] != nullptr) {
        error = value_error("the table has null rows; only its column's own elements may be null");
        return std::nullopt;
    }
    ArrowArray names = *array.children[0];
    if (array.offset < 0 || array.length < 0 || names.offset < 0 ||
        array.offset > names.length || array.length > names.length - array.offset) {
        error = value_error("the table's rows lie outside its column");
        return std::nullopt;
    }
    names.offset += array.offset;
    names.length = array.length;
    return names;
}

std::optional<StringColumn> import_names(const NameColumn& column, const ArrowArray& array,
                                         std::span<const std::int64_t> sizes, PyError& error) {
    std::optional<ArrowArray> names = names_array(column, array, error);
    if (!names) return std::nullopt;
    ImportResult imported = import_string_column(*column.schema, *names, sizes);
    if (auto* problem = std::get_if<ImportProblem>(&imported)) {
        error = problem->is_type_error ? type_error(problem->message) : value_error(problem->message);
        return std::nullopt;
    }
    return std::get<StringColumn>(std::move(imported));
}

// Buffer sizes from a tuple of int or None (unknown), or no sizes for None.
bool extract_sizes(PyObject* object, std::vector<std::int64_t>& sizes, PyError& error) {
    if (object == Py_None) return true;
    if (!PyTuple_Check(object)) {
        error = type_error("buffer sizes must be a tuple or None, not " + type_name(object));
        return false;
    }
    for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(object); ++i) {
        PyObject* item = PyTuple_GET_ITEM(object, i);
        if (item == Py_None) {
            sizes.push_back(-1);
            continue;
        }
        const long long size = PyLong_Check(item) ? PyLong_AsLongLong(item) : -1;
        if (!PyLong_Check(item) || (size == -1 && PyErr_Occurred()) || size < 0) {
            PyErr_Clear();
            error = type_error("buffer size " + std::to_string(i) +
                               " must be a non-negative int or None");
            return false;
        }
        sizes.push_back(size);
    }
    return true;
}

// Answers `column` without the interpreter lock; false with `error` set when
// memory ran out.
bool answer_unlocked(const StringColumn& column, ColumnRequest& request, unsigned threads,
                     ResultColumn& result, PyError& error) {
    request.large_text = column.large();
    request.threads = threads_for(threads, column.size());
    try {
        const WithoutInterpreterLock unlocked;
        result = answer_column(column, request, compiled_tables());
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
//               keep_case, depth, threads, buffer_sizes, /)
PyObject* answer_array(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
    return call_frame([&](PyError& error) -> PyObject* {
        constexpr const char* kName = "_answer_array";
        if (!check_count(kName, nargs, 3 + kRequestArguments, error)) return nullptr;
        auto* schema = capsule_struct<ArrowSchema>(args[0], kSchemaCapsule, "an Arrow schema", error);
        if (schema == nullptr) return nullptr;
        auto* array = capsule_struct<ArrowArray>(args[1], kArrayCapsule, "an Arrow array", error);
        if (array == nullptr) return nullptr;
        ColumnRequest request{Question::kPublicSuffix};
        unsigned threads = 0;
        std::vector<std::int64_t> sizes;
        if (!extract_request(kName, args + 2, request, threads, error) ||
            !extract_sizes(args[2 + kRequestArguments], sizes, error)) {
            return nullptr;
        }
        // Taken over from here on: released once, whatever happens below.
        OwnedArray owned(array);
        const std::optional<NameColumn> column = name_column(*schema, error);
        if (!column) return nullptr;
        const std::optional<StringColumn> names = import_names(*column, *owned, sizes, error);
        if (!names) return nullptr;
        ResultColumn result;
        if (!answer_unlocked(*names, request, threads, result, error)) return nullptr;
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
//                depth, threads, /)
PyObject* answer_stream(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
    return call_frame([&](PyError& error) -> PyObject* {
        constexpr const char* kName = "_answer_stream";
        if (!check_count(kName, nargs, 1 + kRequestArguments, error)) return nullptr;
        auto* source =
            capsule_struct<ArrowArrayStream>(args[0], kStreamCapsule, "an Arrow stream", error);
        if (source == nullptr) return nullptr;
        ColumnRequest request{Question::kPublicSuffix};
        unsigned threads = 0;
        if (!extract_request(kName, args + 1, request, threads, error)) return nullptr;
        OwnedStream stream(source);

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
            if (!answer_unlocked(*names, request, threads, result, error)) return nullptr;
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
                               module::utf8_or(PyType_GetQualName(Py_TYPE(item)), "?") +
                               ", not str or None");
            return false;
        }
        Py_ssize_t size = 0;
        const char* utf8 = PyUnicode_AsUTF8AndSize(item, &size);
        if (utf8 == nullptr) {
            // A lone surrogate: the scalar functions refuse it too.
            error = take_pending_exception();
            const std::string note = "while processing column item " + std::to_string(i);
            if (PyObject* exception = error.exception_object()) {
                if (PyObject* text = PyUnicode_FromStringAndSize(note.data(),
                                                                 static_cast<Py_ssize_t>(note.size()))) {
                    if (PyObject* done = PyObject_CallMethod(exception, "add_note", "O", text)) {
                        Py_DECREF(done);
                    }
                    Py_DECREF(text);
                }
                PyErr_Clear();
            }
            return false;
        }
        texts[static_cast<std::size_t>(i)] = {utf8, static_cast<std::size_t>(size)};
    }
    return true;
}

PyObject* new_str(std::string_view text) {
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

// The Python object of answer i: None, a bool, a str or a tuple of str, as
// the scalar function gives it; a null input gives None.
PyObject* answer_object(const ResultColumn& result, std::int64_t i) {
    if (result.is_null(i)) return Py_NewRef(Py_None);
    switch (result.kind) {
        case ResultColumn::Kind::kBool:
            return Py_NewRef(result.truth(i) ? Py_True : Py_False);
        case ResultColumn::Kind::kText:
            return new_str(result.text(i));
        case ResultColumn::Kind::kParts: {
            const PartsView parts = result.parts(i);
            return make_tuple(parts.size(), [&](std::size_t j) { return new_str(parts[j]); });
        }
    }
    return Py_NewRef(Py_None);
}

// _answer_list(items, question, accept_unknown, icann_only, keep_case,
//              depth, threads, /)
PyObject* answer_list(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
    return call_frame([&](PyError& error) -> PyObject* {
        constexpr const char* kName = "_answer_list";
        if (!check_count(kName, nargs, 1 + kRequestArguments, error)) return nullptr;
        ColumnRequest request{Question::kPublicSuffix};
        unsigned threads = 0;
        if (!extract_request(kName, args + 1, request, threads, error)) return nullptr;
        // A tuple of its own holds every item while the lock is given up,
        // whatever other threads do to the caller's list meanwhile.
        PyObject* items = PySequence_Tuple(args[0]);
        if (items == nullptr) {
            error = take_pending_exception();
            return nullptr;
        }
        struct Release {
            PyObject* items;
            ~Release() { Py_DECREF(items); }
        } release{items};
        std::vector<std::string_view> texts;
        std::vector<std::uint8_t> nulls;
        if (!list_texts(items, texts, nulls, error)) return nullptr;
        const StringColumn column(texts, nulls);
        ResultColumn result;
        if (!answer_unlocked(column, request, threads, result, error)) return nullptr;
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

}  // namespace

PyMethodDef columns_functions[] = {
    {"_answer_array", as_cfunction(answer_array), METH_FASTCALL,
     "_answer_array(schema, array, question, accept_unknown, icann_only, keep_case, depth, "
     "threads, buffer_sizes, /)\n--\n\n"
     "The answers for an Arrow array of names (PyCapsules 'arrow_schema' and\n"
     "'arrow_array', the array taken over), as such a pair of capsules."},
    {"_answer_stream", as_cfunction(answer_stream), METH_FASTCALL,
     "_answer_stream(stream, question, accept_unknown, icann_only, keep_case, depth, threads, "
     "/)\n--\n\n"
     "The answers for an Arrow stream of names (a PyCapsule 'arrow_array_stream',\n"
     "taken over and read to its end), as such a capsule."},
    {"_answer_list", as_cfunction(answer_list), METH_FASTCALL,
     "_answer_list(items, question, accept_unknown, icann_only, keep_case, depth, threads, "
     "/)\n--\n\n"
     "The answers for an iterable of str and None, as a list."},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace vexlo::columns_module
