// The rows of the vexlo command: the chosen fields of one input line, as a
// TSV row or a JSON object on a line of its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "lines/output_buffer.h"
#include "query/answers.h"
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

    // Whether any field needs the name matched (everything but `name`).
    bool needs_match() const noexcept;
};

// Appends the row of a readable line. `match` is null for an invalid name,
// whose answer fields are all empty (null), the predicates included. With
// `name_padded`, kReadPadding bytes after the name may be read (it lies in a
// block of lines with more after it); with `lowered_padded`, as many after
// the match's lowercase.
void write_row(const RowFormat& format, std::string_view name, bool name_padded,
               const MatchView* match, bool lowered_padded, OutputBuffer& out);

// Appends the row of a line that is not UTF-8: every field empty (null).
void write_unreadable_row(const RowFormat& format, OutputBuffer& out);

}  // namespace vexlo::lines
