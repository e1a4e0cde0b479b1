#include "module/boundary.h"

namespace vexlo::module {

void report_fault(const Fault& fault) noexcept {
    std::fprintf(stderr, "vexlo: internal fault: %s\n", fault.what());
}

void uncaught_at_boundary() noexcept {
    std::fputs("uncaught panic at ffi boundary\n", stderr);
    std::abort();
}

}  // namespace vexlo::module
