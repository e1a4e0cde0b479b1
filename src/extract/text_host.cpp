#include "extract/text_host.h"

#include "host/find_host.h"
#include "normalize/normalize.h"

namespace vexlo {

std::string_view copied_host(std::string_view host, std::string& copy) {
    copy.resize(host.size());
    copy.resize(host::copy_host(host, copy.data()));
    return copy;
}

std::string_view unmatched_host(std::string_view host, bool keep_case, OwnedText& lowered) {
    if (!host.empty() && host.back() == '.') host.remove_suffix(1);
    if (keep_case) return host;
    lowered = lowercase_text(host);
    return lowered.view();
}

}  // namespace vexlo
