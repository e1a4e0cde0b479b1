// Column memory that fails on demand. This suite links failing_memory.cpp,
// whose allocators stand in for those of src/columns/column_memory.cpp (the
// linker takes an object's definitions before it looks into a library).
#pragma once

namespace vexlo::testing {

// The `countdown`-th allocation of column memory from now on (1 = the next)
// fails, as if memory had run out; 0 turns failures off. Process-wide.
void fail_allocation_after(long countdown) noexcept;

}  // namespace vexlo::testing
