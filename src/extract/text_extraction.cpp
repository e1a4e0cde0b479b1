#include "extract/text_extraction.h"

#include "host/find_host.h"
#include "normalize/normalize.h"

namespace vexlo {

TextExtraction::TextExtraction(std::string_view text, const RuleTables& tables,
                               const ExtractOptions& options)
    : tables_(tables), options_(options) {
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
            const ExplainedMatch explained{traced_->match.view(), traced_->verdict};
            if (const std::optional<RuleText> rule = decided_rule(tables, explained.match, explained.verdict)) {
                rule_.resize(rule->size());
                rule->write(rule_.data());
                has_rule_ = true;
            }
            return;
        }
        // An invalid name (an empty label): the host alone, as the record
        // gives hosts, less one root dot.
        if (!host.empty() && host.back() == '.') host.remove_suffix(1);
    }
    if (options.keep_case) {
        bare_host_ = host;
    } else {
        lowered_host_ = lowercase_text(host);
        bare_host_ = lowered_host_.view();
    }
}

std::optional<std::string_view> TextExtraction::field(ExtractField field) const noexcept {
    if (!traced_) {
        if (field == ExtractField::kHost) return bare_host_;
        return std::nullopt;
    }
    const ExplainedMatch explained{traced_->match.view(), traced_->verdict};
    switch (field) {
        case ExtractField::kSection:
            return decided_section(tables_, explained.verdict);
        case ExtractField::kRule:
            if (!has_rule_) return std::nullopt;
            return std::string_view(rule_);
        default:
            return extract_text(field, explained, options_.keep_case);
    }
}

}  // namespace vexlo
