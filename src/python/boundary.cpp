#include "python/boundary.h"

namespace vexlo::python {

void report_fault(const Fault& fault) noexcept {
    std::fprintf(stderr, "vexlo: internal fault: %s\n", fault.what());
}

PyObject* raise_caught_as_panic() noexcept {
    try {
        PyError error;
        try {
            throw;
        } catch (const ReportedFault& fault) {
            error = PyError::panic(fault.message());
        } catch (const Fault& fault) {
            report_fault(fault);
            error = PyError::panic(fault.message());
        } catch (...) {
            error = PyError::panic(kForeignExceptionMessage);
        }
        std::move(error).raise();
        return nullptr;
    } catch (...) {
        uncaught_at_boundary();
    }
}

void uncaught_at_boundary() noexcept {
    std::fputs("uncaught panic at ffi boundary\n", stderr);
    std::abort();
}

}  // namespace vexlo::python
