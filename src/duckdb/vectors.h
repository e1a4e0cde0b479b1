// Reading DuckDB's argument vectors and writing its result vectors, by the
// layouts that duckdb.h fixes: a VARCHAR element is a 16-byte duckdb_string_t
// holding up to 12 bytes itself and pointing elsewhere for more, with no byte
// to spare around either; a validity mask is 64 rows a word, bit set for a
// row that is not NULL, or no mask at all when every row is valid.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "duckdb/duckdb_api.h"

namespace vexlo::duckdb {

// The most bytes a VARCHAR element holds inside itself.
inline constexpr std::size_t kInlineBytes = sizeof(duckdb_string_t{}.value.inlined.inlined);

// The bytes of an element, wherever they are: exactly its length may be read.
inline std::string_view element_text(const duckdb_string_t& element) noexcept {
    const std::uint32_t size = element.value.inlined.length;
    return size <= kInlineBytes ? std::string_view(element.value.inlined.inlined, size)
                                : std::string_view(element.value.pointer.ptr, size);
}

inline bool row_is_valid(const std::uint64_t* validity, idx_t row) noexcept {
    return validity == nullptr || ((validity[row / 64] >> (row % 64)) & 1) != 0;
}

// One argument of a call: the values of its vector and their validity. The
// C API hands every argument over flat, a value per row.
struct Argument {
    const void* data = nullptr;
    const std::uint64_t* validity = nullptr;

    Argument() noexcept = default;
    explicit Argument(duckdb_vector vector)
        : data(duckdb_vector_get_data(vector)), validity(duckdb_vector_get_validity(vector)) {}

    bool valid(idx_t row) const noexcept { return row_is_valid(validity, row); }
    std::string_view text(idx_t row) const noexcept {
        return element_text(static_cast<const duckdb_string_t*>(data)[row]);
    }
    bool truth(idx_t row) const noexcept { return static_cast<const bool*>(data)[row]; }
    std::int64_t integer(idx_t row) const noexcept {
        return static_cast<const std::int64_t*>(data)[row];
    }
};

// The validity of a result vector, made writable on the first NULL.
class ResultValidity {
public:
    explicit ResultValidity(duckdb_vector vector) noexcept : vector_(vector) {}

    void set_null(idx_t row) {
        if (mask_ == nullptr) {
            duckdb_vector_ensure_validity_writable(vector_);
            mask_ = duckdb_vector_get_validity(vector_);
        }
        mask_[row / 64] &= ~(std::uint64_t{1} << (row % 64));
    }

private:
    duckdb_vector vector_;
    std::uint64_t* mask_ = nullptr;
};

// A VARCHAR result vector. A text of up to 12 bytes is written into its
// element, as DuckDB itself stores one; a longer one is handed to DuckDB,
// which copies it into the vector's own strings.
class TextResult {
public:
    explicit TextResult(duckdb_vector vector)
        : vector_(vector),
          elements_(static_cast<duckdb_string_t*>(duckdb_vector_get_data(vector))),
          validity_(vector) {}

    // `text` is read exactly, whatever lies around it.
    void put(idx_t row, std::string_view text) {
        if (text.size() <= kInlineBytes) {
            duckdb_string_t element{};
            element.value.inlined.length = static_cast<std::uint32_t>(text.size());
            if (!text.empty()) std::memcpy(element.value.inlined.inlined, text.data(), text.size());
            elements_[row] = element;
            return;
        }
        duckdb_vector_assign_string_element_len(vector_, row, text.data(), text.size());
    }
    void put_null(idx_t row) {
        elements_[row] = duckdb_string_t{};
        validity_.set_null(row);
    }

private:
    duckdb_vector vector_;
    duckdb_string_t* elements_;
    ResultValidity validity_;
};

// A BOOLEAN result vector.
class TruthResult {
public:
    explicit TruthResult(duckdb_vector vector)
        : values_(static_cast<bool*>(duckdb_vector_get_data(vector))), validity_(vector) {}

    void put(idx_t row, bool truth) noexcept { values_[row] = truth; }
    void put_null(idx_t row) {
        values_[row] = false;
        validity_.set_null(row);
    }

private:
    bool* values_;
    ResultValidity validity_;
};

}  // namespace vexlo::duckdb
