#include "lines/answer_lines.h"

#include <algorithm>
#include <cstddef>
#include <exception>
#include <memory>
#include <system_error>
#include <thread>

#include "lines/escape.h"
#include "lines/line_cutter.h"
#include "lines/match_group.h"
#include "lines/utf8_check.h"

namespace vexlo::lines {
namespace {

// Lines gathered for one MatchGroup, then written out together.
class GroupWriter {
public:
    GroupWriter(const RowFormat& format, BlockAnswer& answer)
        : format_(format),
          answer_(answer),
          matched_(format.needs_match()),
          next_bad_(answer.bad_lines.size()) {}

    // `padded`: kReadPadding bytes after the line may be read.
    void add(std::string_view line, bool padded, bool check_utf8) {
        unreadable_[count_] = false;
        padded_[count_] = padded;
        if (check_utf8) {
            if (const std::size_t offset = utf8_error_offset(line, padded); offset != kWellFormed) {
                answer_.bad_lines.push_back({answer_.lines + count_, offset + 1, 0});
                unreadable_[count_] = true;
                line = {};  // matched as invalid, and never written
            }
        }
        names_[count_++] = line;
        if (count_ == MatchGroup::kCapacity) flush();
    }

    void flush() {
        if (count_ == 0) return;
        if (matched_) group_.match({names_, count_}, format_.switches);
        OutputBuffer& output = answer_.output;
        for (std::size_t i = 0; i < count_; ++i) {
            if (unreadable_[i]) {
                answer_.bad_lines[next_bad_++].row_offset = output.size();
                write_unreadable_row(format_, output);
            } else {
                write_row(format_, names_[i], padded_[i], matched_ ? group_[i] : nullptr, output);
            }
        }
        answer_.lines += count_;
        count_ = 0;
    }

private:
    const RowFormat& format_;
    BlockAnswer& answer_;
    const bool matched_;
    std::size_t next_bad_;  // the first of answer_.bad_lines without its row yet
    std::size_t count_ = 0;
    std::string_view names_[MatchGroup::kCapacity];
    bool unreadable_[MatchGroup::kCapacity];
    bool padded_[MatchGroup::kCapacity];
    MatchGroup group_;
};

}  // namespace

void answer_lines(std::string_view block, bool at_end, const RowFormat& format,
                  BlockAnswer& answer) {
    // Nearly every block is ASCII; only the others are checked line by line.
    const bool check_utf8 = !is_ascii(block);
    const auto writer = std::make_unique<GroupWriter>(format, answer);
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
                           BlockAnswer& answer, unsigned threads) {
    const std::size_t parts_wanted =
        std::min<std::size_t>(threads, block.size() / kMinBlockPerThread);
    if (parts_wanted < 2) {
        answer_lines(block, at_end, format, answer);
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
    std::vector<std::exception_ptr> failures(parts.size());
    auto answer_part = [&](std::size_t k) {
        try {
            // Every part but the last ends with its newline.
            answer_lines(parts[k], k + 1 == parts.size() && at_end, format, answers[k]);
        } catch (...) {
            failures[k] = std::current_exception();
        }
    };
    std::vector<std::thread> helpers;
    try {
        for (std::size_t k = 1; k < parts.size(); ++k) helpers.emplace_back(answer_part, k);
    } catch (const std::system_error&) {
        // No more threads to be had: this one answers the parts left over.
    }
    answer_part(0);
    for (std::size_t k = helpers.size() + 1; k < parts.size(); ++k) answer_part(k);
    for (std::thread& helper : helpers) helper.join();
    for (const std::exception_ptr& failure : failures) {
        if (failure) std::rethrow_exception(failure);
    }

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

std::size_t answer_name(std::string_view name, const RowFormat& format, OutputBuffer& output) {
    if (const std::size_t offset = utf8_error_offset(name); offset != kWellFormed) {
        write_unreadable_row(format, output);
        return offset + 1;
    }
    if (!format.needs_match()) {
        write_row(format, name, false, nullptr, output);
        return 0;
    }
    const std::optional<Match> match = match_domain(name, format.switches);
    write_row(format, name, false, match ? &*match : nullptr, output);
    return 0;
}

}  // namespace vexlo::lines
