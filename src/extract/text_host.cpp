#include "extract/text_host.h"

#include "host/find_host.h"
#include "normalize/normalize.h"

namespace vexlo {

TextHost host_of_text(std::string_view text, bool keep_ip, std::string& copy) {
    const host::FoundHost found = host::find_host(text);
    if (!host::is_answer(found, keep_ip)) return {TextHost::Kind::kNone, {}};
    std::string_view host = found.text();
    if (found.has_tab_or_newline()) [[unlikely]] {
        copy.resize(host.size());
        copy.resize(host::copy_without_tab_or_newline(host, copy.data()));
        host = copy;
    }
    return {found.kind() == host::HostKind::domain ? TextHost::Kind::kName : TextHost::Kind::kBare, host};
}

std::string_view unmatched_host(std::string_view host, bool keep_case, OwnedText& lowered) {
    if (!host.empty() && host.back() == '.') host.remove_suffix(1);
    if (keep_case) return host;
    lowered = lowercase_text(host);
    return lowered.view();
}

}  // namespace vexlo
