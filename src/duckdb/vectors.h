// Reading DuckDB's argument vectors and writing its result vectors, by the
// layouts that duckdb.h fixes: a VARCHAR element is a 16-byte duckdb_string_t
// holding up to 12 bytes itself and pointing elsewhere for more, with no byte
// to spare around either; a validity mask is 64 rows a word, bit set for a
// row that is not NULL, or no mask at all when every row is valid.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/fault.h"
#include "duckdb/duckdb_api.h"

namespace vexlo::duckdb {

// The most bytes a VARCHAR element holds inside itself.
inline constexpr std::size_t kInlineBytes = sizeof(duckdb_string_t{}.value.inlined.inlined);

// One argument of a call: the values of its vector and their validity. The
// C API hands every argument over flat, a value per row.
struct Argument {
    const void* data = nullptr;
    const std::uint64_t* validity = nullptr;

    Argument() noexcept = default;
    explicit Argument(duckdb_vector vector)
        : data(duckdb_vector_get_data(vector)), validity(duckdb_vector_get_validity(vector)) {}

    bool valid(idx_t row) const noexcept {
        return validity == nullptr || ((validity[row / 64] >> (row % 64)) & 1) != 0;
    }
    // The bytes of an element, wherever they are: exactly its length may be read.
    std::string_view text(idx_t row) const noexcept {
        const duckdb_string_t& element = static_cast<const duckdb_string_t*>(data)[row];
        const std::uint32_t size = element.value.inlined.length;
        return size <= kInlineBytes ? std::string_view(element.value.inlined.inlined, size)
                                    : std::string_view(element.value.pointer.ptr, size);
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

// Texts of more than 12 bytes waiting to be handed to DuckDB, in order, with
// the rows they answer. Kept from call to call, its memory grown to what the
// calls have needed.
struct LongTexts {
    std::string bytes;
    std::vector<std::pair<idx_t, std::uint32_t>> rows;  // each text's row and size
};

// A VARCHAR result vector. A text of up to 12 bytes is written into its
// element, as DuckDB itself stores one. Longer ones are gathered and handed
// to DuckDB in one piece, which it copies into the vector's own strings;
// each element then points at its part of that copy. One copy a chunk
// instead of one a row: the C API offers no other way into the vector's
// strings, and copies each piece it is given into one place of its own and
// checks that it is UTF-8, which the answers always are.
class TextResult {
public:
    TextResult(duckdb_vector vector, LongTexts& pending)
        : vector_(vector),
          elements_(static_cast<duckdb_string_t*>(duckdb_vector_get_data(vector))),
          validity_(vector),
          pending_(pending) {
        pending_.bytes.clear();
        pending_.rows.clear();
    }

    // `text` is read exactly, whatever lies around it; the longer ones are
    // copied at once.
    void put(idx_t row, std::string_view text) {
        if (text.size() <= kInlineBytes) {
            duckdb_string_t element{};
            element.value.inlined.length = static_cast<std::uint32_t>(text.size());
            if (!text.empty()) std::memcpy(element.value.inlined.inlined, text.data(), text.size());
            elements_[row] = element;
            return;
        }
        if (text.size() > kMaxJoinedBytes - pending_.bytes.size()) {
            if (text.size() > std::numeric_limits<std::uint32_t>::max()) {
                throw std::length_error("an answer of more than 4 GiB, which DuckDB cannot hold");
            }
            finish();
        }
        pending_.bytes.append(text);
        pending_.rows.emplace_back(row, static_cast<std::uint32_t>(text.size()));
    }
    void put_null(idx_t row) {
        elements_[row] = duckdb_string_t{};
        validity_.set_null(row);
    }

    // Hands the texts gathered to DuckDB. Before the vector is read or
    // grown.
    void finish() {
        if (pending_.rows.empty()) return;
        const idx_t first = pending_.rows.front().first;
        elements_[first] = duckdb_string_t{};
        duckdb_vector_assign_string_element_len(vector_, first, pending_.bytes.data(),
                                                pending_.bytes.size());
        if (elements_[first].value.pointer.length != pending_.bytes.size()) {
            raise_fault("DuckDB did not take the answers' text");
        }
        const char* copy = elements_[first].value.pointer.ptr;
        for (const auto& [row, size] : pending_.rows) {
            duckdb_string_t& element = elements_[row];
            element.value.pointer.length = size;
            std::memcpy(element.value.pointer.prefix, copy, sizeof element.value.pointer.prefix);
            element.value.pointer.ptr = const_cast<char*>(copy);
            copy += size;
        }
        pending_.bytes.clear();
        pending_.rows.clear();
    }

private:
    // The most bytes handed over at once (but for one longer text): a
    // chunk's answers nearly always take far less, and a string of DuckDB's
    // holds less than 4 GiB.
    static constexpr std::size_t kMaxJoinedBytes = std::size_t{1} << 20;

    duckdb_vector vector_;
    duckdb_string_t* elements_;
    ResultValidity validity_;
    LongTexts& pending_;
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
    void finish() noexcept {}  // nothing is held back

private:
    bool* values_;
    ResultValidity validity_;
};

}  // namespace vexlo::duckdb
