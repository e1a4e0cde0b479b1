#include "columns/arrow_export.h"

#include <cerrno>
#include <new>
#include <span>
#include <string>
#include <utility>

#include "columns/column_memory.h"

namespace vexlo {

namespace {

// Objects of the export live in column memory, as the buffers do (and the
// C++ tests' failing allocators reach them too).
template <class T, class... Args>
T* create(Args&&... args) {
    void* place = column_memory::allocate(sizeof(T));
    return new (place) T(std::forward<Args>(args)...);
}

template <class T>
void destroy(T* object) noexcept {
    object->~T();
    std::free(object);
}

// The release callback of an array or schema made here: its children and
// its dictionary released, then its holder, of type Holder, freed.
template <class Parent, class Holder>
void release_held(Parent* parent) {
    if (parent == nullptr || parent->release == nullptr) return;
    for (std::int64_t c = 0; c < parent->n_children; ++c) {
        Parent* child = parent->children[c];
        if (child != nullptr && child->release != nullptr) child->release(child);
    }
    if (parent->dictionary != nullptr && parent->dictionary->release != nullptr) {
        parent->dictionary->release(parent->dictionary);
    }
    if (parent->private_data != nullptr) destroy(static_cast<Holder*>(parent->private_data));
    parent->release = nullptr;
}

// What an exported array owns: its buffers and, for a list, its items; for
// a dictionary-encoded array, its dictionary.
struct ArrayHolder {
    Buffer buffers[3];
    const void* pointers[3] = {nullptr, nullptr, nullptr};
    ArrowArray child{};
    ArrowArray* children[1] = {&child};
};

void fill_array(ArrowArray* out, ArrayHolder* holder, std::int64_t length, std::int64_t nulls,
                std::int64_t buffers) {
    for (int b = 0; b < 3; ++b) holder->pointers[b] = holder->buffers[b].data();
    out->length = length;
    out->null_count = nulls;
    out->offset = 0;
    out->n_buffers = buffers;
    out->n_children = 0;
    out->buffers = holder->pointers;
    out->children = nullptr;
    out->dictionary = nullptr;
    out->release = release_held<ArrowArray, ArrayHolder>;
    out->private_data = holder;
}

struct SchemaHolder {
    ArrowSchema child{};
    ArrowSchema* children[1] = {&child};
};

// What an exported struct owns: its validity and its fields' arrays, which
// its release callback releases with it.
struct StructHolder {
    Buffer validity;
    const void* pointers[1] = {nullptr};
    ArrowArray fields[kExtractFieldCount]{};
    ArrowArray* children[kExtractFieldCount] = {};
};

struct StructSchemaHolder {
    ArrowSchema fields[kExtractFieldCount]{};
    ArrowSchema* children[kExtractFieldCount] = {};
};

// Fills each of a struct holder's `count` fields with export_field(c, field)
// in turn, and points its children at them. Should one throw, those done
// are released again and the holder freed.
template <class Holder, class ExportField>
void export_fields(Holder* holder, std::size_t count, ExportField&& export_field) {
    for (std::size_t c = 0; c < count; ++c) {
        try {
            export_field(c, &holder->fields[c]);
        } catch (...) {
            for (std::size_t done = 0; done < c; ++done) holder->fields[done].release(&holder->fields[done]);
            destroy(holder);
            throw;
        }
        holder->children[c] = &holder->fields[c];
    }
}

void fill_schema(ArrowSchema* out, const char* format, const char* name, SchemaHolder* holder) {
    out->format = format;
    out->name = name;
    out->metadata = nullptr;
    out->flags = ARROW_FLAG_NULLABLE;
    out->n_children = 0;
    out->children = nullptr;
    out->dictionary = nullptr;
    out->release = release_held<ArrowSchema, SchemaHolder>;
    out->private_data = holder;
}

}  // namespace

const char* ResultType::format() const noexcept {
    switch (kind) {
        case Kind::kText: return wide_offsets ? "U" : "u";
        case Kind::kBool: return "b";
        case Kind::kParts: return wide_lists ? "+L" : "+l";
        case Kind::kStruct: return "+s";
        case Kind::kDictionary: return index_format(index_type);
    }
    return "";
}

namespace {

// A struct's fields each exported in turn; those done are released again
// should one fail.
void export_struct(ResultColumn&& result, ArrowArray* out) {
    StructHolder* holder = create<StructHolder>();
    const std::size_t count = result.children.size();
    export_fields(holder, count, [&](std::size_t c, ArrowArray* field) {
        export_array(std::move(result.children[c]), field);
    });
    holder->validity = std::move(result.validity);
    holder->pointers[0] = holder->validity.data();
    out->length = result.length;
    out->null_count = result.null_count;
    out->offset = 0;
    out->n_buffers = 1;
    out->n_children = static_cast<std::int64_t>(count);
    out->buffers = holder->pointers;
    out->children = holder->children;
    out->dictionary = nullptr;
    out->release = release_held<ArrowArray, StructHolder>;
    out->private_data = holder;
}

}  // namespace

void export_array(ResultColumn&& result, ArrowArray* out) {
    if (result.type.kind == ResultType::Kind::kStruct) return export_struct(std::move(result), out);
    ArrayHolder* holder = create<ArrayHolder>();
    ArrayHolder* items = nullptr;  // a list's items, a dictionary's answers
    if (result.type.kind == ResultType::Kind::kParts || result.type.kind == ResultType::Kind::kDictionary) {
        try {
            items = create<ArrayHolder>();
        } catch (...) {
            destroy(holder);
            throw;
        }
    }
    // Nothing below allocates.
    holder->buffers[0] = std::move(result.validity);
    holder->buffers[1] = std::move(result.values);
    switch (result.type.kind) {
        case ResultType::Kind::kText:
            holder->buffers[2] = std::move(result.data);
            fill_array(out, holder, result.length, result.null_count, 3);
            return;
        case ResultType::Kind::kBool:
            fill_array(out, holder, result.length, result.null_count, 2);
            return;
        case ResultType::Kind::kParts:
            items->buffers[1] = std::move(result.item_offsets);
            items->buffers[2] = std::move(result.data);
            fill_array(&holder->child, items, result.item_count, 0, 3);
            fill_array(out, holder, result.length, result.null_count, 2);
            out->n_children = 1;
            out->children = holder->children;
            return;
        case ResultType::Kind::kDictionary: {
            ResultColumn& answers = *result.dictionary;
            items->buffers[1] = std::move(answers.values);
            items->buffers[2] = std::move(answers.data);
            fill_array(&holder->child, items, answers.length, 0, 3);
            fill_array(out, holder, result.length, result.null_count, 2);
            out->dictionary = &holder->child;
            return;
        }
        case ResultType::Kind::kStruct:
            break;  // export_struct's, above
    }
}

void export_schema(const ResultType& type, ArrowSchema* out) {
    if (type.kind == ResultType::Kind::kStruct) {
        StructSchemaHolder* holder = create<StructSchemaHolder>();
        const std::span<const ExtractField> fields = type.fields.chosen();
        export_fields(holder, fields.size(), [&](std::size_t c, ArrowSchema* field) {
            export_schema(type.field(), field);
            // The names are string literals, and so end in a NUL.
            field->name = kExtractFieldNames[static_cast<std::size_t>(fields[c])].data();
        });
        fill_schema(out, type.format(), "", nullptr);
        out->release = release_held<ArrowSchema, StructSchemaHolder>;
        out->private_data = holder;
        out->n_children = static_cast<std::int64_t>(fields.size());
        out->children = holder->children;
        return;
    }
    if (type.kind != ResultType::Kind::kParts && type.kind != ResultType::Kind::kDictionary) {
        fill_schema(out, type.format(), "", nullptr);
        return;
    }
    SchemaHolder* holder = create<SchemaHolder>();
    if (type.kind == ResultType::Kind::kDictionary) {
        fill_schema(&holder->child, type.item_format(), "", nullptr);
        fill_schema(out, type.format(), "", holder);
        out->dictionary = &holder->child;
        return;
    }
    fill_schema(&holder->child, type.item_format(), "item", nullptr);
    fill_schema(out, type.format(), "", holder);
    out->n_children = 1;
    out->children = holder->children;
}

void export_result(ResultColumn&& result, ArrowArray* out_array, ArrowSchema* out_schema) {
    ArrowSchema schema;
    export_schema(result.type, &schema);
    try {
        export_array(std::move(result), out_array);
    } catch (...) {
        schema.release(&schema);
        throw;
    }
    *out_schema = schema;
}

namespace {

struct StreamState {
    std::vector<ResultColumn> chunks;
    std::size_t next = 0;
    ResultType type;
    std::string last_error;
};

int stream_get_schema(ArrowArrayStream* stream, ArrowSchema* out) {
    auto* state = static_cast<StreamState*>(stream->private_data);
    try {
        export_schema(state->type, out);
        return 0;
    } catch (const std::bad_alloc&) {
        state->last_error = "out of memory while exporting the schema";
        return ENOMEM;
    }
}

int stream_get_next(ArrowArrayStream* stream, ArrowArray* out) {
    auto* state = static_cast<StreamState*>(stream->private_data);
    if (state->next == state->chunks.size()) {
        out->release = nullptr;  // the end of the stream
        return 0;
    }
    try {
        export_array(std::move(state->chunks[state->next]), out);
    } catch (const std::bad_alloc&) {
        state->last_error = "out of memory while exporting a chunk";
        return ENOMEM;
    }
    // The chunk's buffers now belong to the exported array.
    state->chunks[state->next] = ResultColumn();
    ++state->next;
    return 0;
}

const char* stream_get_last_error(ArrowArrayStream* stream) {
    auto* state = static_cast<StreamState*>(stream->private_data);
    return state->last_error.empty() ? nullptr : state->last_error.c_str();
}

void stream_release(ArrowArrayStream* stream) {
    if (stream == nullptr || stream->release == nullptr) return;
    destroy(static_cast<StreamState*>(stream->private_data));
    stream->release = nullptr;
}

}  // namespace

void export_stream(std::vector<ResultColumn>&& chunks, const ResultType& type,
                   ArrowArrayStream* out_stream) {
    StreamState* state = create<StreamState>();
    state->type = type;
    state->chunks = std::move(chunks);
    out_stream->get_schema = stream_get_schema;
    out_stream->get_next = stream_get_next;
    out_stream->get_last_error = stream_get_last_error;
    out_stream->release = stream_release;
    out_stream->private_data = state;
}

}  // namespace vexlo
