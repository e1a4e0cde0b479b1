#include "tldextract/suffix_index.h"

#include <string>

#include "common/dots.h"
#include "common/fault.h"
#include "rules/child_search.h"
#include "rules/compiled_shape.h"
#include "rules/label_key.h"
#include "rules/walk.h"

namespace vexlo::tldextract {
namespace {

constexpr std::uint8_t kKinds = RULE_ANY | WILDCARD_ANY | EXCEPTION_ANY;
// The facts that a rule of some kind stands on a node.
constexpr std::uint8_t kRules = kRule | kWildcard | kException;

// The facts of kinds of rule (RULE_ANY...), of which `private_kinds` are
// private: the NodeFact bits sit at the kind bits shifted left by one, the
// private ones by four.
std::uint8_t kind_facts(unsigned kinds, unsigned private_kinds) noexcept {
    return static_cast<std::uint8_t>((kinds & kKinds) << 1 | (private_kinds & kinds & kKinds) << 4);
}

// Keeps the node that a whole name reaches.
struct NameNode {
    std::uint32_t node = 0;
    void reached(std::uint32_t n, std::uint8_t, std::size_t consumed, std::size_t label_count) noexcept {
        if (consumed == label_count) node = n;
    }
};

// The node that the rule name `name` (lowercase, no empty label) stands
// for, or 0 (the root) when the tables have none.
std::uint32_t node_named(const RuleTables& tables, std::string_view name) noexcept {
    std::size_t label_count = 1;
    for (const char c : name) label_count += c == '.';
    NameNode keeper;
    walk_rules<0, false>(tables, name.data(), name.size(), dot_bitmap(name.data(), name.size()),
                         label_count, keeper);
    return keeper.node;
}

// Follows the walk as tldextract's matcher: every node reached by a key, up
// to the first label that is no key (whose node, if vexlo's tables have it,
// is kept: the label may still spell an exception's key).
struct KeyKeeper {
    explicit KeyKeeper(const std::uint8_t* view) noexcept : facts(view) {}

    const std::uint8_t* facts;
    std::uint32_t node = 0;        // the last node reached by a key
    std::size_t matched = 0;       // the labels that reached it
    std::uint32_t no_key = 0;      // the node of the first label that is no key
    SuffixMatch match;

