#include "extract/extract_batch.h"

#include "extract/text_host.h"

namespace vexlo {

ExtractBatch::ExtractBatch(const ExtractOptions& options, ExtractFieldSet fields) noexcept
    : options_(options), verdicts_(false), many_fields_(fields.count() > 1) {
    for (std::size_t f = 0; f < kExtractFieldCount; ++f) {
        verdicts_ = verdicts_ || (fields[f] && needs_verdict(static_cast<ExtractField>(f)));
    }
}

void ExtractBatch::clear() noexcept {
    rows_.clear();
    names_.clear();
    kept_.clear();
}

void ExtractBatch::add_null() {
    rows_.push_back({Row::Kind::kNull, {}});
    names_.add_null();
}

void ExtractBatch::add_no_host() {
    rows_.push_back({Row::Kind::kNoHost, {}});
    names_.add_null();
}

std::string_view ExtractBatch::keep(std::string text) {
    return kept_.emplace_back(std::move(text));
}

std::string_view ExtractBatch::bare_host(std::string_view host) {
    OwnedText lowered;
    const std::string_view bare = unmatched_host(host, options_.keep_case, lowered);
    return bare.data() == lowered.data() ? keep(std::string(bare)) : bare;
}

void ExtractBatch::add(std::string_view text) {
    std::string copy;
    TextHost found = host_of_text(text, options_.keep_ip, copy);
    if (found.kind == TextHost::Kind::kNone) return add_no_host();
    if (!copy.empty()) [[unlikely]] found.host = keep(std::move(copy));
    if (found.kind == TextHost::Kind::kBare) {
        rows_.push_back({Row::Kind::kBare, bare_host(found.host)});
        names_.add_null();
        return;
    }
    rows_.push_back({Row::Kind::kNamed, found.host});
    names_.add_utf8(found.host);  // cut from UTF-8 text: UTF-8 itself
}

void ExtractBatch::match(const RuleTables& tables) {
    tables_ = &tables;
    if (verdicts_) {
        names_.explain(tables, options_.accept_unknown);
    } else {
        names_.match(tables, Switches{options_.accept_unknown, false});
    }
    // A host that is no valid name (an empty label) keeps only its host, as
    // the record gives hosts: less one root dot.
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        Row& row = rows_[i];
        if (row.kind != Row::Kind::kNamed || names_[i].state == NameBatch::State::kValid) continue;
        row = {Row::Kind::kBare, bare_host(row.host)};
    }
    if (!many_fields_) return;
    if (every_field_.size() < rows_.size()) every_field_.resize(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].kind != Row::Kind::kNamed) continue;
        extract_fields(tables, {names_.view(i), verdicts_ ? names_.verdict(i) : Verdict{}},
                       options_.keep_case, every_field_[i]);
    }
}

std::optional<RuleText> ExtractBatch::rule(std::size_t i) const noexcept {
    if (rows_[i].kind != Row::Kind::kNamed) return std::nullopt;
    if (many_fields_) return every_field_[i].rule;
    return decided_rule(*tables_, names_.view(i), names_.verdict(i));
}

}  // namespace vexlo
