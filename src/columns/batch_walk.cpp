#include "columns/batch_walk.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <string_view>

#include "rules/rule_trie.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
constexpr std::uint32_t kNoRule = ~std::uint32_t{0};

inline std::uint64_t big_endian_word(const char* bytes) noexcept {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
    return word;
}

inline std::uint64_t keep_leading(std::uint64_t word, std::size_t length) noexcept {
    static constexpr std::uint64_t keep[9] = {
        0, 0xFF00000000000000, 0xFFFF000000000000, 0xFFFFFF0000000000, 0xFFFFFFFF00000000,
        0xFFFFFFFFFF000000, 0xFFFFFFFFFFFF0000, 0xFFFFFFFFFFFFFF00, 0xFFFFFFFFFFFFFFFF};
    return word & keep[length < 8 ? length : 8];
}

// The key of every edge's label (compiled_edge_keys(): its first eight bytes
// as a big-endian number, zero-padded), with one zero key after the last
// edge, so that a walker standing at a leaf, whose run starts past the last
// edge, still reads inside the array. Unequal keys order two labels as the
// byte-wise comparison does, so a probe compares one word. The compiled
// labels hold no NUL byte (the generated tables assert it): a stored key
// equal to the key of a label shorter than eight bytes means the stored label
// is that label or a prefix of it, so the key alone decides the probe.
const std::uint64_t* edge_keys() {
    static const std::unique_ptr<std::uint64_t[]> keys = [] {
        const std::span<const std::uint64_t> compiled = compiled_edge_keys();
        auto made = std::make_unique<std::uint64_t[]>(compiled.size() + 1);
        std::copy(compiled.begin(), compiled.end(), made.get());
        return made;
    }();
    return keys.get();
}

// Moves `run` to `mid` unless the stored key sorts after the label's: a
// compare and a conditional move, since a branch would be mispredicted half
// the time and a misprediction discards every lane's work.
inline const std::uint64_t* step_unless_greater(const std::uint64_t* run, const std::uint64_t* mid,
                                                std::uint64_t probe, std::uint64_t key) noexcept {
#if defined(__x86_64__) && defined(__GNUC__)
    asm("cmp %[key], %[probe]\n\t"
        "cmovbe %[mid], %[run]"
        : [run] "+r"(run)
        : [probe] "r"(probe), [key] "r"(key), [mid] "r"(mid)
        : "cc");
    return run;
#else
    return probe <= key ? mid : run;
#endif
}

// One name on its way down the trie.
struct Walker {
    const char* text;
    std::uint64_t dots;
    std::size_t end;  // end of the next label to take
    std::size_t label_count;
    std::size_t name;  // index into the names
    std::uint32_t node;
    std::uint32_t consumed;
    std::uint32_t length;  // kNoRule while no rule has applied
    // The label of this level: where it starts, its length and key, and the
    // edge key the search ends at.
    std::size_t start;
    std::size_t label_length;
    std::uint64_t key;
    const std::uint64_t* run;
};

// Where the label that ends at `end` starts: after the last dot before it.
inline std::size_t label_start(const Walker& w) noexcept {
    std::size_t end = w.end;
    if (end > 64) [[unlikely]] {
        for (std::size_t i = end; i > 64; --i) {
            if (w.text[i - 1] == '.') return i;
        }
        end = 64;
    }
    const std::uint64_t before = end == 64 ? w.dots : w.dots & ((std::uint64_t{1} << end) - 1);
    return before != 0 ? static_cast<std::size_t>(64 - std::countl_zero(before)) : 0;
}

class ChunkWalk {
public:
    ChunkWalk(bool accept_unknown, bool icann_only)
        : trie_(compiled_rules()),
          keys_(edge_keys()),
          view_shift_(icann_only ? ICANN_SHIFT : 0),
          unmatched_(accept_unknown ? 1 : 0) {}

