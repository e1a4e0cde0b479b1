// A dictionary-encoded column of names: a validated, borrowed view of one
// imported Arrow array whose elements are integer indices into a dictionary
// of strings (arrow_import.h). Every index of a row that is not null lies
// inside the dictionary; the dictionary itself is a StringColumn, which may
// hold nulls of its own.
#pragma once

#include <cstdint>

#include "columns/index_type.h"
#include "columns/string_column.h"

namespace vexlo {

class DictionaryColumn {
public:
    std::int64_t size() const noexcept { return length_; }
    IndexType index_type() const noexcept { return index_type_; }
    // The dictionary: the names asked, each once.
    const StringColumn& values() const noexcept { return values_; }

    bool is_null(std::int64_t i) const noexcept {
        if (validity_ == nullptr) return false;
        const std::uint64_t bit = static_cast<std::uint64_t>(offset_ + i);
        return ((validity_[bit >> 3] >> (bit & 7)) & 1) == 0;
    }
    // The indices from the row offset on, as `Index` (index_type's own type).
    template <class Index>
    const Index* indices() const noexcept {
        // A column of no rows may come without a buffer of indices.
        if (indices_ == nullptr) return nullptr;
        return static_cast<const Index*>(indices_) + offset_;
    }
    // The index of a row that is not null: below values().size().
    std::int64_t index(std::int64_t i) const noexcept {
        return with_index_type(index_type_, [&](auto type) {
            return static_cast<std::int64_t>(indices<decltype(type)>()[i]);
        });
    }

private:
    friend class ArrowImport;

    IndexType index_type_ = IndexType::kInt32;
    std::int64_t length_ = 0;
    std::int64_t offset_ = 0;
    const std::uint8_t* validity_ = nullptr;  // Arrow bitmap, or null: no nulls
    const void* indices_ = nullptr;
    StringColumn values_;
};

}  // namespace vexlo
