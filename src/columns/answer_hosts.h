// The host of every element of one range of a column, as written: a slice
// of the element itself, which needs no batch. Included by answer_column.cpp
// alone, so that all of it inlines there.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>

#include "columns/column_ranges.h"
#include "columns/string_column.h"
#include "columns/text_writer.h"
#include "host/find_host.h"
#include "normalize/utf8_check.h"

namespace vexlo {

// Elements whose UTF-8 is checked together, when their bytes lie together.
inline constexpr std::int64_t kHostBlock = 256;

// Whether `text`, a non-empty part of the UTF-8 text `whole`, is UTF-8
// itself: it neither starts nor ends inside a character.
inline bool whole_characters(std::string_view text, std::string_view whole) noexcept {
    const auto continues = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; };
    const char* const end = text.data() + text.size();
    return !continues(text.front()) && (end == whole.data() + whole.size() || !continues(*end));
}

template <class TextOffset>
void answer_hosts(const StringColumn& column, bool keep_ip, SharedBuffers shared,
                  RangeOutput& out) {
    for (std::int64_t block = out.begin; block < out.end; block += kHostBlock) {
        const std::int64_t block_end = std::min(block + kHostBlock, out.end);
        // An element that is not UTF-8 has no host, as it is no name for
        // the questions. When the block's bytes lie together, one pass
        // over them does for nearly every block.
        const std::optional<std::string_view> joined = column.joined_text(block, block_end);
        const bool joined_utf8 = joined && is_utf8(*joined);
        const char* const joined_end = joined ? joined->data() + joined->size() : nullptr;
        TextWriter<TextOffset> writer(shared, out, block);
        column.visit(
            block, block_end, [&] { writer.none(); },
            [&](std::string_view text) {
                const host::FoundHost found = host::find_host(text);
                if (!host::is_answer(found, keep_ip) ||
                    !(joined_utf8 ? whole_characters(text, *joined) : is_utf8(text))) {
                    writer.none();
                    return;
                }
                char* const to = writer.out();
                if (found.needs_copy()) [[unlikely]] {
                    writer.answered(to + host::copy_host(found.text(), to));
                    return;
                }
                const std::string_view host = found.text();
                // Inside a block's joined text, all but the last few hosts
                // have sixteen bytes of it after them.
                if (joined && host.data() + host.size() + kCopySlack <= joined_end) {
                    copy_padded(to, host.data(), host.size());
                } else {
                    copy_exact(to, host.data(), host.size());
                }
                writer.answered(to + host.size());
            });
        writer.finish();
    }
}

}  // namespace vexlo
