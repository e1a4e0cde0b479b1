// The extract record of one text: its host found as vexlo.host finds it,
// then matched in both views, and every field cut from what was found. The
// single call (vexlo.extract, Rules.extract) answers through this.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "normalize/owned_text.h"
#include "extract/fields.h"
#include "query/match.h"
#include "query/short_match.h"
#include "rules/rule_tables.h"

namespace vexlo {

struct ExtractOptions {
    bool keep_ip = false;         // an IP literal is a host (with no other field)
    bool accept_unknown = true;   // as for the six questions
    bool keep_case = false;       // text fields in the caller's spelling

    bool operator==(const ExtractOptions&) const = default;
};

class TextExtraction {
public:
    // Finds and matches the host of `text`, which must outlive this object,
    // as must `tables`.
    TextExtraction(std::string_view text, const RuleTables& tables, const ExtractOptions& options);

    TextExtraction(const TextExtraction&) = delete;
    TextExtraction& operator=(const TextExtraction&) = delete;

    // The text of a field, the section's and the rule's included; none where
    // the record has none. Views into the text, into this object or into the
    // tables.
    const std::optional<std::string_view>& field(ExtractField field) const noexcept {
        return fields_.texts[static_cast<std::size_t>(field)];
    }
    // Every field at once (the rule's text among them; `rule` as found).
    const ExtractedFields& fields() const noexcept { return fields_; }

    // Whether a field is cut from the caller's text (or its lowercase), and
    // so ASCII when the text is: all but the rule, which the list spells.
    static constexpr bool from_text(ExtractField field) noexcept { return field != ExtractField::kRule; }

private:
    void cut_fields(const RuleTables& tables, const ExplainedMatch& explained, bool keep_case);

    // The lowercase of a host that lower_short takes, as nearly all are:
    // on the caller's stack, without allocating.
    ShortMatch short_;
    std::string host_copy_;    // the found host, when it had to be rewritten
    OwnedText lowered_host_;   // the record's host, when it has no match
    std::optional<TracedMatch> traced_;
    std::string rule_;         // the deciding rule, written out
    ExtractedFields fields_;
};

}  // namespace vexlo
