#include "extract/fields.h"

#include <algorithm>
#include <cstring>

namespace vexlo {

namespace {

// The list's own spelling of a node that only a twin names, if it is one.
std::optional<std::string_view> listed_spelling(const RuleTables& tables, std::uint32_t node) noexcept {
    const ListedSpellings spellings = tables.listed_spellings();
    const auto found = std::lower_bound(
        spellings.entries.begin(), spellings.entries.end(), node,
        [](const ListedSpelling& spelling, std::uint32_t wanted) { return spelling.node < wanted; });
    if (found == spellings.entries.end() || found->node != node) return std::nullopt;
    return spellings.text.substr(found->text_start, found->text_end - found->text_start);
}

// Whether lowercase `labels` may name a node through a twin: a twin is the
// "xn--" form of a Unicode label or the Unicode form of an "xn--" one, so
// labels of ASCII without "--" are the list's own spelling of their node
// (and the search for a listed spelling is skipped, as for most names).
bool may_name_a_twin(std::string_view labels) noexcept {
    for (std::size_t i = 0; i < labels.size(); ++i) {
        const auto c = static_cast<unsigned char>(labels[i]);
        if (c >= 0x80 || (c == '-' && i + 1 < labels.size() && labels[i + 1] == '-')) return true;
    }
    return false;
}

}  // namespace

// The mark byte by byte: it is at most two bytes, or none with no data (a
// null pointer), which memcpy may not be given even for no bytes.
char* RuleText::write(char* out) const noexcept {
    for (const char c : mark) *out++ = c;
    if (!name.empty()) std::memcpy(out, name.data(), name.size());
    return out + name.size();
}

std::optional<std::string_view> decided_section(const RuleTables& tables, const Verdict& verdict) noexcept {
    if (verdict.rule_node == 0) return std::nullopt;
    return decided_by_icann(tables.nodes[verdict.rule_node].flags) ? kIcannSection : kPrivateSection;
}

std::optional<RuleText> decided_rule(const RuleTables& tables, const MatchView& match,
                                     const Verdict& verdict) noexcept {
    if (verdict.rule_node == 0) {
        // No listed rule: the implicit one decided, when it applies at all.
        if (verdict.public_length == 0) return std::nullopt;
        return RuleText{{}, kImplicitRule};
    }
    std::string_view mark;
    switch (deciding_kind(tables.nodes[verdict.rule_node].flags)) {
        case EXCEPTION_ANY: mark = "!"; break;
        case WILDCARD_ANY: mark = "*."; break;
        default: break;
    }
    // The walk reached the node by the name's own rightmost labels, which
    // are the rule's as the list writes them, unless only a twin named it.
    const std::string_view labels = rightmost_labels(match, false, verdict.rule_labels);
    if (may_name_a_twin(labels)) {
        if (const std::optional<std::string_view> listed = listed_spelling(tables, verdict.rule_node)) {
            return RuleText{mark, *listed};
        }
    }
    return RuleText{mark, labels};
}

void extract_fields(const RuleTables& tables, const ExplainedMatch& explained, bool keep_case,
                    ExtractedFields& out) noexcept {
    const MatchView& match = explained.match;
    const auto at = [&](ExtractField field) -> std::optional<std::string_view>& {
        return out.texts[static_cast<std::size_t>(field)];
    };
    const std::string_view source = answer_source(match, keep_case);
    at(ExtractField::kHost) = source;
    at(ExtractField::kPublicSuffix) = publicsuffix(match, keep_case);
    const std::optional<std::string_view> suffix = privatesuffix(match, keep_case);
    at(ExtractField::kPrivateSuffix) = suffix;
    if (suffix) {
        // The private suffix is one label and a dot left of the public suffix,
        // both cut from `source`: that label is the domain.
        at(ExtractField::kPrefix) = labels_before(source, *suffix);
        at(ExtractField::kDomain) = suffix->substr(0, suffix->size() - at(ExtractField::kPublicSuffix)->size() - 1);
    } else {
        at(ExtractField::kPrefix) = std::nullopt;
        at(ExtractField::kDomain) = std::nullopt;
    }
    at(ExtractField::kSection) = decided_section(tables, explained.verdict);
    if (explained.verdict.icann_length == match.public_length) {
        at(ExtractField::kIcannPublicSuffix) = at(ExtractField::kPublicSuffix);
        at(ExtractField::kIcannPrivateSuffix) = suffix;
    } else {
        const MatchView icann = explained.icann_match();
        at(ExtractField::kIcannPublicSuffix) = publicsuffix(icann, keep_case);
        at(ExtractField::kIcannPrivateSuffix) = privatesuffix(icann, keep_case);
    }
    at(ExtractField::kRule) = std::nullopt;
    out.rule = decided_rule(tables, match, explained.verdict);
}

}  // namespace vexlo
