// tldextract's trie, read off vexlo's tables. tldextract keeps each rule as
// written, label by label from the right, and matches a name's labels
// against those keys: a plain rule's last label is a key that ends a suffix,
// a wildcard "*.x" makes "*" a key under x, an exception "!y.x" makes "!y"
// one. Its matcher (suffix_match below) differs from the list's algorithm,
// which the walk's own keepers follow:
//
//   - a wildcard applies only to a label that is no key of its node: under
//     "*.kobe.jp" and "!city.kobe.jp", "city" is no key (only "!city" is),
//     so the wildcard applies and the exception takes it back; but a name
//     that ends at the wildcard's node ("sendai.jp" under "*.sendai.jp",
//     which is no rule) has the suffix of the rules above it ("jp");
//   - the deciding node's section is that of its own rule ("*" for a
//     wildcard, even when its exception applied), and the registry suffix
//     is the last plain ICANN rule on the way;
//   - a name's label "*" or "!y" is matched as the key it spells.
//
// So that the one walk of rules/walk.h serves, the keys are kept as facts of
// vexlo's nodes, one byte a node for each view: the ICANN view (the ICANN
// section and the extra suffixes), and the full one. A node reached by a
// label that is no key of tldextract's ends its match there.
//
// What the tables cannot tell is not told: a label is taken in either
// spelling (tldextract decodes a name's "xn--" labels with the idna
// package, which takes the "xn--" form of every Unicode label of the
// published lists, and compares them with the rules as written, which the
// published lists write in Unicode), and a rule listed in both sections is
// an ICANN rule (the published lists have none).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "rules/rule_tables.h"

namespace vexlo::tldextract {

// The facts of one node in one view.
enum NodeFact : std::uint8_t {
    kKey = 0x01,            // its label is a key of its parent
    kRule = 0x02,           // a plain rule ends there
    kWildcard = 0x04,       // "*" is a key under it
    kException = 0x08,      // "!label" is a key of its parent
    kRulePrivate = 0x10,    // the plain rule is a private one
    kWildcardPrivate = 0x20,
    kExceptionPrivate = 0x40,
    kHoldsException = 0x80,  // an exception's key is among its own
};

// A rule of tldextract's extra suffixes, which the tables hold as rules of
// their own: its kind (RULE_ANY, WILDCARD_ANY or EXCEPTION_ANY) and the
// name it marks, lowercase.
struct ExtraSuffix {
    std::uint8_t kind;
    std::string_view name;
};

class SuffixIndex {
public:
    // The facts of every node of `tables`, tables laid out as the list's
    // builder lays them (every child after its parent). `extras` are public
    // in both views; `base` are the tables before the extras were added
    // (`tables` itself without extras), which say whether an extra suffix is
    // a private rule of the list too. Throws std::bad_alloc.
    SuffixIndex(const RuleTables& tables, std::span<const ExtraSuffix> extras,
                const RuleTables& base);

    // One byte of NodeFact a node.
    const std::uint8_t* facts(bool include_private) const noexcept {
        return include_private ? full_.data() : icann_.data();
    }

private:
    std::vector<std::uint8_t> icann_;
    std::vector<std::uint8_t> full_;
};

// How tldextract's matcher ends for a name: how many of its rightmost
// labels are its public suffix (0: it found none), whether the rule that
// decided is private, and how many are the registry suffix (the suffix of
// the last plain public rule on the way).
struct SuffixMatch {
    bool found = false;  // a suffix, though perhaps of no label (an exception at the root)
    std::size_t suffix_labels = 0;
    std::size_t registry_labels = 0;
    bool is_private = false;
};

// `labels` is the lowercase of the name's rightmost labels that are not
// empty (a valid name for the walk: `label_count` labels, dot bitmap
// `dots`); `more_labels` says whether the name has labels left of them (an
// empty one first). `facts` is one view of a SuffixIndex of `tables`.
SuffixMatch suffix_match(const RuleTables& tables, const std::uint8_t* facts,
                         std::string_view labels, std::uint64_t dots, std::size_t label_count,
                         bool more_labels) noexcept;

}  // namespace vexlo::tldextract
