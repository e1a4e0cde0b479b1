#include "common/thread_count.h"

#include <algorithm>
#include <thread>

#if defined(__linux__)
#include <sched.h>
#endif

namespace vexlo {

unsigned usable_cores() noexcept {
    unsigned cores = 0;
#if defined(__linux__)
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) cores = static_cast<unsigned>(CPU_COUNT(&set));
#endif
    if (cores == 0) cores = std::thread::hardware_concurrency();
    return std::clamp(cores, 1u, kMaxThreads);
}

}  // namespace vexlo
