// An independent model of a list's matching, for tests and fuzzers: every
// name that the rules spell out in a hash map, answered by looking up ever
// longer suffixes of a name. No trie, and nothing shared with the table
// builder or the walks. It also says which rule decided, as the list writes
// it, and reads a list file with a small parser of its own.
#pragma once

#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

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
    bool listed = false;      // a rule as the list writes it names this node
    std::string twin_of;      // else: the listed name whose twin names it
};

// Why a name's public suffix is what it is, in both views.
struct ModelVerdict {
    std::size_t length;
    std::size_t icann_length;
    std::optional<std::string> rule;     // as the list writes it; "*" for the implicit rule
    std::optional<std::string> section;  // "icann" or "private"
};

class ListModel {
public:
    // `twin_of`: for a rule in the other spelling of a listed one, the
    // listed rule's name.
    void add(const ListedRule& rule, const std::string& twin_of = {}) {
        const auto labels = testing::split_labels(rule.name);
        std::string suffix;
        for (auto label = labels.rbegin(); label != labels.rend(); ++label) {
            suffix = suffix.empty() ? *label : *label + "." + suffix;
            nodes_[suffix];  // every suffix of a rule's name lies on the way to it
        }
        ModelNode& node = nodes_[rule.name];
        node.any |= rule.kind;
        if (rule.icann) node.icann |= rule.kind;
        if (twin_of.empty()) {
            node.listed = true;
        } else if (node.twin_of.empty()) {
            node.twin_of = twin_of;
        }
    }

    // Adds a rule and its twin, if it has one.
    void add_with_twin(const ListedRule& rule);

    // Both lengths, and the last suffix on the way whose node has a rule of
    // any kind in either section: the rule that decided the full view.
    ModelVerdict explain(std::string_view name, bool accept_unknown) const {
        ModelVerdict verdict{length(name, accept_unknown, false), length(name, accept_unknown, true),
                             std::nullopt, std::nullopt};
        const auto labels = testing::split_labels(name);
        std::string suffix;
        for (std::size_t j = 1; j <= labels.size(); ++j) {
            const std::string& label = labels[labels.size() - j];
            suffix = j == 1 ? label : label + "." + suffix;
            const auto found = nodes_.find(suffix);
            if (found == nodes_.end()) break;
            const ModelNode& node = found->second;
            if (node.any == 0) continue;
            const unsigned kind = node.any & kException ? kException : node.any & kWildcard ? kWildcard : kRule;
            const std::string mark = kind == kException ? "!" : kind == kWildcard ? "*." : "";
            verdict.rule = mark + (node.listed ? suffix : node.twin_of);
            verdict.section = node.icann & kind ? "icann" : "private";
        }
        if (!verdict.rule && verdict.length != 0) verdict.rule = "*";
        return verdict;
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

inline void ListModel::add_with_twin(const ListedRule& rule) {
    add(rule);
    const std::string twin = twin_name(rule.name);
    if (!twin.empty()) add({twin, rule.kind, rule.icann}, rule.name);
}

// A list file read by the model's own small parser: its bytes and rules.
struct ModelList {
    std::string bytes;
    std::vector<ListedRule> rules;
};

// Empty when the file cannot be read.
inline ModelList read_model_list(const char* path) {
    ModelList list;
    std::ifstream in(path, std::ios::binary);
    if (!in) return list;
    std::ostringstream all;
    all << in.rdbuf();
    list.bytes = all.str();
    std::istringstream lines(list.bytes);
    std::string line;
    bool icann = false;
    while (std::getline(lines, line)) {
        if (line.find("===BEGIN ICANN DOMAINS===") != std::string::npos) icann = true;
        if (line.find("===BEGIN PRIVATE DOMAINS===") != std::string::npos) icann = false;
        std::istringstream words(line);
        std::string rule;
        if (!(words >> rule) || rule.rfind("//", 0) == 0) continue;
        if (rule[0] == '!') {
            list.rules.push_back({rule.substr(1), kException, icann});
        } else if (rule.rfind("*.", 0) == 0) {
            list.rules.push_back({rule.substr(2), kWildcard, icann});
        } else {
            list.rules.push_back({rule, kRule, icann});
        }
    }
    return list;
}

}  // namespace vexlo::testing
