// The answers for a column function's column: a list or tuple of str and
// None answered directly, as a list; an Arrow array, the chunks of one
// column or an Arrow stream (the structs taken over from their PyCapsules,
// as the Arrow PyCapsule interface names them, and released exactly once on
// every path) answered in Arrow's layout and handed back in capsules. Names
// are answered without the interpreter lock.
#include "python/columns/column_answers.h"

#include <Python.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "columns/answer_column.h"
#include "columns/column_import.h"
#include "columns/answer_dictionary.h"
#include "columns/arrow_export.h"
#include "columns/arrow_owned.h"
#include "columns/string_column.h"
#include "python/arguments.h"
#include "python/boundary.h"
#include "python/columns/arrow_capsules.h"
#include "python/columns/arrow_names.h"
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

// The request for a column of `names` names, `large` when they came as
// large_string.
ColumnRequest for_column(const ColumnCall& call, std::int64_t names, bool large) noexcept {
    ColumnRequest column = call.request;
    column.threads = call.threads ? *call.threads : default_thread_count(names);
    column.large_text = large;
    return column;
}

// Answers the names of a column without the interpreter lock: a
// dictionary-encoded one asks each entry of its dictionary once, with the
// threads its count is given.
ResultColumn answer_unlocked(const ImportedNames& names, const ColumnCall& call,
                             std::int64_t length_for_threads) {
    try {
        const WithoutInterpreterLock unlocked;
        if (const auto* plain = std::get_if<StringColumn>(&names)) {
            return answer_column(*plain, for_column(call, length_for_threads, plain->large()),
                                 *call.tables);
        }
        const DictionaryColumn& dictionary = std::get<DictionaryColumn>(names);
        return answer_dictionary(
            dictionary, for_column(call, length_for_threads, dictionary.values().large()),
            *call.tables);
    } catch (const std::bad_alloc&) {
        throw out_of_memory();
    }
}

// How many names an array asks: its own, or its dictionary's.
std::int64_t names_asked(const ImportedNames& names) {
    if (const auto* plain = std::get_if<StringColumn>(&names)) return plain->size();
    return std::get<DictionaryColumn>(names).values().size();
}

// (schema capsule, array capsule) holding `result`.
PyObject* array_capsules(ResultColumn&& result) {
    OwnedArray array;
    OwnedSchema schema;
    try {
        export_result(std::move(result), array.get(), schema.get());
    } catch (const std::bad_alloc&) {
        throw out_of_memory();
    }
    return checked(make_tuple(2, [&](std::size_t i) {
        return i == 0 ? new_capsule(schema, kSchemaCapsule, release_schema_capsule)
                      : new_capsule(array, kArrayCapsule, release_array_capsule);
    }));
}

// A stream capsule handing out `chunks` in order, the answers for `column`.
PyObject* stream_capsule(std::vector<ResultColumn>&& chunks, const ColumnCall& call,
                         const NameColumn& column) {
    OwnedStream answers;
    try {
        const ColumnRequest request = for_column(call, 0, column.large);
        export_stream(std::move(chunks), type_for(request, column.dictionary), answers.get());
    } catch (const std::bad_alloc&) {
        throw out_of_memory();
    }
    return checked(new_capsule(answers, kStreamCapsule, release_stream_capsule));
}

// One chunk of _answer_chunks: (array capsule, buffer_sizes).
struct Chunk {
    OwnedArray array;
    std::vector<std::int64_t> sizes;
};

void chunk_argument(PyObject* item, std::size_t index, Chunk& chunk) {
    if (!PyTuple_Check(item) || PyTuple_GET_SIZE(item) != 2) {
        throw annotate_item_error(
            "chunk", index,
            type_error("a chunk is a tuple (array capsule, buffer sizes), not " +
                       qualified_type_name(Py_TYPE(item))));
    }
    auto* array = capsule_struct<ArrowArray>(PyTuple_GET_ITEM(item, 0), kArrayCapsule, kColumn,
                                             "Arrow array");
    chunk.sizes = sizes_argument(PyTuple_GET_ITEM(item, 1), kColumn);
    chunk.array = OwnedArray(array);
}