    void run(std::span<const WalkName> names, std::size_t first, std::uint32_t* lengths) {
        lengths_ = lengths;
        for (std::size_t i = 0; i < names.size(); ++i) {
            const WalkName& name = names[i];
            Walker& w = walkers_[i];
            w.text = name.text;
            w.dots = name.dots;
            w.end = name.size;
            w.label_count = name.label_count;
            w.name = first + i;
            w.node = 0;
            w.consumed = 0;
            w.length = kNoRule;
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
        w.start = label_start(w);
        w.label_length = w.end - w.start;
        w.key = keep_leading(big_endian_word(w.text + w.start), w.label_length);
        w.run = keys_ + node.first_edge;
    }

    // The first level, walkers_[0, count) all at the root: their searches
    // halve the same run by the same steps. Those that go on wait in set 0.
    void root_level(std::size_t count) {
        const TrieNode& root = trie_.nodes[0];
        if (root.edge_count == 0) {
            for (std::size_t i = 0; i < count; ++i) finish(walkers_[i]);
            return;
        }
        std::size_t halves[kMaxProbes];
        unsigned probes = 0;
        for (std::size_t size = root.edge_count; size > 1; size -= size / 2) halves[probes++] = size / 2;
        for (std::size_t i = 0; i < count; ++i) take_label(walkers_[i], root);
        const std::uint64_t* const edges = keys_ + root.first_edge;
        for (std::size_t g = 0; g < count; g += kLanes) {
            // The last group is topped up with copies of the last walker.
            Walker* lane[kLanes];
            const std::uint64_t* run[kLanes];
            std::uint64_t key[kLanes];
            for (std::size_t l = 0; l < kLanes; ++l) {
                lane[l] = &walkers_[std::min(g + l, count - 1)];
                run[l] = edges;
                key[l] = lane[l]->key;
            }
            for (unsigned p = 0; p < probes; ++p) {
                const std::size_t half = halves[p];
                for (std::size_t l = 0; l < kLanes; ++l) {
                    const std::uint64_t* const mid = run[l] + half;
                    run[l] = step_unless_greater(run[l], mid, *mid, key[l]);
                }
            }
            for (std::size_t l = 0; l < kLanes; ++l) lane[l]->run = run[l];
        }
        for (std::size_t i = 0; i < count; ++i) step(static_cast<std::uint16_t>(i), 0);
    }

    // The fixed-probe search for kLanes walkers with `probes` probes each,
    // over the keys: leaves each walker's run at the last edge whose key is
    // not greater than its label's. That is the edge the search over the
    // labels ends at, unless the labels tie on their keys (step sees to it).
    void search(const std::uint16_t* members, unsigned probes) {
        const std::uint64_t* run[kLanes];
        std::uint64_t key[kLanes];
        std::size_t size[kLanes];
        for (std::size_t l = 0; l < kLanes; ++l) {
            const Walker& w = walkers_[members[l]];
            run[l] = w.run;
            key[l] = w.key;
            size[l] = trie_.nodes[w.node].edge_count;
        }
        for (unsigned p = 0; p < probes; ++p) {
            for (std::size_t l = 0; l < kLanes; ++l) {
                const std::size_t half = size[l] / 2;
                const std::uint64_t* const mid = run[l] + half;
                run[l] = step_unless_greater(run[l], mid, *mid, key[l]);
                size[l] -= half;
            }
        }
        for (std::size_t l = 0; l < kLanes; ++l) walkers_[members[l]].run = run[l];
    }

    // Whether the label of edge `e` equals the walker's.
    bool label_equals(std::size_t e, const Walker& w) const noexcept {
        const TrieEdge& edge = trie_.edges[e];
        const std::size_t length = edge.label_end - edge.label_start;
        if (length != w.label_length) return false;
        if (length <= 8) return true;  // the keys are equal
        const char* const stored = trie_.label_pool.data() + edge.label_start;
        const char* const label = w.text + w.start;
        if (length <= 16) {
            std::uint64_t a, b;
            std::memcpy(&a, stored + length - 8, 8);
            std::memcpy(&b, label + length - 8, 8);
            return a == b;
        }
        return std::memcmp(stored + 8, label + 8, length - 8) == 0;
    }

    // The final equality test and the step to the child; a walker that
    // goes on waits in `set` for its next search.
    //
    // The search over keys ends at the last edge whose key is not greater
    // than the label's key. Where no stored key equals it, no probe met a
    // tie, and that is the edge of the search over labels. Where one does,
    // the edges with that key form a run ending at the one found, and the
    // search over labels ends at the last of them whose label is not greater
    // than the label (or before them): the label is a child exactly when one
    // of them equals it.
    void step(std::uint16_t index, unsigned set) {
        Walker& w = walkers_[index];
        const std::uint64_t* const keys = keys_;
        std::size_t e = static_cast<std::size_t>(w.run - keys);
        bool found = keys[e] == w.key;
        if (found) {
            found = label_equals(e, w);
            if (!found && w.label_length >= 8) [[unlikely]] {
                const std::size_t first = trie_.nodes[w.node].first_edge;
                while (e > first && keys[e - 1] == w.key) {
                    --e;
                    if (label_equals(e, w)) {
                        found = true;
                        break;
                    }
                }
            }
        }
        const std::int32_t child_index = trie_.edges[e].child;
        if (!found || child_index < 0) return finish(w);
        const auto child = static_cast<std::uint32_t>(child_index);
        const std::uint32_t before = w.consumed++;
        // The view's exception, wildcard and rule bits, in that order of
        // precedence, without a branch on them: which applies is as
        // unpredictable as the names.
        const unsigned view = static_cast<unsigned>(trie_.nodes[child].flags) >> view_shift_;
        const std::uint32_t wildcard = before + 1 + (w.consumed < w.label_count ? 1u : 0u);
        std::uint32_t length = (view & RULE_ANY) ? before + 1 : w.length;
        length = (view & WILDCARD_ANY) ? wildcard : length;
        w.length = (view & EXCEPTION_ANY) ? before : length;
        w.node = child;
        if (w.start == 0) return finish(w);
        w.end = w.start - 1;
        const TrieNode& node = trie_.nodes[child];
        const std::uint32_t count = node.edge_count;
        if (count == 0) return finish(w);
        take_label(w, node);
        const unsigned probes = count <= 1 ? 0 : 32 - std::countl_zero(count - 1);
        classes_[set][probes][filled_[set][probes]++] = index;
        ++waiting_[set];
    }

    void finish(const Walker& w) noexcept {
        lengths_[w.name] = w.length != kNoRule ? w.length : unmatched_;
    }

    const RuleTrie& trie_;
    const std::uint64_t* keys_;
    const unsigned view_shift_;
    const std::uint32_t unmatched_;
    std::uint32_t* lengths_ = nullptr;
    Walker walkers_[kChunk];
    // Two sets of walkers waiting for a search, one for the level being
    // searched and one for the next, each by the probe count of its node's
    // search, with room to top up the last group.
    std::uint16_t classes_[2][kMaxProbes + 1][kChunk + kLanes];
    std::size_t filled_[2][kMaxProbes + 1] = {};
    std::size_t waiting_[2] = {};
};

}  // namespace

std::uint64_t dots_of(const char* text, std::size_t size) noexcept {
    const std::size_t scanned = std::min<std::size_t>(size, 64);
    std::uint64_t dots = 0;
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i dot = _mm_set1_epi8('.');
    for (; scanned - i >= 16; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        dots |= std::uint64_t{static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, dot)))}
                << i;
    }
#endif
    for (; i < scanned; ++i) dots |= static_cast<std::uint64_t>(text[i] == '.') << i;
    return dots;
}

void public_suffix_lengths(std::span<const WalkName> names, bool accept_unknown, bool icann_only,
                           std::uint32_t* lengths) {
    if (names.empty()) return;
    // Some 40 KB: on the heap, not on a caller's stack that may be small.
    const auto walk = std::make_unique<ChunkWalk>(accept_unknown, icann_only);
    for (std::size_t first = 0; first < names.size(); first += kChunk) {
        const std::size_t count = std::min(kChunk, names.size() - first);
        walk->run(names.subspan(first, count), first, lengths);
    }
}

}  // namespace vexlo
