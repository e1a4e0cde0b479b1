#include "lines/row_format.h"

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

// The text answer of a field, when the name has one. The section and the
// rule are not cut from the name, so never padded: `padded` says so.
std::optional<std::string_view> field_text(const RowFormat& format, Field field,
                                           const RowSource& row, bool& padded) noexcept {
    const MatchView& match = *row.match;
    padded = row.answers_padded;
    switch (field) {
        case Field::publicsuffix: return publicsuffix(match, format.keep_case);
        case Field::privatesuffix: return privatesuffix(match, format.keep_case);
        case Field::subdomain: return subdomain(match, format.depth, format.keep_case);
        // The parts of the name follow the switches, as the suffixes beside
        // them in the row do.
        case Field::prefix: return prefix(match, format.keep_case);
        case Field::domain: return domain(match, format.keep_case);
        default: break;
    }
    // The rest come with the verdict (RowFormat::needs_verdict).
    const ExplainedMatch explained{row.full_view, *row.verdict};
    switch (field) {
        case Field::section:
            padded = false;
            return decided_section(*row.tables, explained.verdict);
        case Field::icann_publicsuffix: return publicsuffix(explained.icann_match(), format.keep_case);
        case Field::icann_privatesuffix: return privatesuffix(explained.icann_match(), format.keep_case);
        default: return std::nullopt;
    }
}

// The rule that decided, if one did.
std::optional<RuleText> row_rule(const RowSource& row) noexcept {
    return decided_rule(*row.tables, row.full_view, *row.verdict);
}

// Writes a rule escaped, at `out` with room for escaped_room(rule.size()) + 16;
// neither of its pieces is padded.
char* put_rule(const RuleText& rule, Escape escape, char* out) noexcept {
    out = write_escaped(rule.mark, escape, out, false);
    return write_escaped(rule.name, escape, out, false);
}

// The subdomain labels are followed by a dot and the private suffix.
bool subdomains_padded(const PrivateParts& parts, bool suffix_padded) noexcept {
    return suffix_padded || parts.private_suffix.size() + 1 >= kReadPadding;
}

void write_tsv_field(const RowFormat& format, Field field, const RowSource& row,
                     OutputBuffer& buffer) {
    const MatchView* const match = row.match;
    const bool padded = row.answers_padded;
    if (field == Field::name || field == Field::host) {
        const bool name = field == Field::name;
        const std::string_view text = name ? row.text.name : row.text.host;
        buffer.commit(write_escaped(text, Escape::tsv, buffer.room(escaped_room(text.size())),
                                    name ? row.text.name_padded : row.text.host_padded));
        return;
    }
    if (match == nullptr) return;
    switch (field) {
        case Field::is_public: buffer.append(is_public(*match) ? "true" : "false"); return;
        case Field::is_private: buffer.append(is_private(*match) ? "true" : "false"); return;
        case Field::privateparts: {
            const std::optional<PrivateParts> parts = privateparts(*match, format.keep_case);
            if (!parts) return;
            char* out = buffer.room(escaped_room(parts->subdomains.size()) +
                                    escaped_room(parts->private_suffix.size()) + 1);
            if (parts->subdomain_count != 0) {
                out = write_escaped(parts->subdomains, Escape::tsv_labels, out,
                                    subdomains_padded(*parts, padded));
                *out++ = ' ';
            }
            buffer.commit(write_escaped(parts->private_suffix, Escape::tsv_item, out, padded));
            return;
        }
        case Field::rule: {
            const std::optional<RuleText> rule = row_rule(row);
            if (!rule) return;
            buffer.commit(put_rule(*rule, Escape::tsv, buffer.room(escaped_room(rule->size()) + 16)));
            return;
        }
        default: {
            bool text_padded = false;
            const std::optional<std::string_view> text = field_text(format, field, row, text_padded);
            if (!text) return;
            buffer.commit(write_escaped(*text, Escape::tsv, buffer.room(escaped_room(text->size())),
                                        text_padded));
            return;
        }
    }
}

