#include "python/boundary.h"

namespace vexlo::python {

void report_fault(const Fault& fault) noexcept {
    std::fprintf(stderr, "vexlo: internal fault: %s\n", fault.what());
}

PyError caught_as_panic() {
    try {
        throw;
    } catch (const ReportedFault& fault) {
        return PyError::panic(fault.message());
    } catch (const Fault& fault) {
        report_fault(fault);
        return PyError::panic(fault.message());
    } catch (...) {
        return PyError::panic(kForeignExceptionMessage);
    }
}

PyObject* raise_caught_as_panic() noexcept {
    try {
        caught_as_panic().raise();
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
