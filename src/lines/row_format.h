// The rows of the vexlo command: the chosen fields of one input line, as a
// TSV row or a JSON object on a line of its own. The line is a name, or with
// --urls a URL or an e-mail address whose host the answers are for.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "lines/output_buffer.h"
#include "query/answers.h"
#include "rules/rule_tables.h"
#include "rules/rule_view.h"

namespace vexlo::lines {

enum class Field : std::uint8_t {
    name,
    publicsuffix,
    privatesuffix,
    is_public,
    is_private,
    privateparts,
    subdomain,
    host,  // urls only
    // The parts of vexlo.extract that the six do not answer.
    prefix,
    domain,
    section,
    rule,
    icann_publicsuffix,
    icann_privatesuffix,
};

// The field called `name` on the command line, if there is one.
std::optional<Field> field_named(std::string_view name) noexcept;
std::string_view field_name(Field field) noexcept;

// What each row holds and how it is written; fixed for a whole run.
struct RowFormat {
    std::vector<Field> fields;  // in output order, each at most once
    bool json = false;
    Switches switches;
    bool keep_case = false;
    std::uint64_t depth = 1;
    // Each line is a URL or an e-mail address: the answers are for its host
    // (host::find_host; an IP literal is none), `name` is the line itself.
    bool urls = false;

    // Whether any field needs the name matched (all but `name` and `host`).
    bool needs_match() const noexcept;
    // Whether any field needs the walk's Verdict: section, rule and the
    // ICANN-only suffixes, which the record gives whatever --icann-only says.
    bool needs_verdict() const noexcept;
};

// The texts of a readable line's row. With `*_padded`, kReadPadding bytes
// after the text may be read (it lies in a block of lines with more after
// it, or in a buffer with room to spare).
struct RowText {
    std::string_view name;  // the line as given
    bool name_padded;
    // What the answers are for: the name itself, or with urls the host found
    // in it (empty when there is none, and then `match` is null).
    std::string_view host;
    bool host_padded;
};

// What a readable line's answers come from. `match` is null for an invalid
// name (or a URL without a host), whose answer fields are all empty (null),
// the predicates included. `verdict` is that of the match, or null when the
// format needs none; with one, the match's public-suffix length is the full
// view's.
struct RowMatch {
    const MatchView* match;
    const Verdict* verdict;
    const RuleTables* tables;  // what the match was made in
};

// Appends the row of a readable line. With `lowered_padded`, kReadPadding
// bytes after the match's lowercase may be read.
void write_row(const RowFormat& format, const RowText& text, const RowMatch& matched,
               bool lowered_padded, OutputBuffer& out);

// Appends the row of a line that is not UTF-8: every field empty (null).
void write_unreadable_row(const RowFormat& format, OutputBuffer& out);

}  // namespace vexlo::lines
