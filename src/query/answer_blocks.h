// The one loop that answers names through a NameBatch, for the columns, the
// command line and the DuckDB functions alike, each with a writer of its own
// output: a block of names normalised into the batch, matched together by the
// batch walk, and their answers written in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "query/answers.h"
#include "query/name_batch.h"
#include "rules/rule_tables.h"

namespace vexlo {

// Names matched together: enough to keep the walk's lanes busy, few enough
// that the batch's arena stays in the first-level cache.
inline constexpr std::size_t kNameBlock = 256;

// How a block's names are matched: in the view the switches ask for, or
// (explain) in both views, keeping the rule that decided.
struct BlockMatch {
    const RuleTables* tables;
    Switches switches;
    bool explain = false;
};

// Answers names a block at a time: `fill(batch)` adds the next block's
// names (kNameBlock at most) to the emptied batch and says how to match
// them, or gives none once no name is left; then `write(batch)` writes the
// block's answers.
template <class Fill, class Write>
void answer_blocks(NameBatch& batch, Fill&& fill, Write&& write) {
    for (;;) {
        batch.clear();
        const std::optional<BlockMatch> how = fill(batch);
        if (!how) return;
        if (how->explain) {
            batch.explain(*how->tables, how->switches.accept_unknown);
        } else {
            batch.match(*how->tables, how->switches);
        }
        write(static_cast<const NameBatch&>(batch));
    }
}

// The answer of question Q, one of the six, for each name k of a matched
// batch, in order: out.truth(k, value) from the predicates (false for an
// invalid name); out.text(k, text) from the text questions (the lowercase
// lies in the batch's padded arena unless keep_case); out.parts(k, parts)
// from privateparts; out.none(k) for a null name, and for one without an
// answer to a question of text. depth(k): name k's subdomain depth.
template <Question Q, class Out, class Depth>
[[gnu::always_inline]] inline void write_answers(const NameBatch& batch, bool keep_case,
                                                 Depth&& depth, Out& out) {
    for (std::size_t k = 0; k < batch.size(); ++k) {
        const NameBatch::State state = batch[k].state;
        if (state == NameBatch::State::kNull) {
            out.none(k);
            continue;
        }
        const bool valid = state == NameBatch::State::kValid;
        if constexpr (Q == Question::kIsPublic || Q == Question::kIsPrivate) {
            const bool truth = valid && (Q == Question::kIsPublic ? is_public(batch.view(k))
                                                                  : is_private(batch.view(k)));
            out.truth(k, truth);
        } else if constexpr (Q == Question::kPrivateParts) {
            const std::optional<PrivateParts> parts =
                valid ? privateparts(batch.view(k), keep_case) : std::nullopt;
            if (parts) {
                out.parts(k, *parts);
            } else {
                out.none(k);
            }
        } else {
            const std::optional<std::string_view> answer =
                valid ? text_answer(Q, batch.view(k), keep_case, depth(k)) : std::nullopt;
            if (answer) {
                out.text(k, *answer);
            } else {
                out.none(k);
            }
        }
    }
}

}  // namespace vexlo
