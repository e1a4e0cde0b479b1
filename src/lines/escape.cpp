#include "lines/escape.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "common/simd.h"

namespace vexlo::lines {
namespace {

struct Replacement {
    std::uint8_t size;  // 0: the byte stands for itself
    char text[7];
};

using Table = std::array<Replacement, 256>;

constexpr Replacement with(std::string_view text) {
    Replacement replacement{static_cast<std::uint8_t>(text.size()), {}};
    for (std::size_t i = 0; i < text.size(); ++i) replacement.text[i] = text[i];
    return replacement;
}

constexpr bool is_json(Escape e) { return e == Escape::json || e == Escape::json_labels; }
constexpr bool is_labels(Escape e) { return e == Escape::tsv_labels || e == Escape::json_labels; }
// A space separates the items of privateparts in TSV.
constexpr bool is_tsv_item(Escape e) { return e == Escape::tsv_item || e == Escape::tsv_labels; }

constexpr Table table_for(Escape kind) {
    Table table{};
    if (is_json(kind)) {
        constexpr char kHex[] = "0123456789abcdef";
        for (int byte = 0; byte < 0x20; ++byte) {
            const char text[] = {'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 15]};
            table[byte] = with({text, 6});
        }
        table['"'] = with("\\\"");
        table['\b'] = with("\\b");
        table['\f'] = with("\\f");
    }
    table['\\'] = with("\\\\");
    table['\t'] = with("\\t");
    table['\n'] = with("\\n");
    table['\r'] = with("\\r");
    if (is_tsv_item(kind)) table[' '] = with("\\x20");
    if (is_labels(kind)) table['.'] = with(is_json(kind) ? "\", \"" : " ");
    return table;
}

template <Escape kind>
constexpr Table kTable = table_for(kind);

// Bit i set where byte i of the sixteen at p needs its replacement.
template <Escape kind>
unsigned special_bytes(const char* p) noexcept {
    const simd::Block bytes = simd::load(p);
    simd::Block special = simd::equal(bytes, '\\');
    if constexpr (is_json(kind)) {
        special = special | simd::below(bytes, 0x20) | simd::equal(bytes, '"');
    } else {
        special = special | simd::equal(bytes, '\t') | simd::equal(bytes, '\n') | simd::equal(bytes, '\r');
    }
    if constexpr (is_tsv_item(kind)) {
        special = special | simd::equal(bytes, ' ');
    }
    if constexpr (is_labels(kind)) {
        special = special | simd::equal(bytes, '.');
    }
    return simd::bits(special);
}

template <Escape kind>
char* escape_with(std::string_view text, char* out, bool padded) noexcept {
    const char* p = text.data();
    const char* const end = p + text.size();
    // Sixteen bytes at a time, the last few copied out first unless the text
    // is padded, so that nothing is read where it may not be. The sixteen
    // bytes are stored whole: the room given covers them, and what follows a
    // special byte is written over.
    while (p < end) {
        const std::size_t left = static_cast<std::size_t>(end - p);
        unsigned mask;
        std::size_t plain = 16;
        if (left >= 16) {
            mask = special_bytes<kind>(p);
            std::memcpy(out, p, 16);
        } else if (padded) {
            mask = special_bytes<kind>(p) & ((1u << left) - 1);
            std::memcpy(out, p, 16);
            plain = left;
        } else {
            char tail[16] = {};
            std::memcpy(tail, p, left);
            mask = special_bytes<kind>(tail) & ((1u << left) - 1);
            std::memcpy(out, tail, 16);
            plain = left;
        }
        if (mask == 0) {
            p += plain;
            out += plain;
            continue;
        }
        plain = static_cast<std::size_t>(std::countr_zero(mask));
        p += plain;
        out += plain;
        const Replacement& replacement = kTable<kind>[static_cast<unsigned char>(*p)];
        std::memcpy(out, replacement.text, sizeof replacement.text);
        out += replacement.size;
        ++p;
    }
    return out;
}

}  // namespace

char* write_escaped(std::string_view text, Escape escape, char* out, bool padded) noexcept {
    switch (escape) {
        case Escape::tsv: return escape_with<Escape::tsv>(text, out, padded);
        case Escape::tsv_item: return escape_with<Escape::tsv_item>(text, out, padded);
        case Escape::tsv_labels: return escape_with<Escape::tsv_labels>(text, out, padded);
        case Escape::json: return escape_with<Escape::json>(text, out, padded);
        case Escape::json_labels: return escape_with<Escape::json_labels>(text, out, padded);
    }
    return out;
}

}  // namespace vexlo::lines
