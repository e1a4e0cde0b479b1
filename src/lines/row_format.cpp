#include "lines/row_format.h"

#include <cstdint>
#include <cstring>

#include "lines/escape.h"
#include "extract/fields.h"

namespace vexlo::lines {
namespace {

constexpr std::string_view kFieldNames[] = {
    "name",      "publicsuffix",       "privatesuffix",      "is_public", "is_private",
    "privateparts", "subdomain",       "host",               "prefix",    "domain",
    "section",   "rule",               "icann_publicsuffix", "icann_privatesuffix",
};
static_assert(std::size(kFieldNames) == static_cast<std::size_t>(Field::icann_privatesuffix) + 1);

// The extract field that a field of the command line is, if it is one.
std::optional<ExtractField> extract_field(Field field) noexcept {
    switch (field) {
        case Field::prefix: return ExtractField::kPrefix;
        case Field::domain: return ExtractField::kDomain;
        case Field::section: return ExtractField::kSection;
        case Field::rule: return ExtractField::kRule;
        case Field::icann_publicsuffix: return ExtractField::kIcannPublicSuffix;
        case Field::icann_privatesuffix: return ExtractField::kIcannPrivateSuffix;
        default: return std::nullopt;
    }
}

// Room for the fixed text around one field: its JSON key, separators, a
// predicate's word or null.
constexpr std::size_t kFieldOverhead = 32;

char* put(char* out, std::string_view text) noexcept {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

// A JSON field begins with its key: `{"name": ` for the first, `, "name": `
// after it.
char* put_json_key(char* out, Field field, bool first) noexcept {
    out = put(out, first ? "{\"" : ", \"");
    out = put(out, field_name(field));
    return put(out, "\": ");
}

// What a row is made from: the line's texts, the match (the six's view of
// it: the ICANN-only length under --icann-only), its verdict and tables, and
// whether the texts that answers are cut from may be read a little past
// their ends.
struct RowSource {
    const RowText& text;
    const MatchView* match;  // null for an invalid name
    const Verdict* verdict;  // when the format needs one
    const RuleTables* tables;
    MatchView full_view;     // the match in the full view, for extract's fields
    bool answers_padded;
};

// A field's value in a row: none (an empty TSV field, a JSON null), a
// truth, a text, the labels of privateparts, or a rule.
struct FieldValue {
    enum class Kind : std::uint8_t { kNone, kTruth, kText, kParts, kRule } kind = Kind::kNone;
    bool truth = false;
    std::string_view text;
    // kReadPadding bytes after the text (the private suffix of parts) may be
    // read; the section and the rule are not cut from the name, so never.
    bool padded = false;
    PrivateParts parts{};
    RuleText rule{};
};

FieldValue text_value(std::optional<std::string_view> text, bool padded) {
    if (!text) return {};
    return {FieldValue::Kind::kText, false, *text, padded};
}

FieldValue field_value(const RowFormat& format, Field field, const RowSource& row) noexcept {
    using Kind = FieldValue::Kind;
    // A URL without a host has none; a name is always there.
    if (field == Field::name) return {Kind::kText, false, row.text.name, row.text.name_padded};
    if (field == Field::host) {
        if (row.text.host.empty()) return {};
        return {Kind::kText, false, row.text.host, row.text.host_padded};
    }
    if (row.match == nullptr) return {};
    const MatchView& match = *row.match;
    const bool padded = row.answers_padded;
    switch (field) {
        case Field::is_public: return {Kind::kTruth, is_public(match), {}, false};
        case Field::is_private: return {Kind::kTruth, is_private(match), {}, false};
        case Field::publicsuffix: return text_value(publicsuffix(match, format.keep_case), padded);
        case Field::privatesuffix: return text_value(privatesuffix(match, format.keep_case), padded);
        case Field::subdomain:
            return text_value(subdomain(match, format.depth, format.keep_case), padded);
        case Field::privateparts: {
            const std::optional<PrivateParts> parts = privateparts(match, format.keep_case);
            if (!parts) return {};
            return {Kind::kParts, false, {}, padded, *parts};
        }
        // The parts of the name follow the switches, as the suffixes beside
        // them in the row do.
        case Field::prefix: return text_value(prefix(match, format.keep_case), padded);
        case Field::domain: return text_value(domain(match, format.keep_case), padded);
        default: break;
    }
    // The rest come with the verdict (RowFormat::needs_verdict).
    const ExplainedMatch explained{row.full_view, *row.verdict};
    switch (field) {
        case Field::section: return text_value(decided_section(*row.tables, explained.verdict), false);
        case Field::icann_publicsuffix:
            return text_value(publicsuffix(explained.icann_match(), format.keep_case), padded);
        case Field::icann_privatesuffix:
            return text_value(privatesuffix(explained.icann_match(), format.keep_case), padded);
        default: {
            const std::optional<RuleText> rule = decided_rule(*row.tables, row.full_view, *row.verdict);
            if (!rule) return {};
            return {Kind::kRule, false, {}, false, {}, *rule};
        }
    }
}

// Room for a value's text escaped, besides the fixed text around it.
std::size_t value_room(const FieldValue& value) noexcept {
    return escaped_room(value.text.size()) + escaped_room(value.parts.subdomains.size()) +
           escaped_room(value.parts.private_suffix.size()) + escaped_room(value.rule.size()) + 16;
}

// The subdomain labels are followed by a dot and the private suffix.
bool subdomains_padded(const FieldValue& value) noexcept {
    return value.padded || value.parts.private_suffix.size() + 1 >= kReadPadding;
}

// Writes `value` escaped for the format; a JSON string is quoted, and
// privateparts' labels are separated by a space (TSV) or are the strings of
// a JSON list.
char* put_value(const FieldValue& value, bool json, char* out) noexcept {
    const auto quote = [&] {
        if (json) *out++ = '"';
    };
    switch (value.kind) {
        case FieldValue::Kind::kNone: return json ? put(out, "null") : out;
        case FieldValue::Kind::kTruth: return put(out, value.truth ? "true" : "false");
        case FieldValue::Kind::kText:
            quote();
            out = write_escaped(value.text, json ? Escape::json : Escape::tsv, out, value.padded);
            quote();
            return out;
        case FieldValue::Kind::kRule:
            quote();
            out = write_escaped(value.rule.mark, json ? Escape::json : Escape::tsv, out, false);
            out = write_escaped(value.rule.name, json ? Escape::json : Escape::tsv, out, false);
            quote();
            return out;
        case FieldValue::Kind::kParts: break;
    }
    if (json) *out++ = '[';
    if (value.parts.subdomain_count != 0) {
        quote();
        out = write_escaped(value.parts.subdomains, json ? Escape::json_labels : Escape::tsv_labels,
                            out, subdomains_padded(value));
        quote();
        out = put(out, json ? ", " : " ");
    }
    quote();
    out = write_escaped(value.parts.private_suffix, json ? Escape::json : Escape::tsv_item, out,
                        value.padded);
    quote();
    if (json) *out++ = ']';
    return out;
}

// Appends a row of the format's fields, each field's value from value(field).
template <class Value>
void write_fields(const RowFormat& format, OutputBuffer& out, Value&& value) {
    bool first = true;
    for (const Field field : format.fields) {
        const FieldValue field_value = value(field);
        char* at = out.room(kFieldOverhead + value_room(field_value));
        if (format.json) {
            at = put_json_key(at, field, first);
        } else if (!first) {
            *at++ = '\t';
        }
        out.commit(put_value(field_value, format.json, at));
        first = false;
    }
    out.append(format.json ? (first ? "{}\n" : "}\n") : "\n");
}

}  // namespace

std::optional<Field> field_named(std::string_view name) noexcept {
    for (std::size_t i = 0; i < std::size(kFieldNames); ++i) {
        if (kFieldNames[i] == name) return static_cast<Field>(i);
    }
    return std::nullopt;
}

std::string_view field_name(Field field) noexcept {
    return kFieldNames[static_cast<std::size_t>(field)];
}

bool RowFormat::needs_match() const noexcept {
    for (const Field field : fields) {
        if (field != Field::name && field != Field::host) return true;
    }
    return false;
}

bool RowFormat::needs_verdict() const noexcept {
    for (const Field field : fields) {
        if (const std::optional<ExtractField> part = extract_field(field); part && vexlo::needs_verdict(*part)) {
            return true;
        }
    }
    return false;
}

void write_row(const RowFormat& format, const RowText& text, const RowMatch& matched,
               bool lowered_padded, OutputBuffer& out) {
    // Answers are cut from the text matched (the host) or from its
    // lowercase; each ends where that text ends or before.
    const MatchView* const match = matched.match;
    const bool answers_padded = match == nullptr || format.keep_case ? text.host_padded : lowered_padded;
    // A match made with its verdict has the full view's length; the six
    // answer in the view the switches ask for.
    MatchView six_view{};
    if (match != nullptr) {
        six_view = *match;
        if (matched.verdict != nullptr && format.switches.icann_only) {
            six_view.public_length = matched.verdict->icann_length;
        }
    }
    const RowSource row{text,           match != nullptr ? &six_view : nullptr,
                        matched.verdict, matched.tables,
                        match != nullptr ? *match : MatchView{}, answers_padded};
    write_fields(format, out, [&](Field field) { return field_value(format, field, row); });
}

void write_unreadable_row(const RowFormat& format, OutputBuffer& out) {
    write_fields(format, out, [](Field) { return FieldValue{}; });
}

}  // namespace vexlo::lines
