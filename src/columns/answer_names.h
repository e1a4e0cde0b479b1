// The six questions over one range of a column: its names are normalised
// and walked a block at a time (a NameBatch), and each block's answers are
// written as the question's result kind: text, bits, or lists of labels.
// Included by answer_column.cpp alone, so that all of it inlines there.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "columns/bit_writer.h"
#include "columns/column_ranges.h"
#include "columns/string_column.h"
#include "columns/text_writer.h"
#include "query/answers.h"
#include "query/name_batch.h"
#include "rules/rule_tables.h"

namespace vexlo {

// Names normalised and walked together: enough to keep the lanes busy, few
// enough that the arena stays in the first-level cache.
inline constexpr std::int64_t kNameBlock = 256;

template <class TextOffset, class ListOffset>
class NameRange {
public:
    NameRange(const StringColumn& column, const ColumnRequest& request, const RuleTables& tables,
              SharedBuffers shared, RangeOutput& out)
        : column_(column), request_(request), tables_(tables), shared_(shared), out_(out) {}

    template <Question Q>
    void run() {
        NameBatch batch;
        for (std::int64_t block = out_.begin; block < out_.end; block += kNameBlock) {
            const std::int64_t block_end = std::min(block + kNameBlock, out_.end);
            batch.clear();
            column_.visit(
                block, block_end, [&] { batch.add_null(); },
                [&](std::string_view text) { batch.add(text); });
            batch.match(tables_, Switches{request_.accept_unknown, request_.icann_only});
            if constexpr (Q == Question::kIsPublic || Q == Question::kIsPrivate) {
                truths<Q>(block, batch);
            } else if constexpr (Q == Question::kPrivateParts) {
                parts(block, batch);
            } else {
                texts<Q>(block, batch);
            }
        }
    }

private:
    template <Question Q>
    void texts(std::int64_t block, const NameBatch& batch) {
        const bool keep_case = request_.keep_case;
        TextWriter<TextOffset> writer(shared_, out_, block);
        for (std::size_t k = 0; k < batch.size(); ++k) {
            std::optional<std::string_view> answer;
            if (batch[k].state == NameBatch::State::kValid) {
                answer = text_answer(Q, batch.view(k), keep_case, request_.depth);
            }
            if (!answer) {
                writer.none();
                continue;
            }
            // The lowercase lies in the batch's padded arena; the caller's
            // text may end anywhere.
            char* const out = writer.out();
            if (!keep_case) {
                copy_padded(out, answer->data(), answer->size());
            } else {
                std::memcpy(out, answer->data(), answer->size());
            }
            writer.answered(out + answer->size());
        }
        writer.finish();
    }

    template <Question Q>
    void truths(std::int64_t block, const NameBatch& batch) {
        BitWriter validity(shared_.validity, block);
        BitWriter values(static_cast<std::uint8_t*>(shared_.values), block);
        std::int64_t nulls = 0;
        for (std::size_t k = 0; k < batch.size(); ++k) {
            const NameBatch::Name& name = batch[k];
            bool truth = false;
            if (name.state == NameBatch::State::kValid) {
                const MatchView match = batch.view(k);
                truth = Q == Question::kIsPublic ? is_public(match) : is_private(match);
            }
            nulls += name.state == NameBatch::State::kNull;
            validity.put(k, name.state != NameBatch::State::kNull);
            values.put(k, truth);
        }
        validity.finish(batch.size());
        values.finish(batch.size());
        out_.nulls += nulls;
    }

    void parts(std::int64_t block, const NameBatch& batch) {
        BitWriter validity(shared_.validity, block);
        ListOffset* const lists = static_cast<ListOffset*>(shared_.values) + block + 1;
        for (std::size_t k = 0; k < batch.size(); ++k) {
            const NameBatch::Name& name = batch[k];
            bool answered = false;
            if (name.state == NameBatch::State::kValid) {
                if (const std::optional<PrivateParts> found =
                        privateparts(batch.view(k), request_.keep_case)) {
                    answered = true;
                    each_private_part(*found, [&](std::string_view item) { add_item(item); });
                }
            }
            out_.nulls += !answered;
            validity.put(k, answered);
            lists[k] = static_cast<ListOffset>(out_.items);
        }
        validity.finish(batch.size());
    }

    void add_item(std::string_view item) {
        std::memcpy(shared_.data + out_.data_start + out_.data_size, item.data(), item.size());
        out_.data_size += item.size();
        static_cast<TextOffset*>(shared_.item_offsets)[1 + out_.items_start + out_.items] =
            static_cast<TextOffset>(out_.data_size);
        ++out_.items;
    }

    const StringColumn& column_;
    const ColumnRequest& request_;
    const RuleTables& tables_;
    SharedBuffers shared_;
    RangeOutput& out_;
};

}  // namespace vexlo
