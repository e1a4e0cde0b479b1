// The seventh question, extract: every part of a name at once, and why its
// answers are what they are (the rule that decided and its section). Defined
// once over a matched name and its Verdict (rules/rule_view.h); the single
// call, the columns, the command line and the DuckDB functions all answer
// through these and only differ in where the texts end up.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "query/answers.h"
#include "rules/rule_tables.h"
#include "rules/rule_view.h"

namespace vexlo {

// The fields of an extract record, in their order.
enum class ExtractField : std::uint8_t {
    kHost,
    kPrefix,
    kDomain,
    kPublicSuffix,
    kPrivateSuffix,
    kSection,
    kRule,
    kIcannPublicSuffix,
    kIcannPrivateSuffix,
};

inline constexpr std::size_t kExtractFieldCount = 9;

inline constexpr std::array<std::string_view, kExtractFieldCount> kExtractFieldNames = {
    "host",    "prefix", "domain",           "publicsuffix",       "privatesuffix",
    "section", "rule",   "icann_publicsuffix", "icann_privatesuffix"};

static_assert(static_cast<std::size_t>(ExtractField::kIcannPrivateSuffix) + 1 == kExtractFieldCount);

// The field called `name`, if there is one.
inline std::optional<ExtractField> extract_field_named(std::string_view name) noexcept {
    for (std::size_t i = 0; i < kExtractFieldCount; ++i) {
        if (kExtractFieldNames[i] == name) return static_cast<ExtractField>(i);
    }
    return std::nullopt;
}

// Which fields a caller asks for, in the order the caller gives them.
struct ExtractFields {
    std::array<ExtractField, kExtractFieldCount> order{};
    std::size_t count = 0;

    // Every field, in the record's order.
    static constexpr ExtractFields all() noexcept {
        ExtractFields fields;
        for (std::size_t i = 0; i < kExtractFieldCount; ++i) fields.order[i] = static_cast<ExtractField>(i);
        fields.count = kExtractFieldCount;
        return fields;
    }
    std::span<const ExtractField> chosen() const noexcept { return {order.data(), count}; }
    bool operator==(const ExtractFields& other) const noexcept {
        return count == other.count && std::equal(order.begin(), order.begin() + count, other.order.begin());
    }
};

// Whether a field needs the walk's Verdict, not only the public-suffix length.
inline bool needs_verdict(ExtractField field) noexcept {
    return field == ExtractField::kSection || field == ExtractField::kRule ||
           field == ExtractField::kIcannPublicSuffix || field == ExtractField::kIcannPrivateSuffix;
}

// The section of the rule that decided, as the record says it.
inline constexpr std::string_view kIcannSection = "icann";
inline constexpr std::string_view kPrivateSection = "private";

// The rule that decided, as the list writes it: `mark` ("!" for an
// exception, "*." for a wildcard, "" for a plain rule), then `name`. The
// implicit rule of an unknown top-level label is "*" without a mark.
struct RuleText {
    std::string_view mark;
    std::string_view name;

    std::size_t size() const noexcept { return mark.size() + name.size(); }
    // Writes the rule to `out`, which has room for size() bytes; returns its end.
    char* write(char* out) const noexcept;
    // The rule as one text: a plain rule's name itself, else the rule
    // written into `scratch`.
    std::string_view spelled(std::string& scratch) const {
        if (mark.empty()) return name;
        scratch.resize(size());
        write(scratch.data());
        return scratch;
    }
};

inline constexpr std::string_view kImplicitRule = "*";

// A valid name matched in both views: `match` carries the full view's
// public-suffix length, `verdict` both lengths and the deciding rule.
struct ExplainedMatch {
    MatchView match;
    Verdict verdict;

    // The same name as the ICANN-only view matches it.
    MatchView icann_match() const noexcept {
        MatchView icann = match;
        icann.public_length = verdict.icann_length;
        return icann;
    }
};

// The labels of `source` left of its rightmost labels `suffix`, with their
// dots but not the one before `suffix`; "" when there are none.
inline std::string_view labels_before(std::string_view source, std::string_view suffix) noexcept {
    // An empty view still points into `source`: copies of it never see null.
    return source.substr(0, suffix.size() == source.size() ? 0 : source.size() - suffix.size() - 1);
}

// The leftmost label of a private suffix: the one left of the public suffix.
inline std::string_view first_label(std::string_view suffix) noexcept {
    return suffix.substr(0, suffix.find('.'));
}

// The labels left of the private suffix with their dots ("www.shop"), ""
// when there are none; none when the name has no private suffix.
inline std::optional<std::string_view> prefix(const MatchView& match, bool keep_case) noexcept {
    const std::optional<std::string_view> suffix = privatesuffix(match, keep_case);
    if (!suffix) return std::nullopt;
    return labels_before(answer_source(match, keep_case), *suffix);
}

// The one label left of the public suffix; none when the name has no
// private suffix.
inline std::optional<std::string_view> domain(const MatchView& match, bool keep_case) noexcept {
    const std::optional<std::string_view> suffix = privatesuffix(match, keep_case);
    if (!suffix) return std::nullopt;
    return first_label(*suffix);
}

// The section of the rule that decided the full view; none for the
// implicit rule, or when no rule applies.
std::optional<std::string_view> decided_section(const RuleTables& tables, const Verdict& verdict) noexcept;

// The rule that decided the full view; none when no rule applies (no public
// suffix: an unknown top-level label without accept_unknown).
std::optional<RuleText> decided_rule(const RuleTables& tables, const MatchView& match,
                                     const Verdict& verdict) noexcept;

// One text field of a valid name: every field but kSection and kRule, which
// have their own functions. The host is the whole name, less its root dot.
inline std::optional<std::string_view> extract_text(ExtractField field, const ExplainedMatch& explained,
                                                    bool keep_case) noexcept {
    switch (field) {
        case ExtractField::kPrefix: return prefix(explained.match, keep_case);
        case ExtractField::kDomain: return domain(explained.match, keep_case);
        case ExtractField::kPublicSuffix: return publicsuffix(explained.match, keep_case);
        case ExtractField::kPrivateSuffix: return privatesuffix(explained.match, keep_case);
        case ExtractField::kIcannPublicSuffix: return publicsuffix(explained.icann_match(), keep_case);
        case ExtractField::kIcannPrivateSuffix: return privatesuffix(explained.icann_match(), keep_case);
        case ExtractField::kHost: return answer_source(explained.match, keep_case);
        case ExtractField::kSection:
        case ExtractField::kRule:
            break;
    }
    return std::nullopt;
}

// Every field of a valid name at once, each found once: the views of
// extract_text (a suffix that both views share is the same view), the
// section's and the rule.
struct ExtractedFields {
    std::optional<std::string_view> texts[kExtractFieldCount];  // all but kRule's
    std::optional<RuleText> rule;
};

void extract_fields(const RuleTables& tables, const ExplainedMatch& explained, bool keep_case,
                    ExtractedFields& out) noexcept;

}  // namespace vexlo
