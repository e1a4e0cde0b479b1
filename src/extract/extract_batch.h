// The extract records of many texts at once: each text's host found as
// vexlo.host finds it, the hosts matched together by the batch walk (in both
// views only when a field asked for needs it), and every field cut from what
// was found. Each text gets the record that TextExtraction gives it. The
// columns and the DuckDB functions answer through this.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "extract/text_extraction.h"
#include "extract/fields.h"
#include "query/name_batch.h"
#include "rules/rule_tables.h"

namespace vexlo {

// The fields a caller asks for.
using ExtractFieldSet = std::bitset<kExtractFieldCount>;

inline ExtractFieldSet every_extract_field() noexcept { return ExtractFieldSet().set(); }

class ExtractBatch {
public:
    ExtractBatch(const ExtractOptions& options, ExtractFieldSet fields) noexcept;

    void clear() noexcept;
    // A missing text: a null record.
    void add_null();
    // A text that is not UTF-8, and so holds no host.
    void add_no_host();
    // Any UTF-8 text.
    void add(std::string_view text);

    // Matches every host added since clear().
    void match(const RuleTables& tables);

    std::size_t size() const noexcept { return rows_.size(); }
    bool is_null(std::size_t i) const noexcept { return rows_[i].kind == Row::Kind::kNull; }

    // After match(): a field of row i's record, as TextExtraction::field
    // gives it, the rule apart (rule()); none for a null row. Views into
    // the texts added, into this batch, or into the tables. Inline, so that
    // a caller's loop over the rows of one field is one loop.
    [[gnu::always_inline]] std::optional<std::string_view> text(std::size_t i,
                                                                ExtractField field) const noexcept {
        const Row& row = rows_[i];
        if (row.kind != Row::Kind::kNamed) [[unlikely]] {
            if (row.kind == Row::Kind::kBare && field == ExtractField::kHost) return row.host;
            return std::nullopt;
        }
        if (many_fields_) return every_field_[i].texts[static_cast<std::size_t>(field)];
        if (field == ExtractField::kSection) return decided_section(*tables_, names_.verdict(i));
        if (!verdicts_) return extract_text(field, {names_.view(i), Verdict{}}, options_.keep_case);
        return extract_text(field, {names_.view(i), names_.verdict(i)}, options_.keep_case);
    }
    std::optional<RuleText> rule(std::size_t i) const noexcept;

    // Whether the field's text of row i may be read kWalkPadding bytes past
    // its end (a lowercase in the batch's padded arena).
    bool padded(std::size_t i, ExtractField field) const noexcept {
        // The lowercase of a matched name lies in the batch's padded arena;
        // the section, a bare host and the caller's spelling do not.
        return rows_[i].kind == Row::Kind::kNamed && !options_.keep_case &&
               field != ExtractField::kSection;
    }

private:
    struct Row {
        enum class Kind : std::uint8_t {
            kNull,
            kNoHost,
            kBare,   // a host without a match: an IP literal, an invalid name
            kNamed,  // a host matched by the batch
        };
        Kind kind;
        std::string_view host;  // kBare: the record's host; kNamed: the host found
    };

    // A text kept by the batch until clear(): a host without TAB, LF and CR,
    // or a bare host lowercased.
    std::string_view keep(std::string text);
    std::string_view bare_host(std::string_view host);

    ExtractOptions options_;
    bool verdicts_;     // a field asked for needs the walk's verdict
    bool many_fields_;  // more than one field is asked for
    // With many fields, every field of each matched row, found once by
    // match() (extract_fields) rather than once for each field asked for:
    // the fields of a record share their cuts. Kept from block to block,
    // as each matched row's entry is written whole.
    std::vector<ExtractedFields> every_field_;
    const RuleTables* tables_ = nullptr;
    std::vector<Row> rows_;
    NameBatch names_;             // one entry a row; null but for kNamed rows
    std::deque<std::string> kept_;  // stable: views into it live until clear()
};

}  // namespace vexlo
