// A column of strings to answer: a validated, borrowed view of one imported
// Arrow array of type string ("u"), large_string ("U") or string_view ("vu")
// (arrow_import.h), or of a plain list of texts with a null mask. Every
// element read through it lies inside what the array's own description
// vouches for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>

namespace vexlo {

class StringColumn {
public:
    enum class Layout : std::uint8_t {
        kOffsets32,  // "u": int32 offsets into one data buffer
        kOffsets64,  // "U": int64 offsets
        kViews,      // "vu": 16-byte views, inline or into variadic buffers
        kTexts,      // a span of string_views (Python lists)
    };

    // An empty column.
    StringColumn() noexcept = default;

    // A column over `texts`, borrowed. `nulls` is empty (no element is null)
    // or holds one byte per text, non-zero for a null element.
    StringColumn(std::span<const std::string_view> texts, std::span<const std::uint8_t> nulls)
        : layout_(Layout::kTexts),
          length_(static_cast<std::int64_t>(texts.size())),
          texts_(texts.data()),
          byte_nulls_(nulls.empty() ? nullptr : nulls.data()) {
        for (const std::string_view text : texts) text_bytes_ += text.size();
    }

    std::int64_t size() const noexcept { return length_; }
    // The input was large_string: text results are large_string too.
    bool large() const noexcept { return layout_ == Layout::kOffsets64; }
    // Total bytes of all elements, nulls included: a bound on every result.
    std::uint64_t text_bytes() const noexcept { return text_bytes_; }
    // The same for the elements of [begin, end): at least the bytes of its
    // elements that are not null.
    std::uint64_t text_bytes(std::int64_t begin, std::int64_t end) const noexcept {
        if (begin >= end) return 0;
        if (const std::optional<std::string_view> joined = joined_text(begin, end)) return joined->size();
        std::uint64_t total = 0;
        for (std::int64_t i = begin; i < end; ++i) {
            if (!is_null(i)) total += value(i).size();
        }
        return total;
    }

    // The bytes of the elements of [begin, end), nulls included, when they
    // lie together in order in one buffer (the offset layouts); else null.
    std::optional<std::string_view> joined_text(std::int64_t begin, std::int64_t end) const noexcept {
        if (layout_ == Layout::kOffsets32) {
            const std::int32_t* o = static_cast<const std::int32_t*>(offsets_) + offset_;
            return text_at(o[begin], o[end]);
        }
        if (layout_ == Layout::kOffsets64) {
            const std::int64_t* o = static_cast<const std::int64_t*>(offsets_) + offset_;
            return text_at(o[begin], o[end]);
        }
        return std::nullopt;
    }

    bool is_null(std::int64_t i) const noexcept {
        if (layout_ == Layout::kTexts) return byte_nulls_ != nullptr && byte_nulls_[i] != 0;
        if (validity_ == nullptr) return false;
        const std::uint64_t bit = static_cast<std::uint64_t>(offset_ + i);
        return ((validity_[bit >> 3] >> (bit & 7)) & 1) == 0;
    }

    // The bytes of a non-null element (of a null one: something harmless).
    std::string_view value(std::int64_t i) const noexcept {
        const std::int64_t at = offset_ + i;
        switch (layout_) {
            case Layout::kOffsets32: {
                const std::int32_t* o = static_cast<const std::int32_t*>(offsets_);
                return text_at(o[at], o[at + 1]);
            }
            case Layout::kOffsets64: {
                const std::int64_t* o = static_cast<const std::int64_t*>(offsets_);
                return text_at(o[at], o[at + 1]);
            }
            case Layout::kViews:
                return view_at(at);
            case Layout::kTexts:
                return texts_[i];
        }
        return {};
    }

    // Calls add_null() for every null element of [begin, end), in order,
    // and add(value) for every other: value() and is_null() with the
    // layout's choice made once.
    template <class Null, class Add>
    void visit(std::int64_t begin, std::int64_t end, Null&& add_null, Add&& add) const {
        switch (layout_) {
            case Layout::kOffsets32: {
                const std::int32_t* o = static_cast<const std::int32_t*>(offsets_) + offset_;
                return visit_each(begin, end, add_null, add,
                                  [&](std::int64_t i) { return text_at(o[i], o[i + 1]); });
            }
            case Layout::kOffsets64: {
                const std::int64_t* o = static_cast<const std::int64_t*>(offsets_) + offset_;
                return visit_each(begin, end, add_null, add,
                                  [&](std::int64_t i) { return text_at(o[i], o[i + 1]); });
            }
            case Layout::kViews:
                return visit_each(begin, end, add_null, add,
                                  [&](std::int64_t i) { return view_at(offset_ + i); });
            case Layout::kTexts:
                return visit_each(begin, end, add_null, add,
                                  [&](std::int64_t i) { return texts_[i]; });
        }
    }

private:
    // The Arrow import (arrow_import.h) fills in the fields of the layout it
    // has checked.
    friend class ArrowImport;

    template <class Null, class Add, class Value>
    void visit_each(std::int64_t begin, std::int64_t end, Null& add_null, Add& add,
                    Value&& value) const {
        if (validity_ == nullptr && byte_nulls_ == nullptr) {
            for (std::int64_t i = begin; i < end; ++i) add(value(i));
            return;
        }
        for (std::int64_t i = begin; i < end; ++i) {
            if (is_null(i)) {
                add_null();
            } else {
                add(value(i));
            }
        }
    }

    std::string_view text_at(std::int64_t begin, std::int64_t end) const noexcept {
        if (begin == end) return {};
        return {data_ + begin, static_cast<std::size_t>(end - begin)};
    }
    std::string_view view_at(std::int64_t at) const noexcept {
        const unsigned char* view = static_cast<const unsigned char*>(offsets_) + at * 16;
        std::int32_t length;
        std::memcpy(&length, view, 4);
        if (length <= 12) {
            return {reinterpret_cast<const char*>(view + 4), static_cast<std::size_t>(length)};
        }
        std::int32_t buffer, offset;
        std::memcpy(&buffer, view + 8, 4);
        std::memcpy(&offset, view + 12, 4);
        return {static_cast<const char*>(variadic_[buffer]) + offset, static_cast<std::size_t>(length)};
    }

    Layout layout_ = Layout::kTexts;
    std::int64_t length_ = 0;
    std::int64_t offset_ = 0;
    std::uint64_t text_bytes_ = 0;
    const std::uint8_t* validity_ = nullptr;    // Arrow bitmap, or null: no nulls
    const void* offsets_ = nullptr;             // offsets, or the views
    const char* data_ = nullptr;                // "u" and "U"
    const void* const* variadic_ = nullptr;     // "vu": the data buffers
    const std::string_view* texts_ = nullptr;   // kTexts
    const std::uint8_t* byte_nulls_ = nullptr;  // kTexts: one byte per element, or null
};

}  // namespace vexlo
