// The rules one tldextract extractor answers from: a list's tables, with
// its extra suffixes on top when it has any (then as tables of their own,
// built as Rules.with_rules builds them), and tldextract's index of them.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "list_file/loaded_list.h"
#include "rules/rule_tables.h"
#include "tldextract/suffix_index.h"

namespace vexlo::tldextract {

class SuffixRules {
public:
    // `base` outlives the result. The extra suffixes are written as lines of
    // a list file ("corp", "*.dev.corp", "!www.dev.corp"); when one cannot
    // stand as a rule, the result is why, as load_rules says it ("extra rule
    // 2: ..."). Throws std::bad_alloc.
    static std::variant<std::unique_ptr<SuffixRules>, std::string> make(
        const RuleTables& base, std::span<const std::string_view> extras);

    const RuleTables& tables() const noexcept { return *tables_; }
    const SuffixIndex& index() const noexcept { return index_; }

private:
    SuffixRules(std::unique_ptr<list_file::LoadedList> extended, const RuleTables& tables,
                std::span<const ExtraSuffix> extras, const RuleTables& base)
        : extended_(std::move(extended)), tables_(&tables), index_(tables, extras, base) {}

    std::unique_ptr<list_file::LoadedList> extended_;  // null without extras
    const RuleTables* tables_;
    SuffixIndex index_;
};

}  // namespace vexlo::tldextract
