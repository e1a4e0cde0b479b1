#include "list_file/list_errors.h"

#include <algorithm>
#include <utility>

namespace vexlo::list_file {

void ErrorSink::add(std::size_t line, std::string reason) {
    ++errors_.count;
    if (keeps_next()) errors_.first.push_back({line, std::move(reason)});
}

void ErrorSink::add_in_line_order(std::size_t line, std::string reason) {
    ++errors_.count;
    auto& first = errors_.first;
    const auto at = std::upper_bound(first.begin(), first.end(), line,
                                     [](std::size_t l, const ListError& e) { return l < e.line; });
    if (static_cast<std::size_t>(at - first.begin()) >= kept_) return;
    first.insert(at, {line, std::move(reason)});
    if (first.size() > kept_) first.pop_back();
}

}  // namespace vexlo::list_file
