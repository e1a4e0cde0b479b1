#include "columns/arrow_export.h"

#include <atomic>
#include <cerrno>
#include <new>
#include <span>
#include <string>
#include <utility>

#include "columns/column_memory.h"

namespace vexlo {

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

// Objects of the export live in column memory, as the buffers do (and the
// C++ tests' failing allocators reach them too).
template <class T>
T* create() {
    return new (column_memory::allocate(sizeof(T))) T();
}

template <class T>
void destroy(T* object) noexcept {
    object->~T();
    std::free(object);
}

using Kind = ResultType::Kind;

// The structs of one exported array (or schema) and of its descendants (a
// list's items, a dictionary, a struct's fields and their dictionaries), and
// the buffers they describe, in one block made before anything moves into
// it, so that a failure leaves the result whole. Each struct holds a share
// of the block, so that a consumer may move a child out and release it on
// its own; the last share released frees the block.
template <class Struct>
class Exported {
public:
    struct Node {
        Struct self{};  // a descendant's struct; the root's is copied out
        Struct* children[kExtractFieldCount] = {};
        Buffer buffers[3];  // arrays only
        const void* pointers[3] = {};
    };

    static Exported* create(std::size_t nodes) {
        void* place = column_memory::allocate(sizeof(Exported) + nodes * sizeof(Node));
        auto* block = new (place) Exported;
        block->count_ = nodes;
        for (std::size_t k = 0; k < nodes; ++k) new (block->node(k)) Node;
        return block;
    }
    // The next node, whose struct takes a share of the block.
    Node& next() noexcept {
        ++shares_;
        return *node(used_++);
    }
    static void release(Struct* self) {
        if (self == nullptr || self->release == nullptr) return;
        for (std::int64_t c = 0; c < self->n_children; ++c) release(self->children[c]);
        release(self->dictionary);
        self->release = nullptr;
        auto* block = static_cast<Exported*>(self->private_data);
        if (block->shares_.fetch_sub(1, std::memory_order_acq_rel) > 1) return;
        for (std::size_t k = 0; k < block->count_; ++k) block->node(k)->~Node();
        destroy(block);
    }

private:
    Node* node(std::size_t k) noexcept { return reinterpret_cast<Node*>(this + 1) + k; }
    std::atomic<std::size_t> shares_{0};
    std::size_t count_ = 0;
    std::size_t used_ = 0;
};

// The structs an export of `type` takes: its own, its items' or its
// dictionary's, and each field's with its dictionary's.
std::size_t nodes_of(const ResultType& type) noexcept {
    if (type.kind == Kind::kStruct) return 1 + type.fields.count * nodes_of(type.field());
    return type.kind == Kind::kParts || type.kind == Kind::kDictionary ? 2 : 1;
}

// The array of `result`, its buffers moved into the next node of `block`
// and its descendants' arrays made in the block too.
ArrowArray& put_array(ResultColumn& result, Exported<ArrowArray>& block) noexcept {
    const Kind kind = result.type.kind;
    auto& node = block.next();
    node.buffers[0] = std::move(result.validity);
    node.buffers[1] = std::move(result.values);
    if (kind == Kind::kText) node.buffers[2] = std::move(result.data);
    for (int b = 0; b < 3; ++b) node.pointers[b] = node.buffers[b].data();
    ArrowArray& self = node.self;
    const std::int64_t buffers = kind == Kind::kText ? 3 : kind == Kind::kStruct ? 1 : 2;
    self = {result.length, result.null_count, 0, buffers, 0, node.pointers, node.children, nullptr,
            Exported<ArrowArray>::release, &block};
    if (kind == Kind::kParts) {
        ResultColumn items;  // a text column, never null
        items.type = {Kind::kText, result.type.wide_offsets};
        items.length = result.item_count;
        items.values = std::move(result.item_offsets);
        items.data = std::move(result.data);
        node.children[self.n_children++] = &put_array(items, block);
    } else if (kind == Kind::kDictionary) {
        self.dictionary = &put_array(*result.dictionary, block);
    }
    for (ResultColumn& field : result.children) {
        node.children[self.n_children++] = &put_array(field, block);
    }
    return self;
}

// The schema of `type`, named `name`, in the next node of `block`, and its
// descendants' made in the block too.
ArrowSchema& put_schema(const ResultType& type, const char* name,
                        Exported<ArrowSchema>& block) noexcept {
    auto& node = block.next();
    ArrowSchema& self = node.self;
    self = {type.format(), name, nullptr, ARROW_FLAG_NULLABLE, 0, node.children, nullptr,
            Exported<ArrowSchema>::release, &block};
    const ResultType text{Kind::kText, type.wide_offsets};  // the items, the dictionary
    if (type.kind == Kind::kParts) {
        node.children[self.n_children++] = &put_schema(text, "item", block);
    } else if (type.kind == Kind::kDictionary) {
        self.dictionary = &put_schema(text, "", block);
    }
    if (type.kind != Kind::kStruct) return self;
    for (const ExtractField field : type.fields.chosen()) {
        // The names are string literals, and so end in a NUL.
        const char* const field_name = kExtractFieldNames[static_cast<std::size_t>(field)].data();
        node.children[self.n_children++] = &put_schema(type.field(), field_name, block);
    }
    return self;
}

void export_array(ResultColumn&& result, ArrowArray* out) {
    *out = put_array(result, *Exported<ArrowArray>::create(nodes_of(result.type)));
}

void export_schema(const ResultType& type, ArrowSchema* out) {
    *out = put_schema(type, "", *Exported<ArrowSchema>::create(nodes_of(type)));
}

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
