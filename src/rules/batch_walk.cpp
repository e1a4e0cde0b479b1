#include "rules/batch_walk.h"

#include <algorithm>
#include <bit>
#include <memory>

#include "common/dots.h"
#include "rules/child_search.h"
#include "rules/label_key.h"

namespace vexlo {

namespace {

// Names whose searches run interleaved: one name's loads overlap the others'
// waits. Two to eight measured alike; four keep a group's state in registers.
constexpr std::size_t kLanes = 4;
// Names walked level by level together: enough to fill the probe classes
// with whole groups of lanes.
constexpr std::size_t kChunk = 256;
// A node has at most 65,535 edges: 16 probes.
constexpr unsigned kMaxProbes = 16;

// One name on its way down the trie.
template <class Keeper>
struct Walker {
    LabelCursor<> labels;
    std::size_t label_count;
    std::size_t name;  // index into the names
    std::size_t consumed;
    Keeper keeper;
    const char* text;
    std::uint32_t node;
    // The label of this level: where it starts, its length and key, and the
    // edge key its search is at (the first of the node's run until searched).
    std::size_t start;
    std::size_t label_length;
    std::uint64_t key;
    const std::uint64_t* found;
};

// What a walker leaves in its place of the output once its walk has ended.
template <bool kIcannOnly>
void store(std::uint32_t& out, const SuffixLength<kIcannOnly>& keeper, bool accept_unknown) noexcept {
    out = static_cast<std::uint32_t>(finished_length(keeper.length, accept_unknown));
}
inline void store(Verdict& out, const RuleTrace& trace, bool accept_unknown) noexcept {
    out = finished_verdict(trace, accept_unknown);
}

// Output: what each name's walk leaves (a length, or a Verdict).
template <class Keeper, class Output>
class ChunkWalk {
    using Walker = vexlo::Walker<Keeper>;

public:
    ChunkWalk(const RuleTables& tables, bool accept_unknown)
        : tables_(tables), accept_unknown_(accept_unknown) {}

    void run(std::span<const WalkName> names, std::size_t first, Output* outputs) {
        outputs_ = outputs;
        for (std::size_t i = 0; i < names.size(); ++i) {
            const WalkName& name = names[i];
            Walker& w = walkers_[i];
            w.labels = LabelCursor<>(name.text, name.size, name.dots);
            w.label_count = name.label_count;
            w.name = first + i;
            w.consumed = 0;
            w.keeper = Keeper{};
            w.text = name.text;
            w.node = 0;
        }
        root_level(names.size());
        // Every further level: the walkers waiting in the classes of one
        // set are searched, and those that go on wait in the other's.
        for (unsigned set = 0; waiting_[set] != 0; set ^= 1) {
            waiting_[set] = 0;
            for (unsigned probes = 0; probes <= kMaxProbes; ++probes) {
                std::size_t& members = filled_[set][probes];
                if (members == 0) continue;
                std::uint16_t* const cls = classes_[set][probes];
                // Whole groups of lanes; the last is topped up with copies
                // of its last walker, whose search then runs more than once.
                const std::size_t groups = (members + kLanes - 1) / kLanes;
                for (std::size_t k = members; k < groups * kLanes; ++k) cls[k] = cls[members - 1];
                for (std::size_t g = 0; g < groups; ++g) search(cls + g * kLanes, probes);
                for (std::size_t k = 0; k < members; ++k) step(cls[k], set ^ 1);
                members = 0;
            }
        }
    }

private:
    // Cuts the walker's next label, which is searched for among the edges
    // of `node`.
    void take_label(Walker& w, const TrieNode& node) const noexcept {
        w.start = w.labels.start();
        w.label_length = w.labels.end() - w.start;
        w.key = label_key_padded(w.text + w.start, w.label_length);
        w.found = tables_.keys + node.first_edge;
    }

