#include "fake_duckdb.h"

#include <algorithm>
#include <cstring>

#include "normalize/utf8_check.h"

// The API's names are macros that reach into the table; here the table's
// fields themselves are set.
#undef duckdb_data_chunk_get_size
#undef duckdb_data_chunk_get_vector
#undef duckdb_list_vector_get_child
#undef duckdb_list_vector_get_size
#undef duckdb_list_vector_reserve
#undef duckdb_list_vector_set_size
#undef duckdb_scalar_function_get_extra_info
#undef duckdb_scalar_function_set_error
#undef duckdb_struct_vector_get_child
#undef duckdb_vector_assign_string_element_len
#undef duckdb_vector_ensure_validity_writable
#undef duckdb_vector_get_data
#undef duckdb_vector_get_validity

// The table the extension calls DuckDB through, defined here instead of by
// the extension's entry point.
duckdb_ext_api_v1 duckdb_ext_api{};

namespace vexlo::fake_duckdb {
namespace {

std::size_t bad_strings = 0;

Vector& of(duckdb_vector vector) { return *reinterpret_cast<Vector*>(vector); }

}  // namespace

Vector::Vector(Kind kind_, std::size_t capacity_) : kind(kind_), capacity(capacity_) {
    switch (kind) {
        case Kind::kText: texts.reset(new duckdb_string_t[capacity]()); break;
        case Kind::kTruth: truths.reset(new bool[capacity]()); break;
        case Kind::kInteger: integers.reset(new std::int64_t[capacity]()); break;
        case Kind::kList:
            lists.reset(new duckdb_list_entry[capacity]());
            items = std::make_unique<Vector>(Kind::kText, 0);
            break;
        case Kind::kStruct: break;
    }
}

void Vector::set_text(std::size_t row, std::string_view text) {
    duckdb_string_t element{};
    element.value.inlined.length = static_cast<std::uint32_t>(text.size());
    if (text.size() <= sizeof element.value.inlined.inlined) {
        std::memcpy(element.value.inlined.inlined, text.data(), text.size());
    } else {
        heap.emplace_back(new char[text.size()]);
        std::memcpy(heap.back().get(), text.data(), text.size());
        std::memcpy(element.value.pointer.prefix, text.data(), 4);
        element.value.pointer.ptr = heap.back().get();
    }
    texts[row] = element;
}

void Vector::set_null(std::size_t row) {
    if (validity.empty()) validity.assign((capacity + 63) / 64, ~std::uint64_t{0});
    validity[row / 64] &= ~(std::uint64_t{1} << (row % 64));
}

bool Vector::valid(std::size_t row) const {
    return validity.empty() || ((validity[row / 64] >> (row % 64)) & 1) != 0;
}

std::string_view Vector::text(std::size_t row) const {
    const duckdb_string_t& element = texts[row];
    const std::uint32_t size = element.value.inlined.length;
    if (size <= sizeof element.value.inlined.inlined) return {element.value.inlined.inlined, size};
    // The prefix must be the text's own, as DuckDB compares by it.
    if (std::memcmp(element.value.pointer.prefix, element.value.pointer.ptr, 4) != 0) return "<prefix>";
    return {element.value.pointer.ptr, size};
}

std::vector<std::string> Vector::list(std::size_t row) const {
    std::vector<std::string> result;
    for (std::uint64_t k = 0; k < lists[row].length; ++k) {
        result.emplace_back(items->text(lists[row].offset + k));
    }
    return result;
}

void Vector::grow(std::size_t count) {
    if (count <= capacity) return;
    std::unique_ptr<duckdb_string_t[]> moved(new duckdb_string_t[count]());
    std::copy(texts.get(), texts.get() + capacity, moved.get());
    // The old place is filled with what no answer holds.
    std::fill(texts.get(), texts.get() + capacity, duckdb_string_t{});
    texts = std::move(moved);
    if (!validity.empty()) validity.resize((count + 63) / 64, ~std::uint64_t{0});
    capacity = count;
}

void install() {
    bad_strings = 0;
    duckdb_ext_api.duckdb_data_chunk_get_size = [](duckdb_data_chunk chunk) -> idx_t {
        return reinterpret_cast<Chunk*>(chunk)->size;
    };
    duckdb_ext_api.duckdb_data_chunk_get_vector = [](duckdb_data_chunk chunk, idx_t index) {
        return reinterpret_cast<Chunk*>(chunk)->vectors.at(index)->handle();
    };
    duckdb_ext_api.duckdb_vector_get_data = [](duckdb_vector vector) -> void* {
        Vector& v = of(vector);
        switch (v.kind) {
            case Kind::kText: return v.texts.get();
            case Kind::kTruth: return v.truths.get();
            case Kind::kInteger: return v.integers.get();
            case Kind::kList: return v.lists.get();
            case Kind::kStruct: break;
        }
        return nullptr;
    };
    duckdb_ext_api.duckdb_vector_get_validity = [](duckdb_vector vector) -> std::uint64_t* {
        Vector& v = of(vector);
        return v.validity.empty() ? nullptr : v.validity.data();
    };
    duckdb_ext_api.duckdb_vector_ensure_validity_writable = [](duckdb_vector vector) {
        Vector& v = of(vector);
        if (v.validity.empty()) v.validity.assign((v.capacity + 63) / 64, ~std::uint64_t{0});
    };
    duckdb_ext_api.duckdb_vector_assign_string_element_len = [](duckdb_vector vector, idx_t index,
                                                                const char* text, idx_t size) {
        if (!is_utf8({text, size})) ++bad_strings;
        of(vector).set_text(index, {text, size});
    };
    duckdb_ext_api.duckdb_list_vector_get_child = [](duckdb_vector vector) {
        return of(vector).items->handle();
    };
    duckdb_ext_api.duckdb_list_vector_get_size = [](duckdb_vector vector) -> idx_t {
        return of(vector).item_count;
    };
    duckdb_ext_api.duckdb_list_vector_set_size = [](duckdb_vector vector, idx_t size) {
        of(vector).item_count = size;
        return DuckDBSuccess;
    };
    duckdb_ext_api.duckdb_list_vector_reserve = [](duckdb_vector vector, idx_t capacity) {
        of(vector).items->grow(capacity);
        return DuckDBSuccess;
    };
    duckdb_ext_api.duckdb_struct_vector_get_child = [](duckdb_vector vector, idx_t index) {
        Vector& v = of(vector);
        while (v.members.size() <= index) v.members.push_back(std::make_unique<Vector>(Kind::kText, v.capacity));
        return v.members[index]->handle();
    };
    duckdb_ext_api.duckdb_scalar_function_get_extra_info = [](duckdb_function_info info) {
        return reinterpret_cast<FunctionInfo*>(info)->extra_info;
    };
    duckdb_ext_api.duckdb_scalar_function_set_error = [](duckdb_function_info info,
                                                         const char* error) {
        reinterpret_cast<FunctionInfo*>(info)->error = error;
    };
}

std::size_t not_utf8_strings() { return bad_strings; }

}  // namespace vexlo::fake_duckdb
