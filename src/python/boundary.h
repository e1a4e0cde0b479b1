// The edge between the interpreter and vexlo's code: the frames of every
// module function and exec step. Inside the fault barrier every Fault (and
// any other C++ exception) becomes a PanicException; the outer trap ends the
// process should anything still escape, so no C++ exception ever unwinds into
// the interpreter.
#pragma once

#include <Python.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "python/py_error.h"

namespace vexlo::python {

inline constexpr const char* kForeignExceptionMessage =
    "vexlo's native code failed with an unexpected C++ exception";

// Writes the diagnostic of a fault that nothing has reported yet.
void report_fault(const Fault& fault) noexcept;

[[noreturn]] void uncaught_at_boundary() noexcept;

// Inside a catch block: the PanicException that the exception being handled
// becomes, its diagnostic written first unless it has been already.
PyError caught_as_panic();

// Runs `body(error)`, which returns a new reference or null with `error` set.
// Returns the body's result or the caught fault as an error.
template <typename Body>
PyObject* fault_barrier(Body&& body, PyError& error) {
    try {
        return body(error);
    } catch (...) {
        error = caught_as_panic();
    }
    return nullptr;
}

// Inside a catch block: turns the exception being handled into a
// PanicException, the way fault_barrier does, and makes it the current
// exception. Returns null.
PyObject* raise_caught_as_panic() noexcept;

// The entry of every module function: returns a new reference, or null with
// exactly one exception set.
template <typename Body>
PyObject* call_frame(Body&& body) noexcept {
    try {
        PyError error;
        PyObject* result = fault_barrier(body, error);
        if (result == nullptr) std::move(error).raise();
        return result;
    } catch (...) {
        uncaught_at_boundary();
    }
}

// call_frame for a body that cannot fail with an ordinary error, only fault
// (an argument path already checked, a result that could not be made): no
// error record is set up for it.
template <typename Body>
PyObject* infallible_call_frame(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return raise_caught_as_panic();
    }
}

// The exec step of a module: `body(error)` returns true, or false with
// `error` set. Returns 0, or -1 with exactly one exception set, which makes
// the import fail.
template <typename Body>
int exec_frame(Body&& body) noexcept {
    try {
        PyError error;
        const bool done = fault_barrier(
                              [&body](PyError& failure) -> PyObject* {
                                  // Py_None: a borrowed marker of success, never returned to Python.
                                  return body(failure) ? Py_None : nullptr;
                              },
                              error) != nullptr;
        if (done) return 0;
        std::move(error).raise();
        return -1;
    } catch (...) {
        uncaught_at_boundary();
    }
}

}  // namespace vexlo::python
