#include "query/short_match.h"

#include "normalize/short_ascii.h"
#include "rules/public_suffix.h"

namespace vexlo {

ShortOutcome match_short(std::string_view domain, Switches switches, ShortMatch& out) noexcept {
    if (!domain.empty() && domain.back() == '.') domain.remove_suffix(1);
    if (domain.empty()) return ShortOutcome::kInvalid;
    if (domain.size() > kDotBitmapBytes) return ShortOutcome::kOther;
    ShortAsciiLabels labels;
    switch (lower_short_ascii(domain, out.lowered, labels)) {
        case ShortAscii::kValid:
            break;
        case ShortAscii::kInvalid:
            return ShortOutcome::kInvalid;
        case ShortAscii::kOther:
            return ShortOutcome::kOther;
    }
    out.size = domain.size();
    out.label_count = labels.label_count;
    out.dots = labels.dots;
    out.public_length = public_suffix_length_short(out.lowered, out.size, labels.dots,
                                                   labels.label_count, switches.accept_unknown,
                                                   switches.icann_only);
    return ShortOutcome::kMatched;
}

}  // namespace vexlo