// The error of a stream's callback that returned `code`.
PyError stream_error(ArrowArrayStream& stream, int code, const char* during) {
    const char* message = stream.get_last_error != nullptr ? stream.get_last_error(&stream) : nullptr;
    std::string text = std::string("the Arrow stream failed ") + during + ": ";
    text += message != nullptr ? message : std::strerror(code);
    if (code == ENOMEM) return PyError::with_message(PyExc_MemoryError, std::move(text));
    return PyError::with_message(PyExc_OSError, std::move(text));
}

// The texts of a tuple of str and None, borrowed from its items.
void list_texts(PyObject* items, std::vector<std::string_view>& texts,
                std::vector<std::uint8_t>& nulls) {
    const Py_ssize_t count = PyTuple_GET_SIZE(items);
    try {
        texts.resize(static_cast<std::size_t>(count));
        nulls.resize(static_cast<std::size_t>(count));
    } catch (const std::bad_alloc&) {
        throw out_of_memory();
    }
    for (Py_ssize_t i = 0; i < count; ++i) {
        PyObject* item = PyTuple_GET_ITEM(items, i);
        if (item == Py_None) {
            nulls[static_cast<std::size_t>(i)] = 1;
            continue;
        }
        if (!PyUnicode_Check(item)) {
            throw type_error("column item " + std::to_string(i) + " is " +
                             qualified_type_name(Py_TYPE(item)) + ", not str or None");
        }
        Py_ssize_t size = 0;
        const char* utf8 = PyUnicode_AsUTF8AndSize(item, &size);
        if (utf8 == nullptr) {
            // A lone surrogate: the scalar functions refuse it too.
            throw annotate_item_error("column item", static_cast<std::size_t>(i),
                                      take_pending_exception());
        }
        texts[static_cast<std::size_t>(i)] = {utf8, static_cast<std::size_t>(size)};
    }
}

// Record i of extract's answers: a vexlo.Extracted of every field when they
// were all asked for in its order, as vexlo.extract gives it; else a tuple of
// the fields asked for, in their order. A failure to make it is a fault, as
// vexlo.extract's.
PyObject* record_object(const ResultColumn& result, std::int64_t i) {
    const std::span<const ExtractField> fields = result.fields.chosen();
    const auto field_text = [&](std::size_t c) -> std::optional<std::string_view> {
        const ResultColumn& child = result.children[c];
        if (child.is_null(i)) return std::nullopt;
        return child.text(i);
    };
    if (result.fields == ExtractFields::all()) {
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
    switch (result.kind) {
        case ResultColumn::Kind::kBool:
            return Py_NewRef(result.truth(i) ? Py_True : Py_False);
        case ResultColumn::Kind::kText:
            return new_str(result.text(i), false);
        case ResultColumn::Kind::kParts: {
            const PartsView parts = result.parts(i);
            return make_tuple(parts.size(), [&](std::size_t j) { return new_str(parts[j], false); });
        }
        case ResultColumn::Kind::kStruct:
            return record_object(result, i);
        case ResultColumn::Kind::kDictionary:
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
    list_texts(held.get(), texts, nulls);
    const StringColumn column(texts, nulls);
    const ResultColumn result = answer_unlocked(ImportedNames(column), call, column.size());
    Owned list(checked(PyList_New(static_cast<Py_ssize_t>(result.length))));
    for (std::int64_t i = 0; i < result.length; ++i) {
        PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), checked(answer_object(result, i)));
    }
    return list.release();
}

// The (schema, array) capsules of the answers for one Arrow array: `source`
// is (schema capsule, array capsule, buffer sizes or None).
PyObject* answer_array(PyObject* source, const ColumnCall& call) {
    PyObject* schema_capsule = PyTuple_GET_ITEM(source, 0);
    PyObject* array_capsule = PyTuple_GET_ITEM(source, 1);
    auto* schema = capsule_struct<ArrowSchema>(schema_capsule, kSchemaCapsule, kColumn,
                                               "Arrow schema");
    auto* array = capsule_struct<ArrowArray>(array_capsule, kArrayCapsule, kColumn, "Arrow array");
    const std::vector<std::int64_t> sizes = sizes_argument(PyTuple_GET_ITEM(source, 2), kColumn);
    // Taken over from here on: released once, whatever happens below.
    OwnedArray owned;
    take_capsule_struct(array_capsule, array, owned, kColumn, "Arrow array");
    const NameColumn column = name_column(*schema);
    const ImportedNames names = import_names(column, *owned, sizes);
    ResultColumn result = answer_unlocked(names, call, names_asked(names));
    owned.reset();
    return array_capsules(std::move(result));
}

