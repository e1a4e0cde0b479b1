// An independent model of a list's matching, for tests and fuzzers: every
// name that the rules spell out in a hash map, answered by looking up ever
// longer suffixes of a name. No trie, and nothing shared with the table
// builder or the walks.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "punycode.h"
#include "test_trie.h"

namespace vexlo::testing {

enum Kind : unsigned { kRule = 1, kWildcard = 2, kException = 4 };

struct ListedRule {
    std::string name;
    unsigned kind;
    bool icann;
};

struct ModelNode {
    unsigned any = 0;    // kinds of rules naming this node, either section
    unsigned icann = 0;  // the same, ICANN section only
};

class ListModel {
public:
    void add(const ListedRule& rule) {
        const auto labels = testing::split_labels(rule.name);
        std::string suffix;
        for (auto label = labels.rbegin(); label != labels.rend(); ++label) {
            suffix = suffix.empty() ? *label : *label + "." + suffix;
            nodes_[suffix];  // every suffix of a rule's name lies on the way to it
        }
        ModelNode& node = nodes_[rule.name];
        node.any |= rule.kind;
        if (rule.icann) node.icann |= rule.kind;
    }

    // Public-suffix length: the last suffix, growing from the right, that a
    // rule applies to decides; growing stops at the first suffix no rule spells.
    std::size_t length(std::string_view name, bool accept_unknown, bool icann_only) const {
        const auto labels = testing::split_labels(name);
        const std::size_t count = labels.size();
        std::optional<std::size_t> result;
        std::string suffix;
        for (std::size_t j = 1; j <= count; ++j) {
            const std::string& label = labels[count - j];
            suffix = j == 1 ? label : label + "." + suffix;
            const auto found = nodes_.find(suffix);
            if (found == nodes_.end()) break;
            const unsigned kinds = icann_only ? found->second.icann : found->second.any;
            if (kinds & kException) {
                result = j - 1;
            } else if (kinds & kWildcard) {
                result = j < count ? j + 1 : j;
            } else if (kinds & kRule) {
                result = j;
            }
        }
        return result ? *result : accept_unknown ? 1 : 0;
    }

    const std::unordered_map<std::string, ModelNode>& nodes() const { return nodes_; }

private:
    std::unordered_map<std::string, ModelNode> nodes_;
};

// The name in the other spelling of its internationalised labels, or "" when
// it has none.
inline std::string twin_name(const std::string& name) {
    std::string out;
    bool changed = false;
    for (const std::string& label : testing::split_labels(name)) {
        const auto other = testing::other_spelling(label);
        changed |= other.has_value();
        out += (out.empty() ? "" : ".") + (other ? *other : label);
    }
    return changed ? out : std::string();
}

}  // namespace vexlo::testing
