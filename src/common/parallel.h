// Work split into parts that run at once: part 0 on the calling thread, the
// others on threads of their own for as long as threads can be had, and any
// left over on the calling thread after its own. The first failure of any
// part is thrown again once every part has ended.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <system_error>
#include <thread>
#include <vector>

namespace vexlo {

template <class Work>
void run_parts(std::size_t parts, Work&& work) {
    std::vector<std::exception_ptr> failures(parts);
    auto run = [&](std::size_t k) {
        try {
            work(k);
        } catch (...) {
            failures[k] = std::current_exception();
        }
    };
    std::vector<std::thread> helpers;
    try {
        helpers.reserve(parts > 0 ? parts - 1 : 0);
        for (std::size_t k = 1; k < parts; ++k) helpers.emplace_back(run, k);
    } catch (const std::system_error&) {
        // No more threads to be had: this one answers the parts left over.
    } catch (const std::bad_alloc&) {
    }
    if (parts > 0) run(0);
    for (std::size_t k = helpers.size() + 1; k < parts; ++k) run(k);
    for (std::thread& helper : helpers) helper.join();
    for (const std::exception_ptr& failure : failures) {
        if (failure) std::rethrow_exception(failure);
    }
}

}  // namespace vexlo
