// The six questions over one range of a column: its names answered a block
// at a time (query/answer_blocks.h), each block's answers written as the
// question's result kind: text, bits, or lists of labels. Included by
// answer_column.cpp alone, so that all of it inlines there.
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
#include "query/answer_blocks.h"
#include "rules/rule_tables.h"

namespace vexlo {

template <class TextOffset, class ListOffset>
class NameRange {
public:
    NameRange(const StringColumn& column, const ColumnRequest& request, const RuleTables& tables,
              SharedBuffers shared, RangeOutput& out)
        : column_(column), request_(request), tables_(tables), shared_(shared), out_(out) {}

    template <Question Q>
    void run() {
        NameBatch batch;
        std::int64_t block = out_.begin;
        std::int64_t next = out_.begin;
        const auto fill = [&](NameBatch& names) -> std::optional<BlockMatch> {
            if (next >= out_.end) return std::nullopt;
            block = next;
            next = std::min(block + static_cast<std::int64_t>(kNameBlock), out_.end);
            column_.visit(
                block, next, [&] { names.add_null(); }, [&](std::string_view text) { names.add(text); });
            return BlockMatch{&tables_, {request_.accept_unknown, request_.icann_only}};
        };
        const auto depth = [this](std::size_t) { return request_.depth; };
        answer_blocks(batch, fill, [&](const NameBatch& names) {
            if constexpr (Q == Question::kIsPublic || Q == Question::kIsPrivate) {
                Truths out(shared_, block);
                write_answers<Q>(names, false, depth, out);
                out.finish(names.size(), out_);
            } else if constexpr (Q == Question::kPrivateParts) {
                Parts out(*this, block);
                write_answers<Q>(names, request_.keep_case, depth, out);
                out.validity.finish(names.size());
            } else {
                Texts out{TextWriter<TextOffset>(shared_, out_, block), request_.keep_case};
                write_answers<Q>(names, request_.keep_case, depth, out);
                out.writer.finish();
            }
        });
    }

private:
    // A text answer lies in the batch's padded arena (the lowercase), or in
    // the caller's text, which may end anywhere.
    struct Texts {
        TextWriter<TextOffset> writer;
        bool keep_case;
        void none(std::size_t) { writer.none(); }
        void text(std::size_t, std::string_view answer) {
            char* const to = writer.out();
            if (keep_case) {
                std::memcpy(to, answer.data(), answer.size());
            } else {
                copy_padded(to, answer.data(), answer.size());
            }
            writer.answered(to + answer.size());
        }
    };

    struct Truths {
        BitWriter validity, values;
        std::int64_t nulls = 0;
        Truths(SharedBuffers shared, std::int64_t block)
            : validity(shared.validity, block), values(static_cast<std::uint8_t*>(shared.values), block) {}
        void none(std::size_t k) {
            ++nulls;
            validity.put(k, false);
            values.put(k, false);
        }
        void truth(std::size_t k, bool value) {
            validity.put(k, true);
            values.put(k, value);
        }
        void finish(std::size_t count, RangeOutput& range) {
            validity.finish(count);
            values.finish(count);
            range.nulls += nulls;
        }
    };

    // Each element's labels go to the items, and the items it has reached to
    // its list offset.
    struct Parts {
        NameRange& range;
        BitWriter validity;
        ListOffset* lists;
        Parts(NameRange& of, std::int64_t block)
            : range(of),
              validity(of.shared_.validity, block),
              lists(static_cast<ListOffset*>(of.shared_.values) + block + 1) {}
        void none(std::size_t k) {
            ++range.out_.nulls;
            validity.put(k, false);
            lists[k] = static_cast<ListOffset>(range.out_.items);
        }
        void parts(std::size_t k, const PrivateParts& found) {
            each_private_part(found, [&](std::string_view item) { range.add_item(item); });
            validity.put(k, true);
            lists[k] = static_cast<ListOffset>(range.out_.items);
        }
    };

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