// Writes `"text"` at `out`, with room for escaped_room(text.size()) + 2.
char* put_json_string(char* out, std::string_view text, Escape escape, bool padded) noexcept {
    *out++ = '"';
    out = write_escaped(text, escape, out, padded);
    *out++ = '"';
    return out;
}

void write_json_field(const RowFormat& format, Field field, bool first, const RowSource& row,
                      OutputBuffer& buffer) {
    const MatchView* const match = row.match;
    const bool padded = row.answers_padded;
    // A URL without a host has a null host; a name is never null.
    if (field == Field::name || (field == Field::host && !row.text.host.empty())) {
        const bool name = field == Field::name;
        const std::string_view text = name ? row.text.name : row.text.host;
        char* out = put_json_key(buffer.room(kFieldOverhead + escaped_room(text.size())), field, first);
        buffer.commit(put_json_string(out, text, Escape::json,
                                      name ? row.text.name_padded : row.text.host_padded));
        return;
    }
    if (match == nullptr) {
        buffer.commit(put(put_json_key(buffer.room(kFieldOverhead), field, first), "null"));
        return;
    }
    switch (field) {
        case Field::is_public:
        case Field::is_private: {
            const bool yes = field == Field::is_public ? is_public(*match) : is_private(*match);
            char* out = put_json_key(buffer.room(kFieldOverhead), field, first);
            buffer.commit(put(out, yes ? "true" : "false"));
            return;
        }
        case Field::privateparts: {
            const std::optional<PrivateParts> parts = privateparts(*match, format.keep_case);
            char* out = buffer.room(kFieldOverhead + escaped_room(parts ? parts->subdomains.size() : 0) +
                                    escaped_room(parts ? parts->private_suffix.size() : 0));
            out = put_json_key(out, field, first);
            if (!parts) {
                buffer.commit(put(out, "null"));
                return;
            }
            *out++ = '[';
            if (parts->subdomain_count != 0) {
                out = put_json_string(out, parts->subdomains, Escape::json_labels,
                                      subdomains_padded(*parts, padded));
                out = put(out, ", ");
            }
            out = put_json_string(out, parts->private_suffix, Escape::json, padded);
            *out++ = ']';
            buffer.commit(out);
            return;
        }
        case Field::rule: {
            const std::optional<RuleText> rule = row_rule(row);
            char* out = buffer.room(kFieldOverhead + (rule ? escaped_room(rule->size()) + 16 : 0));
            out = put_json_key(out, field, first);
            if (!rule) {
                buffer.commit(put(out, "null"));
                return;
            }
            *out++ = '"';
            out = put_rule(*rule, Escape::json, out);
            *out++ = '"';
            buffer.commit(out);
            return;
        }
        default: {
            bool text_padded = false;
            const std::optional<std::string_view> text = field_text(format, field, row, text_padded);
            char* out = buffer.room(kFieldOverhead + escaped_room(text ? text->size() : 0));
            out = put_json_key(out, field, first);
            buffer.commit(text ? put_json_string(out, *text, Escape::json, text_padded)
                               : put(out, "null"));
            return;
        }
    }
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
    bool first = true;
    for (const Field field : format.fields) {
        if (format.json) {
            write_json_field(format, field, first, row, out);
        } else {
            if (!first) out.append("\t");
            write_tsv_field(format, field, row, out);
        }
        first = false;
    }
    out.append(format.json ? (first ? "{}\n" : "}\n") : "\n");
}

void write_unreadable_row(const RowFormat& format, OutputBuffer& out) {
    bool first = true;
    for (const Field field : format.fields) {
        if (format.json) {
            out.commit(put(put_json_key(out.room(kFieldOverhead), field, first), "null"));
        } else if (!first) {
            out.append("\t");
        }
        first = false;
    }
    out.append(format.json ? (first ? "{}\n" : "}\n") : "\n");
}

}  // namespace vexlo::lines
