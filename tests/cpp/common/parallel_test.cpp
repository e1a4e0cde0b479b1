// run_parts runs every part once, whatever the count, and a failure waits
// for every part to end before the first one (by part) is thrown again.
#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "common/parallel.h"

namespace vexlo {
namespace {

TEST(RunParts, RunsEveryPartOnce) {
    for (const std::size_t parts : {0, 1, 2, 5, 64}) {
        const auto runs = std::make_unique<std::atomic<int>[]>(parts + 1);
        run_parts(parts, [&](std::size_t k) { ++runs[k]; });
        for (std::size_t k = 0; k < parts; ++k) EXPECT_EQ(runs[k], 1) << k << " of " << parts;
        EXPECT_EQ(runs[parts], 0) << parts;
    }
}

TEST(RunParts, RethrowsTheFirstFailureAfterEveryPartHasEnded) {
    std::atomic<int> ended{0};
    try {
        run_parts(6, [&](std::size_t k) {
            if (k == 4 || k == 2) throw std::runtime_error("part " + std::to_string(k));
            if (k == 5) std::this_thread::sleep_for(std::chrono::milliseconds(50));
            ++ended;
        });
        ADD_FAILURE() << "nothing thrown";
    } catch (const std::runtime_error& failure) {
        EXPECT_STREQ(failure.what(), "part 2");
        EXPECT_EQ(ended, 4);
    }
}

}  // namespace
}  // namespace vexlo
