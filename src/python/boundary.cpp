#include "python/boundary.h"

#include <cstdio>
#include <cstdlib>

namespace vexlo::python {
namespace {

PyError caught_error() {
    try {
        throw;
    } catch (PyError& error) {
        return std::move(error);
    } catch (const ReportedFault& fault) {
        return PyError::panic(fault.message());
    } catch (const Fault& fault) {
        std::fprintf(stderr, "vexlo: internal fault: %s\n", fault.what());
        return PyError::panic(fault.message());
    } catch (...) {
        return PyError::panic("vexlo's native code failed with an unexpected C++ exception");
    }
}

}  // namespace

void raise_caught() noexcept {
    try {
        caught_error().raise();
    } catch (...) {
        std::fputs("uncaught panic at ffi boundary\n", stderr);
        std::abort();
    }
}

}  // namespace vexlo::python
