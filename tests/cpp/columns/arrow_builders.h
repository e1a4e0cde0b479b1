// Arrow arrays built by hand for the tests: string, large_string and
// string_view arrays over test-owned buffers, and dictionary-encoded arrays
// of them, whose release callbacks count their calls.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "columns/arrow_abi.h"
#include "columns/index_type.h"

namespace vexlo::testing_arrow {

using Element = std::optional<std::string>;

enum class Layout { kString, kLargeString, kStringView };

// The buffers behind one test array; lives as long as the array may be read.
struct TestArray {
    std::vector<std::uint8_t> validity;
    std::vector<std::int32_t> offsets32;
    std::vector<std::int64_t> offsets64;
    std::string data;
    std::vector<unsigned char> views;
    std::vector<std::string> variadic;
    std::vector<std::int64_t> variadic_sizes;
    std::vector<const void*> buffers;
    int releases = 0;
    int schema_releases = 0;
    std::string format;

    ArrowArray array{};
    ArrowSchema schema{};
};

inline void count_array_release(ArrowArray* array) {
    ++static_cast<TestArray*>(array->private_data)->releases;
    array->release = nullptr;
}

inline void count_schema_release(ArrowSchema* schema) {
    ++static_cast<TestArray*>(schema->private_data)->schema_releases;
    schema->release = nullptr;
}

// `elements` laid out as `layout`, preceded by `offset` elements ("pad") that
// the array skips. Nulls get a validity bitmap; without nulls there is none.
inline std::unique_ptr<TestArray> build(const std::vector<Element>& elements, Layout layout,
                                        std::int64_t offset = 0) {
    auto t = std::make_unique<TestArray>();
    std::vector<Element> all(static_cast<std::size_t>(offset), Element("pad.example.com"));
    all.insert(all.end(), elements.begin(), elements.end());
    const std::size_t n = all.size();
    std::int64_t nulls = 0;
    t->validity.assign(n / 8 + 1, 0);
    for (std::size_t i = 0; i < n; ++i) {
        if (all[i]) {
            t->validity[i / 8] |= static_cast<std::uint8_t>(1u << (i % 8));
        } else if (i >= static_cast<std::size_t>(offset)) {
            ++nulls;
        }
    }
    const void* validity = nulls > 0 ? t->validity.data() : nullptr;
    if (layout == Layout::kStringView) {
        t->format = "vu";
        t->views.assign(n * 16, 0);
        // Long texts go to one of two data buffers in turn.
        t->variadic.resize(2);
        for (std::size_t i = 0; i < n; ++i) {
            const std::string text = all[i].value_or("");
            unsigned char* view = t->views.data() + i * 16;
            const auto size = static_cast<std::int32_t>(text.size());
            std::memcpy(view, &size, 4);
            if (text.size() <= 12) {
                std::memcpy(view + 4, text.data(), text.size());
                continue;
            }
            const auto buffer = static_cast<std::int32_t>(i % 2);
            const auto start = static_cast<std::int32_t>(t->variadic[buffer].size());
            t->variadic[buffer] += text;
            std::memcpy(view + 4, text.data(), 4);
            std::memcpy(view + 8, &buffer, 4);
            std::memcpy(view + 12, &start, 4);
        }
        for (const std::string& b : t->variadic) t->variadic_sizes.push_back(static_cast<std::int64_t>(b.size()));
        t->buffers = {validity, t->views.data()};
        for (const std::string& b : t->variadic) t->buffers.push_back(b.data());
        t->buffers.push_back(t->variadic_sizes.data());
    } else {
        t->offsets32.push_back(0);
        t->offsets64.push_back(0);
        for (const Element& e : all) {
            t->data += e.value_or("");
            t->offsets32.push_back(static_cast<std::int32_t>(t->data.size()));
            t->offsets64.push_back(static_cast<std::int64_t>(t->data.size()));
        }
        const bool large = layout == Layout::kLargeString;
        t->format = large ? "U" : "u";
        t->buffers = {validity,
                      large ? static_cast<const void*>(t->offsets64.data()) : t->offsets32.data(),
                      t->data.data()};
    }
    t->array.length = static_cast<std::int64_t>(elements.size());
    t->array.null_count = nulls;
    t->array.offset = offset;
    t->array.n_buffers = static_cast<std::int64_t>(t->buffers.size());
    t->array.n_children = 0;
    t->array.buffers = t->buffers.data();
    t->array.children = nullptr;
    t->array.dictionary = nullptr;
    t->array.release = count_array_release;
    t->array.private_data = t.get();
    t->schema.format = t->format.c_str();
    t->schema.name = "";
    t->schema.metadata = nullptr;
    t->schema.flags = ARROW_FLAG_NULLABLE;
    t->schema.n_children = 0;
    t->schema.children = nullptr;
    t->schema.dictionary = nullptr;
    t->schema.release = count_schema_release;
    t->schema.private_data = t.get();
    return t;
}

// A dictionary-encoded array: its indices over a dictionary of strings.
struct TestDictionary {
    std::unique_ptr<TestArray> values;
    std::vector<std::uint8_t> validity;
    std::vector<unsigned char> indices;  // the bytes of the indices, of the index type
    std::vector<const void*> buffers;
    int releases = 0;
    int schema_releases = 0;

