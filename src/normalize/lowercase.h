// The lowercasing step shared by lowercase_text and normalize_domain.
// Internal to src/normalize.
#pragma once

#include <string_view>

#include "normalize/owned_text.h"

namespace vexlo {

// Writes the full lowercase of `text` into `out`, which must be empty with a
// capacity of at least text.size(): normalize_domain lowercases straight into
// the record it returns, so the inline store is never copied.
void lowercase_into(std::string_view text, OwnedText& out) noexcept;

}  // namespace vexlo
