#include "extract/text_extraction.h"

#include "host/find_host.h"
#include "normalize/normalize.h"

namespace vexlo {

std::optional<ExtractHost> extract_host(std::string_view text, bool keep_ip, std::string& copy) {
    const host::FoundHost found = host::find_host(text);
    if (!host::is_answer(found, keep_ip)) return std::nullopt;
    std::string_view host = found.text();
    if (found.has_tab_or_newline()) {
        copy.resize(host.size());
        copy.resize(host::copy_without_tab_or_newline(host, copy.data()));
        host = copy;
    }
    return ExtractHost{host, found.kind() == host::HostKind::domain};
}

std::string_view bare_host(const ExtractHost& host, bool keep_case, OwnedText& lowered) {
    std::string_view text = host.text;
    // A name less one root dot, as the record gives hosts.
    if (host.domain && !text.empty() && text.back() == '.') text.remove_suffix(1);
    if (keep_case) return text;
    lowered = lowercase_text(text);
    return lowered.view();
}

TextExtraction::TextExtraction(std::string_view text, const RuleTables& tables,
                               const ExtractOptions& options) {
    const std::optional<ExtractHost> host = extract_host(text, options.keep_ip, host_copy_);
    if (!host) return;
    if (host->domain) {
        traced_ = trace_domain(host->text, tables, options.accept_unknown);
        if (traced_) {
            extract_fields(tables, {traced_->match.view(), traced_->verdict}, options.keep_case,
                           fields_);
            if (fields_.rule) {
                rule_.resize(fields_.rule->size());
                fields_.rule->write(rule_.data());
                fields_.texts[static_cast<std::size_t>(ExtractField::kRule)] = rule_;
            }
            return;
        }
    }
    // An IP literal, or an invalid name: the host is the only field.
    fields_.texts[static_cast<std::size_t>(ExtractField::kHost)] =
        bare_host(*host, options.keep_case, lowered_host_);
}

}  // namespace vexlo
