// The process-wide objects themselves, made on first use and never released.
// Only vexlo._lookup hands this table out; vexlo._columns borrows it.
#pragma once

#include "python/process_services.h"

namespace vexlo::python {

extern const ProcessServices kProcessCaches;

}  // namespace vexlo::python
