// Why a list file was refused: every faulty line, in line order, as
// "FILE:LINE: reason" would show them (and every faulty extra rule given
// beside the file, numbered as lines after its last). A caller that reports only the first
// few keeps only those; the count is always of all of them.
#pragma once

#include <cstddef>
#include <limits>
#include <string>
#include <vector>

namespace vexlo::list_file {

struct ListError {
    std::size_t line;  // 1-based; 0 for the file as a whole
    std::string reason;
};

inline constexpr std::size_t kEveryError = std::numeric_limits<std::size_t>::max();

struct ListErrors {
    std::vector<ListError> first;  // the first ones in line order, as many as were kept
    std::size_t count = 0;         // every error, kept or not
    // The lines after this one are the extra rules given beside the file, one
    // a line: line file_lines + 1 is extra rule 1.
    std::size_t file_lines = kEveryError;

    bool empty() const noexcept { return count == 0; }
};

// Collects errors into a ListErrors, keeping at most `kept` of them.
class ErrorSink {
public:
    ErrorSink(ListErrors& errors, std::size_t kept) noexcept : errors_(errors), kept_(kept) {}

    // Whether the next error in line order will be kept: when not, its reason
    // need not be spelled out.
    bool keeps_next() const noexcept { return errors_.first.size() < kept_; }

    // An error on a line at or after those of every error so far.
    void add(std::size_t line, std::string reason);
    // An error whose line may come before those of earlier errors: it goes
    // after every kept error of its line or an earlier one.
    void add_in_line_order(std::size_t line, std::string reason);

private:
    ListErrors& errors_;
    std::size_t kept_;
};

}  // namespace vexlo::list_file
