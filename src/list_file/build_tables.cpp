#include "list_file/build_tables.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "list_file/label_map.h"
#include "list_file/limits.h"
#include "list_file/message_text.h"
#include "list_file/punycode.h"
#include "common/sha256.h"

namespace vexlo::list_file {

static_assert(kMaxNodes - 1 <= 0x7FFFFFFF, "TrieEdge::child is a signed 32-bit index");
static_assert(kMaxPoolBytes <= 0xFFFFFFFF, "TrieEdge::label_end is 32 bits");
static_assert(kMaxFanOut <= 0xFFFF, "TrieNode::edge_count is 16 bits");

namespace {

bool is_ascii(std::string_view text) noexcept {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

// Calls visit(label, start) for each label of `name` from the rightmost.
template <class Visit>
bool each_label_from_right(std::string_view name, Visit&& visit) {
    std::size_t end = name.size();
    for (;;) {
        const std::size_t dot = end == 0 ? std::string_view::npos : name.rfind('.', end - 1);
        const std::size_t start = dot == std::string_view::npos ? 0 : dot + 1;
        if (!visit(name.substr(start, end - start), start)) return false;
        if (dot == std::string_view::npos) return true;
        end = dot;
    }
}

// A rule's name in the other spelling: "xn--" labels for Unicode ones, or
// Unicode labels for "xn--" ones, appended to `out`. False when the name has
// neither, or a label does not convert (which parse_list rules out).
bool append_twin(std::string_view name, std::string& out) {
    bool unicode = false;
    bool ace = false;
    for (std::size_t start = 0; start <= name.size();) {
        const std::size_t dot = std::min(name.find('.', start), name.size());
        const std::string_view label = name.substr(start, dot - start);
        unicode = unicode || !is_ascii(label);
        ace = ace || label.starts_with(kAcePrefix);
        start = dot + 1;
    }
    if (!unicode && !ace) return false;
    for (std::size_t start = 0; start <= name.size();) {
        const std::size_t dot = std::min(name.find('.', start), name.size());
        const std::string_view label = name.substr(start, dot - start);
        if (start != 0) out += '.';
        if (unicode ? is_ascii(label) : !label.starts_with(kAcePrefix)) {
            out += label;
        } else {
            const std::optional<std::string> other =
                unicode ? to_ace_label(label) : from_ace_label(label);
            if (!other) return false;
            out += *other;
        }
        start = dot + 1;
    }
    return true;
}

struct Name {
    std::string_view text;
    std::uint32_t line;
    std::uint8_t flags;
    // A twin: the name of the rule as listed, in its other spelling; empty
    // for a rule as listed.
    std::string_view listed_as;
};

struct BuildNode {
    std::string_view label;  // of the edge from its parent
    std::uint32_t parent;
    std::uint32_t line;  // of the rule that made it
    std::uint32_t child_count = 0;
    std::uint8_t flags = 0;
    bool listed = false;            // a rule as listed names this node
    std::string_view twin_of = {};  // the listed name of a twin that names it
};

class Builder {
public:
    Builder(ErrorSink& errors, std::size_t node_estimate)
        : errors_(errors), children_of_(node_estimate) {
        nodes_.reserve(node_estimate + 1);
        nodes_.push_back({{}, 0, 0});
    }

    bool insert(const Name& name) {
        std::uint32_t node = 0;
        const auto step = [&](std::string_view label, std::size_t start) {
            return descend(name, label, start, node);
        };
        if (!each_label_from_right(name.text, step)) return false;
        BuildNode& named = nodes_[node];
        named.flags |= name.flags;
        if (name.listed_as.empty()) {
            named.listed = true;
        } else if (named.twin_of.empty()) {
            named.twin_of = name.listed_as;
        }
        return true;
    }

    // Numbers the nodes breadth-first, each node's children in the byte
    // order of their labels, and lays out the three tables. Once, after the
    // last insert.
    bool lay_out(ListTables& out) {
        const std::size_t count = nodes_.size();
        std::vector<std::uint32_t> run_start(count + 1, 0);
        for (std::size_t n = 0; n < count; ++n) {
            run_start[n + 1] = run_start[n] + nodes_[n].child_count;
        }
        std::vector<std::uint32_t> children(count - 1);
        {
            std::vector<std::uint32_t> filled(run_start.begin(), run_start.end() - 1);
            for (std::uint32_t n = 1; n < count; ++n) children[filled[nodes_[n].parent]++] = n;
        }
        const auto by_label = [&](std::uint32_t a, std::uint32_t b) {
            return nodes_[a].label < nodes_[b].label;
        };

        out.nodes.reserve(count);
        out.edges.reserve(count - 1);
        std::vector<std::uint32_t> order;  // old node numbers, breadth-first
        order.reserve(count);
        order.push_back(0);
        // A label's text -> its index in `starts`. The map of children is
        // done with: its memory serves again.
        LabelMap& spans = children_of_;
        spans.clear();
        std::vector<std::uint32_t> starts;
        std::string& pool = out.pool;
        for (std::size_t at = 0; at < order.size(); ++at) {
            const BuildNode& node = nodes_[order[at]];
            const auto run = children.begin() + run_start[order[at]];
            std::sort(run, run + node.child_count, by_label);
            out.nodes.push_back({static_cast<std::uint32_t>(out.edges.size()),
                                 static_cast<std::uint16_t>(node.child_count), node.flags});
            for (std::uint32_t i = 0; i < node.child_count; ++i) {
                const BuildNode& child = nodes_[run[i]];
                const auto [span, added] =
                    spans.emplace(0, child.label, static_cast<std::uint32_t>(starts.size()));
                if (added) {
                    if (pool.size() + child.label.size() > kMaxPoolBytes) {
                        errors_.add(child.line, "the label pool would exceed " +
                                                    with_thousands(kMaxPoolBytes) + " bytes");
                        return false;
                    }
                    starts.push_back(static_cast<std::uint32_t>(pool.size()));
                    pool += child.label;
                }
                const std::uint32_t start = starts[span];
                // Breadth-first numbering: the node reached by edge e is node e + 1.
                out.edges.push_back({start, start + static_cast<std::uint32_t>(child.label.size()),
                                     static_cast<std::int32_t>(out.edges.size() + 1)});
                order.push_back(run[i]);
            }
        }
        out.distinct_labels = starts.size();
        lay_out_spellings(order, out);
        return true;
    }

private:
    // The list's own spelling of every node that only a twin names, by the
    // nodes' new numbers (`order` holds the old number of each new one).
    void lay_out_spellings(const std::vector<std::uint32_t>& order, ListTables& out) const {
        for (std::uint32_t n = 0; n < order.size(); ++n) {
            const BuildNode& node = nodes_[order[n]];
            if (node.listed || node.twin_of.empty()) continue;
            const auto start = static_cast<std::uint32_t>(out.spelling_text.size());
            out.spelling_text += node.twin_of;
            out.spellings.push_back(
                {n, start, static_cast<std::uint32_t>(out.spelling_text.size())});
        }
    }

    // From `node` to its child by `label` (at `start` in the name), made if
    // it is not there yet.
    bool descend(const Name& name, std::string_view label, std::size_t start, std::uint32_t& node) {
        const auto next = static_cast<std::uint32_t>(nodes_.size());
        const auto [child, added] = children_of_.emplace(node, label, next);
        if (added) {
            if (nodes_[node].child_count == kMaxFanOut) return fan_out_error(name, label, start);
            if (nodes_.size() == kMaxNodes) {
                errors_.add(name.line,
                            "the trie would exceed " + with_thousands(kMaxNodes) + " nodes");
                return false;
            }
            nodes_.push_back({label, node, name.line});
            ++nodes_[node].child_count;
        }
        node = child;
        return true;
    }

    bool fan_out_error(const Name& name, std::string_view label, std::size_t start) {
        const std::size_t after = std::min(start + label.size() + 1, name.text.size());
        const std::string_view parent = name.text.substr(after);
        const std::string where = parent.empty() ? "the root" : "the node for " + quoted(parent);
        errors_.add(name.line, where + " would get more than " + with_thousands(kMaxFanOut) +
                                   " children (adding " + quoted(label) + ")");
        return false;
    }

    ErrorSink& errors_;
    std::vector<BuildNode> nodes_;  // in the order they were made; the root first
    LabelMap children_of_;          // (parent, label) -> child
};

}  // namespace

BuiltTables build_rule_tables(const ParsedList& list, std::string_view data,
                              std::size_t errors_kept) {
    BuiltTables built;
    if (!list.errors.empty()) {
        built.errors = list.errors;
        return built;
    }
    ErrorSink errors(built.errors, errors_kept);

    // The twins' names, all made before any is viewed.
    std::string twin_text;
    // (start, size) in twin_text: the twins of a file of at most kMaxFileBytes
    // take far less than 4 GiB.
    std::vector<std::pair<std::uint32_t, std::uint32_t>> twin_span(list.rules.size(), {0, 0});
    for (std::size_t r = 0; r < list.rules.size(); ++r) {
        const std::size_t start = twin_text.size();
        if (append_twin(list.rules[r].name, twin_text)) {
            twin_span[r] = {static_cast<std::uint32_t>(start),
                            static_cast<std::uint32_t>(twin_text.size() - start)};
        } else {
            twin_text.resize(start);
        }
    }

    // A twin counts when no rule of the list, and no earlier twin, is the same.
    const auto key = [](const ListRule& rule) {
        return std::uint32_t{static_cast<std::uint8_t>(rule.section)} << 8 |
               static_cast<std::uint8_t>(rule.kind);
    };
    LabelMap listed(0);
    for (std::size_t r = 0; r < list.rules.size(); ++r) {
        if (twin_span[r].second != 0) listed.emplace(key(list.rules[r]), list.rules[r].name, 0);
    }
    std::size_t twin_count = 0;
    std::size_t twin_names = 0;
    for (std::size_t r = 0; r < list.rules.size(); ++r) {
        if (twin_span[r].second == 0) continue;
        ++twin_names;
        const std::string_view twin(twin_text.data() + twin_span[r].first, twin_span[r].second);
        twin_count += listed.emplace(key(list.rules[r]), twin, 0).second;
    }

    // Each rule, then its twin, in the order of the list.
    // About one node per name in the lists seen.
    Builder builder(errors, list.rules.size() + twin_names);
    for (std::size_t r = 0; r < list.rules.size(); ++r) {
        const ListRule& rule = list.rules[r];
        const std::uint8_t flags = rule_flags(rule.section, rule.kind);
        if (!builder.insert({rule.name, rule.line, flags, {}})) return built;
        if (twin_span[r].second == 0) continue;
        const std::string_view twin(twin_text.data() + twin_span[r].first, twin_span[r].second);
        if (!builder.insert({twin, rule.line, flags, rule.name})) return built;
    }
    ListTables tables;
    if (!builder.lay_out(tables)) return built;
    tables.checksum = sha256_hex(data);
    tables.version = list.version;
    tables.rule_count = list.rules.size();
    tables.twin_count = twin_count;
    built.tables = std::move(tables);
    return built;
}

BuiltTables compile_list(std::string_view data, std::size_t errors_kept) {
    const ParsedList list = parse_list(data, errors_kept);
    return build_rule_tables(list, data, errors_kept);
}

}  // namespace vexlo::list_file
