// Reading a Public Suffix List file: its rules, section by section, and its
// VERSION header; or every line that the tables could not hold faithfully,
// with the reason. Nothing is dropped or rewritten: a list is taken whole or
// refused. The build (tools/compile_rule_tables) and a list loaded at run
// time go through this same reader, so they accept the same files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "list_file/list_errors.h"
#include "rules/rule_trie.h"

namespace vexlo::list_file {

enum class Section : std::uint8_t { icann, private_domains };

enum class RuleKind : std::uint8_t {
    rule = RULE_ANY,            // name
    wildcard = WILDCARD_ANY,    // *.name
    exception = EXCEPTION_ANY,  // !name
};

struct ListRule {
    std::uint32_t line;  // 1-based
    Section section;
    RuleKind kind;
    // The name the rule marks, without the "!" or "*." it was written with:
    // one or more labels separated by '.', leftmost first. A view into the
    // bytes that were parsed.
    std::string_view name;
};

// The node flags that a rule sets (rules/rule_trie.h).
constexpr std::uint8_t rule_flags(Section section, RuleKind kind) noexcept {
    const auto any = static_cast<std::uint8_t>(kind);
    return section == Section::icann ? static_cast<std::uint8_t>(any | (any << ICANN_SHIFT)) : any;
}

struct ParsedList {
    std::vector<ListRule> rules;  // in file order; empty when any error was found
    // The text after "VERSION:" of a "// VERSION: ..." comment before the
    // first section marker, if the list has one.
    std::optional<std::string> version;
    ListErrors errors;
};

// A UTF-8 byte-order mark, which a file may begin with and which is then no
// part of its first line.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The rules of a list file's exact bytes, which must outlive them. At most
// `errors_kept` errors are kept with their reasons; all are counted.
ParsedList parse_list(std::string_view data, std::size_t errors_kept = kEveryError);
// The rules would view a string about to be destroyed.
ParsedList parse_list(std::string&& data, std::size_t errors_kept = kEveryError) = delete;

// The same, then `extra` rules on top of the file's, each written as a line
// of the list would be, in the PRIVATE section: the same checks, and the
// errors of extra rule i (from 1) on line errors.file_lines + i. Both the
// file's bytes and the extra rules must outlive the result.
ParsedList parse_list(std::string_view data, std::span<const std::string_view> extra,
                      std::size_t errors_kept = kEveryError);

}  // namespace vexlo::list_file