    // The first level, walkers_[0, count) all at the root: their searches
    // halve the same run by the same steps. Those that go on wait in set 0.
    void root_level(std::size_t count) {
        const TrieNode& root = tables_.nodes[0];
        if (root.edge_count == 0) {
            for (std::size_t i = 0; i < count; ++i) finish(walkers_[i]);
            return;
        }
        std::size_t halves[kMaxProbes];
        unsigned probes = 0;
        for (std::size_t size = root.edge_count; size > 1; size -= size / 2) halves[probes++] = size / 2;
        for (std::size_t i = 0; i < count; ++i) take_label(walkers_[i], root);
        const std::uint64_t* const edges = tables_.keys + root.first_edge;
        for (std::size_t g = 0; g < count; g += kLanes) {
            // The last group is topped up with copies of the last walker.
            Walker* lane[kLanes];
            const std::uint64_t* found[kLanes];
            std::uint64_t key[kLanes];
            for (std::size_t l = 0; l < kLanes; ++l) {
                lane[l] = &walkers_[std::min(g + l, count - 1)];
                found[l] = edges;
                key[l] = lane[l]->key;
            }
            for (unsigned p = 0; p < probes; ++p) {
                for (std::size_t l = 0; l < kLanes; ++l) {
                    found[l] = probe_step(found[l], found[l] + halves[p], key[l]);
                }
            }
            for (std::size_t l = 0; l < kLanes; ++l) lane[l]->found = found[l];
        }
        for (std::size_t i = 0; i < count; ++i) step(static_cast<std::uint16_t>(i), 0);
    }

    // The fixed-probe search of kLanes walkers with `probes` probes each.
    void search(const std::uint16_t* members, unsigned probes) {
        const std::uint64_t* found[kLanes];
        std::uint64_t key[kLanes];
        std::size_t size[kLanes];
        for (std::size_t l = 0; l < kLanes; ++l) {
            const Walker& w = walkers_[members[l]];
            found[l] = w.found;
            key[l] = w.key;
            size[l] = tables_.nodes[w.node].edge_count;
        }
        for (unsigned p = 0; p < probes; ++p) {
            for (std::size_t l = 0; l < kLanes; ++l) {
                const std::size_t half = size[l] / 2;
                found[l] = probe_step(found[l], found[l] + half, key[l]);
                size[l] -= half;
            }
        }
        for (std::size_t l = 0; l < kLanes; ++l) walkers_[members[l]].found = found[l];
    }

    // The end of the walker's search, and its step to the child; a walker
    // that goes on waits in `set` for its next search.
    void step(std::uint16_t index, unsigned set) {
        Walker& w = walkers_[index];
        const std::int32_t child =
            settle_child(tables_, w.node, w.found, w.text + w.start, w.label_length, w.key);
        if (child == 0) return finish(w);
        w.node = static_cast<std::uint32_t>(child);
        const TrieNode& node = tables_.nodes[w.node];
        w.keeper.reached(w.node, node.flags, ++w.consumed, w.label_count);
        if (w.start == 0) return finish(w);
        w.labels.step(w.start);
        const std::uint32_t count = node.edge_count;
        if (count == 0) return finish(w);
        take_label(w, node);
        const unsigned probes = count <= 1 ? 0 : 32 - std::countl_zero(count - 1);
        classes_[set][probes][filled_[set][probes]++] = index;
        ++waiting_[set];
    }

    void finish(const Walker& w) noexcept { store(outputs_[w.name], w.keeper, accept_unknown_); }

    // A copy: the searches read its pointers from here, not through one
    // more load.
    const RuleTables tables_;
    const bool accept_unknown_;
    Output* outputs_ = nullptr;
    Walker walkers_[kChunk];
    // Two sets of walkers waiting for a search, one for the level being
    // searched and one for the next, each by the probe count of its node's
    // search, with room to top up the last group.
    std::uint16_t classes_[2][kMaxProbes + 1][kChunk + kLanes];
    std::size_t filled_[2][kMaxProbes + 1] = {};
    std::size_t waiting_[2] = {};
};

template <class Keeper, class Output>
void walk_chunks(const RuleTables& tables, std::span<const WalkName> names, bool accept_unknown,
                 Output* outputs) {
    if (names.empty()) return;
    // Some 40 KB: on the heap, not on a caller's stack that may be small.
    const auto walk = std::make_unique<ChunkWalk<Keeper, Output>>(tables, accept_unknown);
    for (std::size_t first = 0; first < names.size(); first += kChunk) {
        const std::size_t count = std::min(kChunk, names.size() - first);
        walk->run(names.subspan(first, count), first, outputs);
    }
}

}  // namespace

void public_suffix_lengths(const RuleTables& tables, std::span<const WalkName> names,
                           Switches switches, std::uint32_t* lengths) {
    if (switches.icann_only) {
        walk_chunks<SuffixLength<true>>(tables, names, switches.accept_unknown, lengths);
    } else {
        walk_chunks<SuffixLength<false>>(tables, names, switches.accept_unknown, lengths);
    }
}

void rule_verdicts(const RuleTables& tables, std::span<const WalkName> names, bool accept_unknown,
                   Verdict* verdicts) {
    walk_chunks<RuleTrace>(tables, names, accept_unknown, verdicts);
}

}  // namespace vexlo
