#include "lines/answer_lines.h"

#include <cstddef>
#include <memory>

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
