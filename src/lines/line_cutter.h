// Cutting a block of input into lines. A line ends at "\n", and a "\r" just
// before that "\n" belongs to the ending; a last line without "\n" (at the end
// of the input) is kept whole, "\r" included, as it was never ended.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace vexlo::lines {

// The first "\n" in [from, end), or end when there is none.
inline const char* find_newline(const char* from, const char* end) noexcept {
    const void* newline = std::memchr(from, '\n', static_cast<std::size_t>(end - from));
    return newline != nullptr ? static_cast<const char*>(newline) : end;
}

// Gives the lines of a block one by one. Without `at_end`, the bytes after the
// last "\n" are an unfinished line that the next block continues: they are
// not given, and consumed() stops before them.
class LineCutter {
public:
    LineCutter(std::string_view block, bool at_end) noexcept
        : next_(block.data()), end_(block.data() + block.size()), at_end_(at_end) {}

    // The next line without its ending; false when no whole line is left.
    bool next(std::string_view& line) noexcept {
        if (next_ == end_) return false;
        const char* const newline = find_newline(next_, end_);
        const char* line_end = newline;
        if (newline == end_) {
            if (!at_end_) return false;
        } else if (line_end != next_ && line_end[-1] == '\r') {
            --line_end;
        }
        line = {next_, static_cast<std::size_t>(line_end - next_)};
        next_ = newline == end_ ? end_ : newline + 1;
        return true;
    }

    // Where the lines given so far end, counted from the block's start.
    const char* position() const noexcept { return next_; }

private:
    const char* next_;
    const char* const end_;
    const bool at_end_;
};

}  // namespace vexlo::lines