    ArrowArray array{};
    ArrowSchema schema{};
};

inline void count_dictionary_release(ArrowArray* array) {
    ++static_cast<TestDictionary*>(array->private_data)->releases;
    array->release = nullptr;
}

inline void count_dictionary_schema_release(ArrowSchema* schema) {
    ++static_cast<TestDictionary*>(schema->private_data)->schema_releases;
    schema->release = nullptr;
}

// Rows of `rows` indices (none: a null row) of type `type` into `values`
// laid out as `layout`, after `offset` rows of index 0 that the array skips.
// A null row's index is one past the dictionary, which nothing may read.
inline std::unique_ptr<TestDictionary> build_dictionary(
    const std::vector<Element>& values, const std::vector<std::optional<std::int64_t>>& rows,
    IndexType type, Layout layout = Layout::kString, std::int64_t offset = 0) {
    auto t = std::make_unique<TestDictionary>();
    t->values = build(values, layout);
    const std::size_t width = index_bytes(type);
    const std::size_t n = static_cast<std::size_t>(offset) + rows.size();
    t->validity.assign(n / 8 + 1, 0xFF);
    t->indices.assign(n * width, 0);
    std::int64_t nulls = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::size_t at = static_cast<std::size_t>(offset) + i;
        std::int64_t index = static_cast<std::int64_t>(values.size()) + 1;
        if (rows[i]) {
            index = *rows[i];
        } else {
            t->validity[at / 8] &= static_cast<std::uint8_t>(~(1u << (at % 8)));
            ++nulls;
        }
        // Little-endian, the low `width` bytes: negative values keep their sign.
        for (std::size_t b = 0; b < width; ++b) {
            t->indices[at * width + b] = static_cast<unsigned char>(static_cast<std::uint64_t>(index) >> (8 * b));
        }
    }
    t->buffers = {nulls > 0 ? t->validity.data() : nullptr, t->indices.data()};
    t->array.length = static_cast<std::int64_t>(rows.size());
    t->array.null_count = nulls;
    t->array.offset = offset;
    t->array.n_buffers = 2;
    t->array.n_children = 0;
    t->array.buffers = t->buffers.data();
    t->array.children = nullptr;
    t->array.dictionary = &t->values->array;
    t->array.release = count_dictionary_release;
    t->array.private_data = t.get();
    t->schema.format = index_format(type);
    t->schema.name = "";
    t->schema.metadata = nullptr;
    t->schema.flags = ARROW_FLAG_NULLABLE;
    t->schema.n_children = 0;
    t->schema.children = nullptr;
    t->schema.dictionary = &t->values->schema;
    t->schema.release = count_dictionary_schema_release;
    t->schema.private_data = t.get();
    return t;
}

}  // namespace vexlo::testing_arrow
