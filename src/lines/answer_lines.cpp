#include "lines/answer_lines.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string>

#include "common/parallel.h"
#include "host/find_host.h"
#include "lines/escape.h"
#include "lines/line_cutter.h"
#include "normalize/utf8_check.h"
#include "query/match.h"
#include "query/name_batch.h"

namespace vexlo::lines {
namespace {

// The host that the answers for `line` are for when each line is a URL or an
// e-mail address: empty when it has none. A host holding TAB or CR (a line
// holds no LF) is copied to `copy` without them.
std::string_view host_of_line(std::string_view line, std::string& copy) {
    const host::FoundHost found = host::find_host(line);
    // The questions are about domains; an IP literal has no answers.
    if (!host::is_answer(found, false)) return {};
    if (!found.has_tab_or_newline()) return found.text();
    copy.resize(found.text().size());
    copy.resize(host::copy_without_tab_or_newline(found.text(), copy.data()));
    return copy;
}

// Lines gathered for one batch of names, then written out together.
class GroupWriter {
public:
    // Enough names that the batch walk's groups of equal searches fill up.
    static constexpr std::size_t kCapacity = 256;

    GroupWriter(const RowFormat& format, const RuleTables& tables, BlockAnswer& answer)
        : format_(format),
          tables_(tables),
          answer_(answer),
          matched_(format.needs_match()),
          explained_(format.needs_verdict()),
          next_bad_(answer.bad_lines.size()) {}

    // `padded`: kReadPadding bytes after the line may be read.
    void add(std::string_view line, bool padded, bool check_utf8) {
        RowText& text = texts_[count_];
        unreadable_[count_] = false;
        if (check_utf8) {
            if (const std::size_t offset = utf8_error_offset(line, padded); offset != kWellFormed) {
                answer_.bad_lines.push_back({answer_.lines + count_, offset + 1, 0});
                unreadable_[count_] = true;
                line = {};  // matched as invalid, and never written
            }
        }
        text = {line, padded, line, padded};
        if (format_.urls && !unreadable_[count_]) {
            text.host = host_of_line(line, copies_[count_]);
            // A host inside the line is followed by the rest of it; a copy
            // is not.
            text.host_padded = padded && text.host.data() != copies_[count_].data();
        }
        if (++count_ == kCapacity) flush();
    }

    void flush() {
        if (count_ == 0) return;
        if (matched_) {
            batch_.clear();
            for (std::size_t i = 0; i < count_; ++i) batch_.add(texts_[i].host);
            if (explained_) {
                batch_.explain(tables_, format_.switches.accept_unknown);
            } else {
                batch_.match(tables_, format_.switches);
            }
        }
        OutputBuffer& output = answer_.output;
        for (std::size_t i = 0; i < count_; ++i) {
            if (unreadable_[i]) {
                answer_.bad_lines[next_bad_++].row_offset = output.size();
                write_unreadable_row(format_, output);
                continue;
            }
            std::optional<MatchView> match;
            const Verdict* verdict = nullptr;
            if (matched_ && batch_[i].state == NameBatch::State::kValid) {
                match = batch_.view(i);
                if (explained_) verdict = &batch_.verdict(i);
            }
            // The lowercase lies in the batch's padded arena.
            write_row(format_, texts_[i], {match ? &*match : nullptr, verdict, &tables_}, true, output);
        }
        answer_.lines += count_;
        count_ = 0;
    }

private:
    const RowFormat& format_;
    const RuleTables& tables_;
    BlockAnswer& answer_;
    const bool matched_;
    const bool explained_;
    std::size_t next_bad_;  // the first of answer_.bad_lines without its row yet
    std::size_t count_ = 0;
    RowText texts_[kCapacity];
    bool unreadable_[kCapacity];
    // The hosts that had to be copied, each kept until its slot is reused.
    std::string copies_[kCapacity];
    NameBatch batch_;
};

}  // namespace

void answer_lines(std::string_view block, bool at_end, const RowFormat& format,
                  const RuleTables& tables, BlockAnswer& answer) {
    // Nearly every block is ASCII; only the others are checked line by line.
    const bool check_utf8 = !is_ascii(block);
    const auto writer = std::make_unique<GroupWriter>(format, tables, answer);
    LineCutter cutter(block, at_end);
    std::string_view line;
    const char* const block_end = block.data() + block.size();
    while (cutter.next(line)) {
        const bool padded = block_end - (line.data() + line.size()) >= std::ptrdiff_t{kReadPadding};
        writer->add(line, padded, check_utf8);
    }
    writer->flush();
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
    if (format.urls) text.host = host_of_line(name, copy);
    std::optional<MatchView> view;
    const Verdict* verdict = nullptr;
    std::optional<Match> match;
    std::optional<TracedMatch> traced;
    if (format.needs_verdict()) {
        traced = trace_domain(text.host, tables, format.switches.accept_unknown);
        if (traced) {
            view = traced->match.view();
            verdict = &traced->verdict;
        }
    } else if (format.needs_match()) {
        match = match_domain(text.host, tables, format.switches);
        if (match) view = match->view();
    }
    write_row(format, text, {view ? &*view : nullptr, verdict, &tables}, false, output);
    return 0;
}

}  // namespace vexlo::lines
