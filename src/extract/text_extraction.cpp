#include "extract/text_extraction.h"

#include "host/find_host.h"
#include "normalize/normalize.h"

namespace vexlo {

TextExtraction::TextExtraction(std::string_view text, const RuleTables& tables,
                               const ExtractOptions& options) {
    const host::FoundHost found = host::find_host(text);
    if (!host::is_answer(found, options.keep_ip)) return;
    std::string_view host = found.text();
    if (found.has_tab_or_newline()) {
        host_copy_.resize(host.size());
        host_copy_.resize(host::copy_without_tab_or_newline(host, host_copy_.data()));
        host = host_copy_;
    }
    if (found.kind() == host::HostKind::domain) {
        traced_ = trace_domain(host, tables, options.accept_unknown);
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
        // An invalid name (an empty label): the host alone, as the record
        // gives hosts, less one root dot.
        if (!host.empty() && host.back() == '.') host.remove_suffix(1);
    }
    // An IP literal, or an invalid name: the host is the only field.
    std::optional<std::string_view>& bare = fields_.texts[static_cast<std::size_t>(ExtractField::kHost)];
    if (options.keep_case) {
        bare = host;
    } else {
        lowered_host_ = lowercase_text(host);
        bare = lowered_host_.view();
    }
}

}  // namespace vexlo
