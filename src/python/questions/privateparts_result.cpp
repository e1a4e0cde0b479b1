#include "python/questions/privateparts_result.h"

#include "common/dots.h"
#include "python/results.h"

namespace vexlo::python {

PyObject* privateparts_result(const std::optional<PrivateParts>& parts, bool ascii) {
    if (!parts) return none_result();
    const std::size_t items = parts->subdomain_count + 1;
    const char* label = parts->subdomains.data();
    const char* const end = label + parts->subdomains.size();
    return created(make_tuple(items, [&](std::size_t i) {
        if (i + 1 == items) return new_str(parts->private_suffix, ascii);
        const char* const label_end = next_dot(parts->subdomains.data(), label, end);
        const std::string_view text{label, static_cast<std::size_t>(label_end - label)};
        label = label_end + 1;
        return new_str(text, ascii);
    }));
}

}  // namespace vexlo::python
