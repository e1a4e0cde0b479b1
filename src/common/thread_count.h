// How many threads one call may use: one cap for every caller (the column
// functions, the command line), and the default when the caller does not
// say, which is every core the process may run on.
#pragma once

#include <cstdint>

namespace vexlo {

// Beyond this, starting another thread costs more than the share of the
// work it would take; a larger count asked for is taken as this one.
inline constexpr unsigned kMaxThreads = 256;

// The cores this process may run on (its CPU affinity, which a container or
// `taskset` narrows), from 1 to kMaxThreads.
unsigned usable_cores() noexcept;

// A count asked for, from 1 on, as the count used: at most kMaxThreads.
constexpr unsigned capped_threads(std::uint64_t requested) noexcept {
    return requested < kMaxThreads ? static_cast<unsigned>(requested) : kMaxThreads;
}

}  // namespace vexlo
