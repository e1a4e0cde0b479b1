#include "extract/extract_batch.h"

#include "extract/text_host.h"

namespace vexlo {

ExtractBatch::ExtractBatch(const ExtractOptions& options, ExtractFieldSet fields) noexcept
    : options_(options), verdicts_(false) {
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
    names_.add(found.host);
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
}

std::optional<std::string_view> ExtractBatch::text(std::size_t i, ExtractField field) const noexcept {
    const Row& row = rows_[i];
    if (row.kind != Row::Kind::kNamed) {
        if (row.kind == Row::Kind::kBare && field == ExtractField::kHost) return row.host;
        return std::nullopt;
    }
    const ExplainedMatch match = explained(i);
    if (field == ExtractField::kSection) return decided_section(*tables_, match.verdict);
    return extract_text(field, match, options_.keep_case);
}

std::optional<RuleText> ExtractBatch::rule(std::size_t i) const noexcept {
    if (rows_[i].kind != Row::Kind::kNamed) return std::nullopt;
    const ExplainedMatch match = explained(i);
    return decided_rule(*tables_, match.match, match.verdict);
}

bool ExtractBatch::padded(std::size_t i, ExtractField field) const noexcept {
    // The lowercase of a matched name lies in the batch's padded arena;
    // the section, a bare host and the caller's spelling do not.
    return rows_[i].kind == Row::Kind::kNamed && !options_.keep_case && field != ExtractField::kSection;
}

}  // namespace vexlo