// The stream capsule of the answers for the chunks of one column: `source`
// is (schema capsule, ((array capsule, buffer sizes or None), ...)). They are
// answered with the threads the column's whole length is given.
PyObject* answer_chunks(PyObject* source, const ColumnCall& call) {
    auto* schema = capsule_struct<ArrowSchema>(PyTuple_GET_ITEM(source, 0), kSchemaCapsule,
                                               kColumn, "Arrow schema");
    PyObject* given = PyTuple_GET_ITEM(source, 1);
    if (!PyTuple_Check(given)) argument_error(kColumn, not_an_instance(given, "tuple"));
    const NameColumn column = name_column(*schema);

    // Every chunk is taken over and checked before any is answered.
    const auto count = static_cast<std::size_t>(PyTuple_GET_SIZE(given));
    std::vector<Chunk> chunks;
    std::vector<ImportedNames> names;
    std::vector<ResultColumn> results;
    try {
        chunks.resize(count);
        names.reserve(count);
        results.resize(count);
    } catch (const std::bad_alloc&) {
        throw out_of_memory();
    }
    std::int64_t total = 0;
    for (std::size_t i = 0; i < count; ++i) {
        chunk_argument(PyTuple_GET_ITEM(given, static_cast<Py_ssize_t>(i)), i, chunks[i]);
        names.push_back(import_names(column, *chunks[i].array, chunks[i].sizes));
        total += names_asked(names.back());
    }
    for (std::size_t i = 0; i < count; ++i) results[i] = answer_unlocked(names[i], call, total);
    chunks.clear();
    return stream_capsule(std::move(results), call, column);
}

// The stream capsule of the answers for an Arrow stream, each array
// answered as it comes, with the threads its own length is given (the
// stream's whole length is not known before its end).
PyObject* answer_stream(PyObject* source, const ColumnCall& call) {
    auto* given = capsule_struct<ArrowArrayStream>(source, kStreamCapsule, kColumn, "Arrow stream");
    OwnedStream stream;
    take_capsule_struct(source, given, stream, kColumn, "Arrow stream");

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
        throw stream_error(*stream, code, "to describe itself");
    }
    const NameColumn column = name_column(*schema);

    std::vector<ResultColumn> chunks;
    while (true) {
        OwnedArray chunk;
        {
            const WithoutInterpreterLock unlocked;
            code = stream->get_next(stream.get(), chunk.get());
        }
        if (code != 0) {
            chunk->release = nullptr;
            throw stream_error(*stream, code, "to give its next array");
        }
        if (chunk.empty()) break;  // the end
        const ImportedNames names = import_names(column, *chunk, {});
        ResultColumn result = answer_unlocked(names, call, names_asked(names));
        try {
            chunks.push_back(std::move(result));
        } catch (const std::bad_alloc&) {
            throw out_of_memory();
        }
    }
    stream.reset();
    return stream_capsule(std::move(chunks), call, column);
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

bool is_kind(PyObject* kind, const char* name) {
    return PyUnicode_Check(kind) && PyUnicode_EqualToUTF8(kind, name);
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
    if (!PyTuple_Check(described.get()) || PyTuple_GET_SIZE(described.get()) != 3) {
        throw Fault("vexlo.columns._column_source gave no (kind, source, finish)");
    }
    PyObject* kind = PyTuple_GET_ITEM(described.get(), 0);
    PyObject* source = PyTuple_GET_ITEM(described.get(), 1);
    PyObject* finish = PyTuple_GET_ITEM(described.get(), 2);
    const bool sized = PyTuple_Check(source);
    Owned answers;
    if (is_kind(kind, "items")) {
        answers = Owned(answer_items(source, call));
    } else if (is_kind(kind, "stream")) {
        answers = Owned(answer_stream(source, call));
    } else if (is_kind(kind, "array") && sized && PyTuple_GET_SIZE(source) == 3) {
        answers = Owned(answer_array(source, call));
    } else if (is_kind(kind, "chunks") && sized && PyTuple_GET_SIZE(source) == 2) {
        answers = Owned(answer_chunks(source, call));
    } else {
        throw Fault("vexlo.columns._column_source gave a source of no known kind");
    }
    if (finish == Py_None) return answers.release();
    return checked(PyObject_CallOneArg(finish, answers.get()));
}

}  // namespace vexlo::python
