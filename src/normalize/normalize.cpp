#include "normalize/normalize.h"

#include <cstring>

#include "normalize/lowercase.h"

namespace vexlo {

namespace {

// The number of labels of a non-empty text, or 0 when a label is empty.
std::size_t count_labels(std::string_view text) noexcept {
    const char* p = text.data();
    const char* const end = p + text.size();
    if (*p == '.' || end[-1] == '.') return 0;
    std::size_t labels = 1;
    // Every dot found is followed by at least one byte, since the last is no dot.
    while (const void* found = std::memchr(p, '.', static_cast<std::size_t>(end - p))) {
        const char* dot = static_cast<const char*>(found);
        if (dot == p) return 0;
        ++labels;
        p = dot + 1;
    }
    return labels;
}

}  // namespace

// Every return names `result`, so it is built in the caller's storage and the
// lowercase goes straight into it: the inline store is never copied.
std::optional<NormalizedDomain> normalize_domain(std::string_view text) {
    std::optional<NormalizedDomain> result;
    if (!text.empty() && text.back() == '.') text.remove_suffix(1);
    if (text.empty()) return result;
    result.emplace(NormalizedDomain{OwnedText(text.size()), text, 0});
    lowercase_into(text, result->lowered);
    const std::size_t labels = count_labels(result->lowered.view());
    if (labels == 0) {
        result.reset();
        return result;
    }
    result->label_count = labels;
    return result;
}

}  // namespace vexlo
