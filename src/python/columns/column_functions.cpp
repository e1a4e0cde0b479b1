// The column functions' C++ side: an Arrow array, an Arrow stream or a list
// of str and None in, the answers out in the same kind of container. The
// Arrow structs arrive and leave in PyCapsules as the Arrow PyCapsule
// interface names them; what is imported is released exactly once on every
// path. Names are answered without the interpreter lock.
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
#include "columns/answer_dictionary.h"
#include "columns/arrow_export.h"
#include "columns/arrow_owned.h"
#include "columns/string_column.h"
#include "python/arguments.h"
#include "python/boundary.h"
#include "python/columns/arrow_capsules.h"
#include "python/columns/arrow_names.h"
#include "python/columns/column_request.h"
#include "python/columns/functions.h"
#include "python/questions/extracted_record.h"
#include "python/results.h"
#include "python/scopes.h"

namespace vexlo::python {
namespace {

constexpr std::string_view kArrayParameters[] = {"schema", "array", "buffer_sizes", "request"};
constexpr std::string_view kChunksParameters[] = {"schema", "chunks", "request"};
constexpr std::string_view kStreamParameters[] = {"stream", "request"};
constexpr std::string_view kListParameters[] = {"items", "request"};
constexpr std::string_view kFieldsParameters[] = {"request"};

constexpr FunctionSignature kAnswerArray = positional_only("_answer_array", kArrayParameters);
constexpr FunctionSignature kAnswerChunks = positional_only("_answer_chunks", kChunksParameters);
constexpr FunctionSignature kAnswerStream = positional_only("_answer_stream", kStreamParameters);
constexpr FunctionSignature kAnswerList = positional_only("_answer_list", kListParameters);
constexpr FunctionSignature kRequestFields = positional_only("_request_fields", kFieldsParameters);

PyError out_of_memory() {
    return PyError::with_message(PyExc_MemoryError, "out of memory for the answers of a column");
}

// Answers the names of a column without the interpreter lock: a
// dictionary-encoded one asks each entry of its dictionary once, with the
// threads its count is given.
ResultColumn answer_unlocked(const ImportedNames& names, const ColumnArguments& arguments,
                             std::int64_t length_for_threads) {
    try {
        const WithoutInterpreterLock unlocked;
        if (const auto* plain = std::get_if<StringColumn>(&names)) {
            return answer_column(*plain, arguments.for_column(length_for_threads, plain->large()),
                                 *arguments.tables);
        }
        const DictionaryColumn& dictionary = std::get<DictionaryColumn>(names);
        return answer_dictionary(
            dictionary, arguments.for_column(length_for_threads, dictionary.values().large()),
            *arguments.tables);
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
PyObject* stream_capsule(std::vector<ResultColumn>&& chunks, const ColumnArguments& arguments,
                         const NameColumn& column) {
    OwnedStream answers;
    try {
        const ColumnRequest request = arguments.for_column(0, column.large);
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
    auto* array = capsule_struct<ArrowArray>(PyTuple_GET_ITEM(item, 0), kArrayCapsule,
                                             kChunksParameters[1], "Arrow array");
    chunk.sizes = sizes_argument(PyTuple_GET_ITEM(item, 1), kChunksParameters[1]);
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

}  // namespace

// _answer_array(schema, array, buffer_sizes, request, /)
PyObject* answer_array(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_frame([&] {
        std::array<PyObject*, std::size(kArrayParameters)> slots{};
        extract_arguments(kAnswerArray, args, nargs, kwnames, slots);
        auto* schema = capsule_struct<ArrowSchema>(slots[0], kSchemaCapsule, kArrayParameters[0],
                                                   "Arrow schema");
        auto* array = capsule_struct<ArrowArray>(slots[1], kArrayCapsule, kArrayParameters[1],
                                                 "Arrow array");
        const std::vector<std::int64_t> sizes = sizes_argument(slots[2], kArrayParameters[2]);
        const ColumnArguments& arguments = *request_argument(slots[3], kArrayParameters[3]);
        // Taken over from here on: released once, whatever happens below.
        OwnedArray owned;
        take_capsule_struct(slots[1], array, owned, kArrayParameters[1], "Arrow array");
        const NameColumn column = name_column(*schema);
        const ImportedNames names = import_names(column, *owned, sizes);
        ResultColumn result = answer_unlocked(names, arguments, names_asked(names));
        owned.reset();
        return array_capsules(std::move(result));
    });
}

// _answer_chunks(schema, chunks, request, /): the chunks of one column of
// type `schema`, answered with the threads its whole length is given.
PyObject* answer_chunks(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_frame([&] {
        std::array<PyObject*, std::size(kChunksParameters)> slots{};
        extract_arguments(kAnswerChunks, args, nargs, kwnames, slots);
        auto* schema = capsule_struct<ArrowSchema>(slots[0], kSchemaCapsule, kChunksParameters[0],
                                                   "Arrow schema");
        if (!PyTuple_Check(slots[1])) {
            argument_error(kChunksParameters[1], not_an_instance(slots[1], "tuple"));
        }
        const ColumnArguments& arguments = *request_argument(slots[2], kChunksParameters[2]);
        const NameColumn column = name_column(*schema);

        // Every chunk is taken over and checked before any is answered.
        const auto count = static_cast<std::size_t>(PyTuple_GET_SIZE(slots[1]));
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
            chunk_argument(PyTuple_GET_ITEM(slots[1], static_cast<Py_ssize_t>(i)), i, chunks[i]);
            names.push_back(import_names(column, *chunks[i].array, chunks[i].sizes));
            total += names_asked(names.back());
        }
        for (std::size_t i = 0; i < count; ++i) results[i] = answer_unlocked(names[i], arguments, total);
        chunks.clear();
        return stream_capsule(std::move(results), arguments, column);
    });
}

// _answer_stream(stream, request, /): each array answered as it comes, with
// the threads its own length is given (the stream's whole length is not
// known before its end).
PyObject* answer_stream(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_frame([&] {
        std::array<PyObject*, std::size(kStreamParameters)> slots{};
        extract_arguments(kAnswerStream, args, nargs, kwnames, slots);
        auto* source = capsule_struct<ArrowArrayStream>(slots[0], kStreamCapsule,
                                                        kStreamParameters[0], "Arrow stream");
        const ColumnArguments& arguments = *request_argument(slots[1], kStreamParameters[1]);
        OwnedStream stream;
        take_capsule_struct(slots[0], source, stream, kStreamParameters[0], "Arrow stream");

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
            ResultColumn result = answer_unlocked(names, arguments, names_asked(names));
            try {
                chunks.push_back(std::move(result));
            } catch (const std::bad_alloc&) {
                throw out_of_memory();
            }
        }
        stream.reset();
        return stream_capsule(std::move(chunks), arguments, column);
    });
}

// _answer_list(items, request, /)
PyObject* answer_list(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_frame([&] {
        std::array<PyObject*, std::size(kListParameters)> slots{};
        extract_arguments(kAnswerList, args, nargs, kwnames, slots);
        const ColumnArguments& arguments = *request_argument(slots[1], kListParameters[1]);
        // A tuple of its own holds every item while the lock is given up,
        // whatever other threads do to the caller's list meanwhile.
        const Owned items(checked(PySequence_Tuple(slots[0])));
        std::vector<std::string_view> texts;
        std::vector<std::uint8_t> nulls;
        list_texts(items.get(), texts, nulls);
        const StringColumn column(texts, nulls);
        const ResultColumn result = answer_unlocked(ImportedNames(column), arguments, column.size());
        Owned list(checked(PyList_New(static_cast<Py_ssize_t>(result.length))));
        for (std::int64_t i = 0; i < result.length; ++i) {
            PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), checked(answer_object(result, i)));
        }
        return list.release();
    });
}

// _request_fields(request, /)
PyObject* request_fields(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_frame([&] {
        std::array<PyObject*, std::size(kFieldsParameters)> slots{};
        extract_arguments(kRequestFields, args, nargs, kwnames, slots);
        const ColumnArguments& arguments = *request_argument(slots[0], kFieldsParameters[0]);
        if (arguments.request.question != Question::kExtract) return Py_NewRef(Py_None);
        const std::span<const ExtractField> fields = arguments.request.fields.chosen();
        return checked(make_tuple(fields.size(), [&](std::size_t i) {
            const std::string_view name = kExtractFieldNames[static_cast<std::size_t>(fields[i])];
            return PyUnicode_FromStringAndSize(name.data(), static_cast<Py_ssize_t>(name.size()));
        }));
    });
}

}  // namespace vexlo::python
