// A batch of names normalised into one arena and matched by the batch walk:
// the front end of the columns and of the command line. Each name gets the
// outcome that match_domain gives it, and an invalid name when its bytes are
// not UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "query/answers.h"
#include "rules/batch_walk.h"
#include "rules/rule_tables.h"
#include "rules/rule_view.h"

namespace vexlo {

class NameBatch {
public:
    enum class State : std::uint8_t { kNull, kInvalid, kValid };

    struct Name {
        std::string_view given;  // the caller's bytes less one trailing dot
        std::uint32_t walk;      // valid names: the place of the name in the walk
        State state;
        bool ascii;              // valid names: the caller's text is ASCII
    };

    void clear() noexcept;
    void add_null();
    // Any bytes; a text that is not UTF-8, empty, or has an empty label is
    // an invalid name.
    void add(std::string_view text) { add_text<false>(text); }
    // The same for a text known to be UTF-8 (cut from a text checked
    // already), which is not checked again.
    void add_utf8(std::string_view text) { add_text<true>(text); }

    std::size_t size() const noexcept { return names_.size(); }
    const Name& operator[](std::size_t i) const noexcept { return names_[i]; }

    // Matches every valid name added since clear().
    void match(const RuleTables& tables, Switches switches);
    // Matches them in both views, keeping the rule that decided: view()
    // then carries the full view's length, and verdict() tells the rest.
    void explain(const RuleTables& tables, bool accept_unknown);

    // After match(), of a valid name. The lowered text is followed by
    // kWalkPadding readable bytes.
    MatchView view(std::size_t i) const noexcept {
        const Name& name = names_[i];
        const WalkName& walked = walk_[name.walk];
        return {{walked.text, walked.size}, name.given, walked.dots, walked.label_count,
                lengths_[name.walk], name.ascii};
    }
    // After explain(), of a valid name.
    const Verdict& verdict(std::size_t i) const noexcept { return verdicts_[names_[i].walk]; }

private:
    // Room for `bytes` more arena bytes and the padding after them; returns
    // where they go. The arena only grows, and is never cleared: the walk
    // masks whatever lies beyond a name.
    char* reserve(std::size_t bytes) {
        const std::size_t needed = arena_size_ + bytes + kWalkPadding;
        if (needed > arena_capacity_) [[unlikely]] grow_arena(needed);
        return arena_.get() + arena_size_;
    }
    void grow_arena(std::size_t needed);
    template <bool kKnownUtf8>
    void add_text(std::string_view text);
    void add_invalid();
    void add_valid(std::string_view given, bool ascii, const char* lowered, std::size_t size,
                   std::size_t label_count, std::uint64_t dots);

    std::vector<Name> names_;
    std::unique_ptr<char[]> arena_;
    std::size_t arena_size_ = kWalkPadding;
    std::size_t arena_capacity_ = 0;
    std::vector<WalkName> walk_;
    std::vector<std::uint32_t> lengths_;
    std::vector<Verdict> verdicts_;
};

}  // namespace vexlo
