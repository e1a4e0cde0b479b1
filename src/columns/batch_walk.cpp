#include "columns/batch_walk.h"

#include <bit>
#include <cstring>

#include "rules/public_suffix.h"
#include "rules/rule_trie.h"

namespace vexlo {

namespace {

constexpr int kLanes = 4;

inline std::uint64_t load_key_word(const char* bytes) noexcept {
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

// Steps base to mid unless the stored label (its key and length) sorts after
// the searched one (key, length): a 128-bit comparison of (key, length)
// pairs as one subtraction with borrow, then a conditional move. A branch
// would be mispredicted half the time, and a misprediction discards every
// lane's work; the compiler's own version chains the lanes through byte-sized
// flag registers. Exact when either label has at most eight bytes; two longer
// labels with equal keys need resolve_long_tie as well.
inline std::size_t step_unless_after(std::size_t base, std::size_t mid, std::uint64_t stored_key,
                                     std::uint64_t stored_length, std::uint64_t key,
                                     std::uint64_t length) noexcept {
#if defined(__x86_64__)
    asm("cmp %[stored_length], %[length]\n\t"
        "sbb %[stored_key], %[key]\n\t"
        "cmovae %[mid], %[base]"
        : [base] "+r"(base), [key] "+r"(key)
        : [mid] "r"(mid), [stored_key] "r"(stored_key), [stored_length] "r"(stored_length),
          [length] "r"(length)
        : "cc");
    return base;
#else
    const bool after = stored_key > key || (stored_key == key && stored_length > length);
    return after ? base : mid;
#endif
}

// One name being walked.
struct Lane {
    const char* text;
    std::uint64_t dots;
    std::size_t label_count;
    std::size_t name;  // index into names; kIdle when the lane has none
    std::uint32_t node;
    std::uint32_t end;       // end of the next label to take
    std::uint32_t consumed;  // labels taken so far
    std::uint32_t length;
    bool matched;
};

constexpr std::size_t kIdle = ~std::size_t{0};

// The search state of one lane within one level.
struct Search {
    const TrieEdge* run;
    std::size_t base;
    std::size_t size;
    std::uint64_t key;
    std::uint32_t label_start;
    std::uint32_t label_length;
    bool has_edges;
};

// Whether the stored label sorts after the label when their keys are equal
// and both are longer than eight bytes.
bool long_tail_after(const char* pool, const TrieEdge& edge, const char* label,
                     std::size_t length) noexcept {
    const std::string_view stored(pool + edge.label_start + 8, edge.label_end - edge.label_start - 8);
    return stored.compare(std::string_view(label + 8, length - 8)) > 0;
}

// The probes of one level for all lanes. kLong: some lane's label is longer
// than eight bytes, so equal keys may need the remaining bytes compared.
template <bool kLong>
inline void halve(Search* search, const Lane* lanes, const char* pool) noexcept {
    for (;;) {
        bool more = false;
        for (int l = 0; l < kLanes; ++l) more |= search[l].size > 1;
        if (!more) break;
        for (int l = 0; l < kLanes; ++l) {
            Search& s = search[l];
            const std::size_t half = s.size / 2;
            const std::size_t mid = s.base + half;
            const TrieEdge& edge = s.run[mid];
            const std::uint32_t stored_length = edge.label_end - edge.label_start;
            const std::uint64_t stored_key =
                keep_leading(load_key_word(pool + edge.label_start), stored_length);
            if constexpr (kLong) {
                if ((stored_key == s.key) & (stored_length > 8) & (s.label_length > 8))
                    [[unlikely]] {
                    const bool after = long_tail_after(pool, edge, lanes[l].text + s.label_start,
                                                       s.label_length);
                    s.base = after ? s.base : mid;
                    s.size -= half;
                    continue;
                }
            }
            s.base = step_unless_after(s.base, mid, stored_key, stored_length, s.key,
                                       s.label_length);
            s.size -= half;
        }
    }
}

}  // namespace

std::uint64_t dots_of(const char* text, std::size_t size) noexcept {
    std::uint64_t dots = 0;
    for (std::size_t i = 0; i < size && i < 64; ++i) {
        dots |= static_cast<std::uint64_t>(text[i] == '.') << i;
    }
    return dots;
}

void public_suffix_lengths(std::span<const WalkName> names, bool accept_unknown, bool icann_only,
                           std::uint32_t* lengths) noexcept {
    const RuleTrie& trie = compiled_rules();
    const TrieNode* const nodes = trie.nodes.data();
    const TrieEdge* const edges = trie.edges.data();
    const char* const pool = trie.label_pool.data();
    const unsigned view_shift = icann_only ? ICANN_SHIFT : 0;
    const std::uint32_t unmatched = accept_unknown ? 1 : 0;

    // Groups of kLanes names walk together from the root, so that their
    // searches, whose probe counts depend on the node alone, stay in step;
    // longer names take the single walk.
    std::size_t next = 0;
    auto take = [&](Lane& lane) {
        while (next < names.size() && names[next].size > 64) {
            const WalkName& name = names[next];
            lengths[next] = static_cast<std::uint32_t>(public_suffix_length(
                std::string_view(name.text, name.size), name.label_count, accept_unknown,
                icann_only));
            ++next;
        }
        if (next == names.size()) {
            lane.name = kIdle;
            return;
        }
        const WalkName& name = names[next];
        lane = Lane{name.text, name.dots, name.label_count, next, 0,
                    static_cast<std::uint32_t>(name.size), 0, 0, false};
        ++next;
    };

    Lane lanes[kLanes];
  for (;;) {
    int busy = 0;
    for (Lane& lane : lanes) {
        take(lane);
        busy += lane.name != kIdle;
    }
    if (busy == 0) break;

    while (busy > 0) {
        Search search[kLanes];
        // Cut each lane's next label and make its key.
        for (int l = 0; l < kLanes; ++l) {
            Lane& lane = lanes[l];
            Search& s = search[l];
            if (lane.name == kIdle) {
                s = Search{edges, 0, 1, 0, 0, 0, false};
                continue;
            }
            const std::uint32_t end = lane.end;
            const std::uint64_t before =
                end >= 64 ? lane.dots : lane.dots & ((std::uint64_t{1} << end) - 1);
            const std::uint32_t start =
                before != 0 ? static_cast<std::uint32_t>(64 - std::countl_zero(before)) : 0;
            const std::uint32_t length = end - start;
            s.key = keep_leading(load_key_word(lane.text + start), length);
            s.label_start = start;
            s.label_length = length;
            const TrieNode& node = nodes[lane.node];
            s.has_edges = node.edge_count != 0;
            // A leaf's run may start at the end of the edge table: search a
            // real edge instead and ignore the outcome.
            s.run = s.has_edges ? edges + node.first_edge : edges;
            s.base = 0;
            s.size = s.has_edges ? node.edge_count : 1;
        }
        // Halve in lockstep until every lane has one candidate; a lane that
        // is done early re-probes its candidate, which changes nothing.
        bool long_label = false;
        for (int l = 0; l < kLanes; ++l) long_label |= search[l].label_length > 8;
        if (long_label) {
            halve<true>(search, lanes, pool);
        } else {
            halve<false>(search, lanes, pool);
        }
        // The final equality test, and the step to the child.
        for (int l = 0; l < kLanes; ++l) {
            Lane& lane = lanes[l];
            if (lane.name == kIdle) continue;
            const Search& s = search[l];
            const TrieEdge& edge = s.run[s.base];
            const std::uint32_t stored_length = edge.label_end - edge.label_start;
            bool found = s.has_edges & (stored_length == s.label_length) &
                         (keep_leading(load_key_word(pool + edge.label_start), stored_length) ==
                          s.key) &
                         (edge.child >= 0);
            if (found && stored_length > 8) {
                found = std::memcmp(pool + edge.label_start + 8, lane.text + s.label_start + 8,
                                    stored_length - 8) == 0;
            }
            if (found) {
                const auto child = static_cast<std::uint32_t>(edge.child);
                const std::uint32_t before = lane.consumed++;
                const unsigned view = static_cast<unsigned>(nodes[child].flags) >> view_shift;
                const std::uint32_t wildcard_length =
                    before + 1 + (lane.consumed < lane.label_count ? 1u : 0u);
                const std::uint32_t rule_length =
                    (view & EXCEPTION_ANY) ? before
                                           : ((view & WILDCARD_ANY) ? wildcard_length : before + 1);
                const bool applies = (view & (EXCEPTION_ANY | WILDCARD_ANY | RULE_ANY)) != 0;
                lane.length = applies ? rule_length : lane.length;
                lane.matched |= applies;
                lane.node = child;
                if (s.label_start != 0) {
                    lane.end = s.label_start - 1;
                    continue;
                }
            }
            lengths[lane.name] = lane.matched ? lane.length : unmatched;
            lane.name = kIdle;
            --busy;
        }
    }
  }
}

}  // namespace vexlo
