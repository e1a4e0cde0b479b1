#include "extract/text_extraction.h"

#include "extract/text_host.h"
#include "rules/compiled_shape.h"

namespace vexlo {

TextExtraction::TextExtraction(std::string_view text, const RuleTables& tables,
                               const ExtractOptions& options) {
    const TextHost found = host_of_text(text, options.keep_ip, host_copy_);
    if (found.kind == TextHost::Kind::kNone) return;
    if (found.kind == TextHost::Kind::kName) {
        // The search of a root as wide as the compiled list's runs unrolled.
        const bool compiled_root = tables.nodes[0].edge_count == kCompiledRootEdgeCount;
        std::string_view name = found.host;
        Verdict verdict;
        const ShortOutcome outcome =
            compiled_root
                ? trace_short<kCompiledRootEdgeCount>(tables, name, options.accept_unknown, short_, verdict)
                : trace_short<0>(tables, name, options.accept_unknown, short_, verdict);
        if (outcome == ShortOutcome::kMatched) {
            cut_fields(tables, {short_.view(name), verdict}, options.keep_case);
            return;
        }
        if (outcome == ShortOutcome::kOther) {
            traced_ = compiled_root
                          ? trace_domain<kCompiledRootEdgeCount>(found.host, tables, options.accept_unknown)
                          : trace_domain(found.host, tables, options.accept_unknown);
            if (traced_) {
                cut_fields(tables, {traced_->match.view(), traced_->verdict}, options.keep_case);
                return;
            }
        }
    }
    // An IP literal, or an invalid name: the host is the only field.
    fields_.texts[static_cast<std::size_t>(ExtractField::kHost)] =
        unmatched_host(found.host, options.keep_case, lowered_host_);
}

void TextExtraction::cut_fields(const RuleTables& tables, const ExplainedMatch& explained,
                                bool keep_case) {
    extract_fields(tables, explained, keep_case, fields_);
    // A plain rule is a view of the name, often the public suffix's very text.
    if (fields_.rule) {
        fields_.texts[static_cast<std::size_t>(ExtractField::kRule)] = fields_.rule->spelled(rule_);
    }
}

}  // namespace vexlo
