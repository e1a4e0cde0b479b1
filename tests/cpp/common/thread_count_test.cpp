// The default thread count follows the process's CPU affinity, and every
// count asked for stays within the one cap.
#include "common/thread_count.h"

#include <gtest/gtest.h>

#if defined(__linux__)
#include <sched.h>
#endif

namespace vexlo {
namespace {

TEST(ThreadCount, CapsWhatIsAskedFor) {
    EXPECT_EQ(capped_threads(1), 1u);
    EXPECT_EQ(capped_threads(kMaxThreads - 1), kMaxThreads - 1);
    EXPECT_EQ(capped_threads(kMaxThreads), kMaxThreads);
    EXPECT_EQ(capped_threads(~std::uint64_t{0}), kMaxThreads);
}

#if defined(__linux__)
TEST(ThreadCount, UsableCoresAreThoseTheAffinityAllows) {
    cpu_set_t all;
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    const int count = CPU_COUNT(&all);
    EXPECT_EQ(usable_cores(), static_cast<unsigned>(std::min(count, static_cast<int>(kMaxThreads))));
    int first = 0;
    while (!CPU_ISSET(first, &all)) ++first;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    EXPECT_EQ(usable_cores(), 1u);
    ASSERT_EQ(sched_setaffinity(0, sizeof all, &all), 0);
}
#endif

}  // namespace
}  // namespace vexlo
