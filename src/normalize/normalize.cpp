#include "normalize/normalize.h"

#include "common/dots.h"
#include "normalize/ascii_labels.h"
#include "normalize/lowercase.h"

namespace vexlo {

// Every return names `result`, so it lives in the caller's storage; the record
// is built in place and the lowercase written straight into it, so the inline
// store is never copied. (Starting from a disengaged std::optional would not
// do: libstdc++ zero-fills its whole storage, which costs more than the rest
// of a short name's work.)
std::optional<NormalizedDomain> normalize_domain(std::string_view text) {
    std::optional<NormalizedDomain> result(std::in_place);
    if (!normalize_domain_into(text, *result)) result.reset();
    return result;
}

// An ASCII name is lowered and its labels found in one pass. Any other has
// its labels counted in the caller's text before lowercasing: its dots are
// exactly those of the lowercase, in the same order between the same labels
// (no mapping makes or takes a dot, a non-empty label never lowercases to an
// empty one, and ill-formed bytes are copied as they are). Counting there
// saves lowercasing an invalid name.
bool normalize_domain_into(std::string_view text, NormalizedDomain& out) {
    if (!text.empty() && text.back() == '.') text.remove_suffix(1);
    if (text.empty()) return false;
    if (text.size() > OwnedText::kInlineCapacity && out.lowered.capacity() < text.size()) {
        out.lowered = OwnedText(text.size());
    }
    LabelShape shape;
    switch (lower_ascii_labels(text.data(), text.size(), out.lowered.data(), shape)) {
        case AsciiLabels::kValid:
            out.lowered.set_size(text.size());
            out.given = text;
            out.label_count = shape.label_count;
            out.dots = shape.dots;
            out.ascii = true;
            return true;
        case AsciiLabels::kInvalid:
            return false;
        case AsciiLabels::kNotAscii:
            break;
    }
    if (find_labels(text.data(), text.size(), shape) != AsciiLabels::kValid) return false;
    out.given = text;
    out.label_count = shape.label_count;
    out.ascii = false;
    out.lowered.set_size(0);
    lowercase_into(text, out.lowered);
    out.dots = dot_bitmap(out.lowered.data(), out.lowered.size());
    return true;
}

}  // namespace vexlo
