// The match of a short ASCII name, made without a NormalizedDomain: its
// lowercase lives on the caller's stack and its walk is inlined into the
// caller, so that the common call is one function. Every answer is the one
// match_domain gives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/dots.h"
#include "normalize/ascii_labels.h"
#include "query/answers.h"
#include "rules/rule_tables.h"
#include "rules/rule_view.h"
#include "rules/walk.h"

namespace vexlo {

// The match of a short ASCII name, without a NormalizedDomain.
struct ShortMatch {
    std::size_t size;           // bytes of `lowered` in use
    std::size_t label_count;    // at least 1
    std::uint64_t dots;         // the dot bitmap of `lowered`
    std::size_t public_length;  // 0..label_count; 0: no public suffix
    char lowered[kDotBitmapBytes];

    // Nothing is zeroed: match_short fills what it reports as filled.
    ShortMatch() noexcept {}

    // `given`: the name as match_short took it (less its trailing dot).
    MatchView view(std::string_view given) const noexcept {
        if (size > kDotBitmapBytes) __builtin_unreachable();  // so answers never search
        return {{lowered, size}, given, dots, label_count, public_length, true};
    }
};

enum class ShortOutcome : unsigned char {
    kMatched,  // `out` holds the name and its public-suffix length
    kInvalid,  // the name is invalid (match_domain would give no Match)
    kOther,    // not ASCII, or longer than kDotBitmapBytes: ask match_domain
};

// Lowers `domain` into `out` (its size, labels and dots) as match_domain
// normalises it, when it is ASCII and (less one trailing dot, which `domain`
// loses) at most kDotBitmapBytes long; kMatched then means "lowered", and
// `out.public_length` is left for the walk.
[[gnu::always_inline]] inline ShortOutcome lower_short(std::string_view& domain, ShortMatch& out) noexcept {
    if (!domain.empty() && domain.back() == '.') domain.remove_suffix(1);
    if (domain.empty()) return ShortOutcome::kInvalid;
    if (domain.size() > kDotBitmapBytes) return ShortOutcome::kOther;
    LabelShape shape;
    switch (lower_ascii_labels(domain.data(), domain.size(), out.lowered, shape)) {
        case AsciiLabels::kValid:
            break;
        case AsciiLabels::kInvalid:
            return ShortOutcome::kInvalid;
        case AsciiLabels::kNotAscii:
            return ShortOutcome::kOther;
    }
    out.size = domain.size();
    out.label_count = shape.label_count;
    out.dots = shape.dots;
    return ShortOutcome::kMatched;
}

// Normalises and matches `domain` as match_domain does, when lower_short
// takes it. kRootEdges: as for walk_name, the root's edge count when known
// when compiling (kCompiledRootEdgeCount for the compiled tables), else 0.
template <std::size_t kRootEdges>
[[gnu::always_inline]] inline ShortOutcome match_short(const RuleTables& tables,
                                                       std::string_view& domain, Switches switches,
                                                       ShortMatch& out) noexcept {
    const ShortOutcome lowered = lower_short(domain, out);
    if (lowered != ShortOutcome::kMatched) return lowered;
    out.public_length =
        switches.icann_only
            ? walk_name<kRootEdges, true, true>(tables, out.lowered, out.size, out.dots,
                                                out.label_count, switches.accept_unknown)
            : walk_name<kRootEdges, false, true>(tables, out.lowered, out.size, out.dots,
                                                 out.label_count, switches.accept_unknown);
    return ShortOutcome::kMatched;
}

// The same in both views, keeping the rule that decided (as trace_domain):
// `out.public_length` is the full view's, `verdict` tells the rest.
template <std::size_t kRootEdges>
[[gnu::always_inline]] inline ShortOutcome trace_short(const RuleTables& tables,
                                                       std::string_view& domain, bool accept_unknown,
                                                       ShortMatch& out, Verdict& verdict) noexcept {
    const ShortOutcome lowered = lower_short(domain, out);
    if (lowered != ShortOutcome::kMatched) return lowered;
    RuleTrace trace;
    walk_rules<kRootEdges, true>(tables, out.lowered, out.size, out.dots, out.label_count, trace);
    verdict = finished_verdict(trace, accept_unknown);
    out.public_length = verdict.public_length;
    return ShortOutcome::kMatched;
}

}  // namespace vexlo
