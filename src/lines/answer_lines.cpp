#include "lines/answer_lines.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>

#include "common/parallel.h"
#include "extract/text_host.h"
#include "lines/escape.h"
#include "lines/line_cutter.h"
#include "normalize/utf8_check.h"
#include "query/match.h"
#include "query/answer_blocks.h"
#include "query/name_batch.h"

namespace vexlo::lines {
namespace {

// The lines of one block of names: their texts, and whether each is
// unreadable (not UTF-8).
struct LineGroup {
    RowText texts[kNameBlock];
    bool unreadable[kNameBlock];
    // The hosts that had to be copied, each kept until its slot is reused.
    std::string copies[kNameBlock];
    std::size_t count = 0;
};

}  // namespace

void answer_lines(std::string_view block, bool at_end, const RowFormat& format,
                  const RuleTables& tables, BlockAnswer& answer) {
    // Nearly every block is ASCII; only the others are checked line by line.
    const bool check_utf8 = !is_ascii(block);
    const bool matched = format.needs_match();
    const bool explained = format.needs_verdict();
    const auto group = std::make_unique<LineGroup>();
    const auto batch = std::make_unique<NameBatch>();
    std::size_t next_bad = answer.bad_lines.size();  // the first bad line without its row yet
    LineCutter cutter(block, at_end);
    const char* const block_end = block.data() + block.size();

    // Each line's text (its host with urls); a line that is not UTF-8 is
    // matched as an invalid name, and never written.
    const auto add = [&](std::string_view line, NameBatch& names) {
        const std::size_t i = group->count++;
        // kReadPadding bytes after the line may be read.
        const bool padded = block_end - (line.data() + line.size()) >= std::ptrdiff_t{kReadPadding};
        group->unreadable[i] = false;
        if (check_utf8) {
            if (const std::size_t offset = utf8_error_offset(line, padded); offset != kWellFormed) {
                answer.bad_lines.push_back({answer.lines + i, offset + 1, 0});
                group->unreadable[i] = true;
                line = {};
            }
        }
        RowText& text = group->texts[i];
        text = {line, padded, line, padded};
        if (format.urls && !group->unreadable[i]) {
            // The questions are about domains: an IP literal has no answers.
            text.host = host_of_text(line, false, group->copies[i]).host;
            // A host inside the line is followed by the rest of it; a copy
            // is not.
            text.host_padded = padded && text.host.data() != group->copies[i].data();
        }
        // UTF-8 by now (an unreadable line is empty): not checked again.
        if (matched) names.add_utf8(text.host);
    };
    answer_blocks(
        *batch,
        [&](NameBatch& names) -> std::optional<BlockMatch> {
            group->count = 0;
            std::string_view line;
            while (group->count < kNameBlock && cutter.next(line)) add(line, names);
            if (group->count == 0) return std::nullopt;
            return BlockMatch{&tables, format.switches, explained};
        },
        [&](const NameBatch& names) {
            OutputBuffer& output = answer.output;
            for (std::size_t i = 0; i < group->count; ++i) {
                if (group->unreadable[i]) {
                    answer.bad_lines[next_bad++].row_offset = output.size();
                    write_unreadable_row(format, output);
                    continue;
                }
                std::optional<MatchView> match;
                const Verdict* verdict = nullptr;
                if (matched && names[i].state == NameBatch::State::kValid) {
                    match = names.view(i);
                    if (explained) verdict = &names.verdict(i);
                }
                // The lowercase lies in the batch's padded arena.
                write_row(format, group->texts[i], {match ? &*match : nullptr, verdict, &tables},
                          true, output);
            }
            answer.lines += group->count;
        });
    answer.consumed = static_cast<std::size_t>(cutter.position() - block.data());
}

void answer_lines_threaded(std::string_view block, bool at_end, const RowFormat& format,
                           const RuleTables& tables, BlockAnswer& answer, unsigned threads) {
    const std::size_t parts_wanted =
        std::min<std::size_t>(threads, block.size() / kMinBlockPerThread);
    if (parts_wanted < 2) {
        answer_lines(block, at_end, format, tables, answer);
        return;
    }
    // Cut just after a newline at or past each even share; a part may come
    // out empty when lines are long, and the last one takes the rest.
    std::vector<std::string_view> parts;
    const char* start = block.data();
    const char* const end = block.data() + block.size();
    for (std::size_t k = 1; k < parts_wanted; ++k) {
        const char* cut = block.data() + block.size() * k / parts_wanted;
        if (cut < start) cut = start;
        const char* newline = find_newline(cut, end);
        if (newline == end) break;
        parts.emplace_back(start, static_cast<std::size_t>(newline + 1 - start));
        start = newline + 1;
    }
    parts.emplace_back(start, static_cast<std::size_t>(end - start));

    std::vector<BlockAnswer> answers(parts.size());
    run_parts(parts.size(), [&](std::size_t k) {
        // Every part but the last ends with its newline.
        answer_lines(parts[k], k + 1 == parts.size() && at_end, format, tables, answers[k]);
    });

    answer.consumed = 0;
    for (BlockAnswer& part : answers) {
        const std::size_t lines_before = answer.lines;
        const std::size_t output_before = answer.output.size();
        answer.output.append(part.output.view());
        for (BadLine bad : part.bad_lines) {
            bad.line += lines_before;
            bad.row_offset += output_before;
            answer.bad_lines.push_back(bad);
        }
        answer.lines += part.lines;
        answer.consumed += part.consumed;
    }
}

std::size_t answer_name(std::string_view name, const RowFormat& format, const RuleTables& tables,
                        OutputBuffer& output) {
    if (const std::size_t offset = utf8_error_offset(name); offset != kWellFormed) {
        write_unreadable_row(format, output);
        return offset + 1;
    }
    std::string copy;
    RowText text{name, false, name, false};
    if (format.urls) text.host = host_of_text(name, false, copy).host;
    // Matched in both views, as write_row takes a match with its verdict.
    std::optional<TracedMatch> traced;
    if (format.needs_match()) traced = trace_domain(text.host, tables, format.switches.accept_unknown);
    const std::optional<MatchView> view = traced ? std::optional(traced->match.view()) : std::nullopt;
    write_row(format, text, {view ? &*view : nullptr, traced ? &traced->verdict : nullptr, &tables},
              false, output);
    return 0;
}

}  // namespace vexlo::lines
