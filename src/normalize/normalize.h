// Turning a caller's domain text into the lowercased label text that matching
// works on: one trailing dot dropped, no empty label, full Unicode lowercase.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

#include "normalize/owned_text.h"

namespace vexlo {

// Both texts hold the same labels in the same order, separated by '.' alone,
// with no empty label; their byte lengths may differ (U+0130 grows, U+212A
// shrinks), so labels correspond by index, never by byte offset.
struct NormalizedDomain {
    OwnedText lowered;        // full lowercase of `given`, owned
    std::string_view given;   // caller's bytes less one trailing dot; borrowed
    std::size_t label_count;  // at least 1
    std::uint64_t dots;       // the dot bitmap (common/dots.h) of `lowered`
    // `given` is ASCII: it holds its labels at the byte offsets of `lowered`.
    bool ascii;

    NormalizedDomain() noexcept {}
};

// Empty optional for an invalid domain: empty, a lone dot, or an empty label.
// `text` must be well-formed UTF-8; bytes that are not are never read out of
// bounds, and each byte of an ill-formed sequence is copied unchanged, so
// the dots and labels are still those of `text`.
std::optional<NormalizedDomain> normalize_domain(std::string_view text);

// normalize_domain into a record the caller already holds (a default-
// constructed one), so that a record inside a larger one is never moved.
// False for an invalid domain; `out` is then unspecified.
bool normalize_domain_into(std::string_view text, NormalizedDomain& out);

// Full Unicode lowercase of `text` with the Final_Sigma rule.
OwnedText lowercase_text(std::string_view text);

}  // namespace vexlo
