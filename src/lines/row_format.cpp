#include "lines/row_format.h"

#include <cstring>

#include "lines/escape.h"

namespace vexlo::lines {
namespace {

constexpr std::string_view kFieldNames[] = {
    "name",         "publicsuffix", "privatesuffix", "is_public",
    "is_private",   "privateparts", "subdomain",     "host",
};

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

// The text answer of a field, when the name has one.
std::optional<std::string_view> field_text(const RowFormat& format, Field field,
                                           const MatchView& match) noexcept {
    switch (field) {
        case Field::publicsuffix: return publicsuffix(match, format.keep_case);
        case Field::privatesuffix: return privatesuffix(match, format.keep_case);
        case Field::subdomain: return subdomain(match, format.depth, format.keep_case);
        default: return std::nullopt;
    }
}

// What a row is made from: the line's texts, the match, and whether the
// texts that answers are cut from may be read a little past their ends.
struct RowSource {
    const RowText& text;
    const MatchView* match;  // null for an invalid name
    bool answers_padded;
};

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
        default: {
            const std::optional<std::string_view> text = field_text(format, field, *match);
            if (!text) return;
            buffer.commit(
                write_escaped(*text, Escape::tsv, buffer.room(escaped_room(text->size())), padded));
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
        default: {
            const std::optional<std::string_view> text = field_text(format, field, *match);
            char* out = buffer.room(kFieldOverhead + escaped_room(text ? text->size() : 0));
            out = put_json_key(out, field, first);
            buffer.commit(text ? put_json_string(out, *text, Escape::json, padded) : put(out, "null"));
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

void write_row(const RowFormat& format, const RowText& text, const MatchView* match,
               bool lowered_padded, OutputBuffer& out) {
    // Answers are cut from the text matched (the host) or from its
    // lowercase; each ends where that text ends or before.
    const bool answers_padded = match == nullptr || format.keep_case ? text.host_padded : lowered_padded;
    const RowSource row{text, match, answers_padded};
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