    [[gnu::always_inline]] void reached(std::uint32_t n, std::uint8_t, std::size_t consumed,
                                        std::size_t) noexcept {
        if (no_key != 0) return;
        const std::uint8_t f = facts[n];
        if (!(f & kKey)) {
            no_key = n;
            return;
        }
        node = n;
        matched = consumed;
        if (f & kRule) {
            match.found = true;
            match.suffix_labels = consumed;
            match.is_private = (f & kRulePrivate) != 0;
            if (!match.is_private) match.registry_labels = consumed;
        }
    }
};

// The label of `labels` that is `from_right` labels from its end (1: the
// last one).
std::string_view label_from_right(std::string_view labels, std::uint64_t dots,
                                  std::size_t from_right) noexcept {
    const std::size_t start = rightmost_labels_start(labels.data(), labels.size(), dots, from_right);
    const std::size_t end =
        from_right == 1 ? labels.size()
                        : rightmost_labels_start(labels.data(), labels.size(), dots, from_right - 1) - 1;
    return labels.substr(start, end - start);
}

bool starts_with_ace(std::string_view label) noexcept { return label.starts_with("xn--"); }

}  // namespace

SuffixIndex::SuffixIndex(const RuleTables& tables, std::span<const ExtraSuffix> extras,
                         const RuleTables& base)
    : icann_(tables.node_count), full_(tables.node_count) {
    // The kinds of extra suffix on each node, and of those, the ones that
    // the list's private section holds too (tldextract adds the private
    // rules last, so theirs is the section that counts).
    std::vector<std::uint8_t> extra_kinds(tables.node_count), extra_private(tables.node_count);
    for (const ExtraSuffix& extra : extras) {
        const std::uint32_t node = node_named(tables, extra.name);
        extra_kinds[node] |= extra.kind;
        if (const std::uint32_t listed = node_named(base, extra.name); listed != 0) {
            const std::uint8_t flags = base.nodes[listed].flags;
            if ((flags & extra.kind) && !(flags & (extra.kind << ICANN_SHIFT))) {
                extra_private[node] |= extra.kind;
            }
        }
    }
    // Whether any rule lies below a node, in each view: its label is then a
    // key. Children come after their parents, so a pass from the last node
    // back sees every child before its parent.
    std::vector<bool> icann_below(tables.node_count), full_below(tables.node_count);
    for (std::uint32_t node = tables.node_count; node-- > 0;) {
        const std::uint8_t flags = tables.nodes[node].flags;
        const unsigned icann_kinds = (flags >> ICANN_SHIFT) | extra_kinds[node];
        const unsigned full_kinds = flags & kKinds;
        const unsigned private_kinds = (full_kinds & ~icann_kinds) | extra_private[node];
        icann_[node] = kind_facts(icann_kinds, 0);
        full_[node] = kind_facts(full_kinds, private_kinds);
        const TrieNode& n = tables.nodes[node];
        for (std::uint32_t e = n.first_edge; e < n.first_edge + n.edge_count; ++e) {
            const std::int32_t child = tables.edges[e].child;
            if (child < 0) continue;
            if (static_cast<std::uint32_t>(child) <= node) {
                raise_fault("tldextract's index needs tables whose children follow their parents");
            }
            icann_below[node] = icann_below[node] || icann_below[child] || (icann_[child] & kRules) != 0;
            full_below[node] = full_below[node] || full_below[child] || (full_[child] & kRules) != 0;
            if (icann_[child] & kException) icann_[node] |= kHoldsException;
            if (full_[child] & kException) full_[node] |= kHoldsException;
        }
        constexpr std::uint8_t kEndsOrOpens = kRule | kWildcard;
        if (icann_below[node] || (icann_[node] & kEndsOrOpens)) icann_[node] |= kKey;
        if (full_below[node] || (full_[node] & kEndsOrOpens)) full_[node] |= kKey;
    }
}

SuffixMatch suffix_match(const RuleTables& tables, const std::uint8_t* facts,
                         std::string_view labels, std::uint64_t dots, std::size_t label_count,
                         bool more_labels) noexcept {
    KeyKeeper keeper(facts);
    // The search of a root as wide as the compiled list's runs unrolled.
    if (tables.nodes[0].edge_count == kCompiledRootEdgeCount) {
        walk_rules<kCompiledRootEdgeCount, false>(tables, labels.data(), labels.size(), dots,
                                                  label_count, keeper);
    } else {
        walk_rules<0, false>(tables, labels.data(), labels.size(), dots, label_count, keeper);
    }
    SuffixMatch& match = keeper.match;
    const std::size_t matched = keeper.matched;
    if (matched == label_count && !more_labels) return match;
    const std::uint8_t f = facts[keeper.node];
    // The label after the last key (an empty one when the walk took every
    // label it had) may be "!y", the key of an exception "!y.<node>" spelled
    // as the list spells it (which is never the "xn--" form of a Unicode
    // label).
    if ((f & kHoldsException) && matched < label_count) {
        const std::string_view next = label_from_right(labels, dots, matched + 1);
        if (next.size() > 1 && next[0] == '!' && !starts_with_ace(next.substr(1))) {
            const std::string_view name = next.substr(1);
            const std::int32_t child =
                find_child(tables, keeper.node, name.data(), name.size(), label_key(name));
            if (child != 0 && (facts[child] & kException)) {
                const bool is_private = (facts[child] & kExceptionPrivate) != 0;
                return {true, matched + 1, is_private ? match.registry_labels : matched + 1,
                        is_private};
            }
        }
    }
    // A label that is no key of a wildcard's node: the wildcard takes it,
    // unless it is an exception's.
    if (f & kWildcard) {
        const bool exception = keeper.no_key != 0 && (facts[keeper.no_key] & kException);
        return {true, exception ? matched : matched + 1, match.registry_labels,
                (f & kWildcardPrivate) != 0};
    }
    return match;
}

}  // namespace vexlo::tldextract
