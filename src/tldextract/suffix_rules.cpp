#include "tldextract/suffix_rules.h"

#include <vector>

#include "list_file/parse_list.h"
#include "rules/compiled_list.h"

namespace vexlo::tldextract {

std::variant<std::unique_ptr<SuffixRules>, std::string> SuffixRules::make(
    const RuleTables& base, std::span<const std::string_view> extras) {
    if (extras.empty()) {
        return std::unique_ptr<SuffixRules>(new SuffixRules(nullptr, base, {}, base));
    }
    // Only the tables are wanted: what the list is called stays its own.
    const CompiledList unnamed{"", nullptr, 0, 0};
    list_file::LoadOutcome extended = list_file::extend_list(base, unnamed, extras);
    if (!extended.list) return list_file::refusal_message(extended.errors);
    // The extras read again, each as its kind of rule and the name it marks.
    const list_file::ParsedList parsed = list_file::parse_list({}, extras, 1);
    std::vector<ExtraSuffix> marks;
    for (const list_file::ListRule& rule : parsed.rules) {
        marks.push_back({static_cast<std::uint8_t>(rule.kind), rule.name});
    }
    const RuleTables& tables = extended.list->tables.tables();
    return std::unique_ptr<SuffixRules>(
        new SuffixRules(std::move(extended.list), tables, marks, base));
}

}  // namespace vexlo::tldextract
