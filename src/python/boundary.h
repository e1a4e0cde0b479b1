// The edge between the interpreter and vexlo's code: the frames of every
// module function and exec step. The body of a frame returns its value or
// throws; the fault barrier takes what it throws, a PyError as it is and
// every Fault (and any other C++ exception) as a PanicException, and makes it
// the current exception. The outer trap ends the process should anything
// escape while that is done, so no C++ exception ever unwinds into the
// interpreter.
#pragma once

#include <Python.h>

#include "python/py_error.h"

namespace vexlo::python {

// Inside a catch block: makes the exception being handled the current
// exception, a PyError as it is and anything else a PanicException, its
// diagnostic written first unless it has been already; should that throw,
// ends the process ("uncaught panic at ffi boundary").
void raise_caught() noexcept;

// The entry of every module function: `body()` returns a new reference or
// throws. Returns it, or null with exactly one exception set.
template <typename Body>
PyObject* call_frame(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        raise_caught();
    }
    return nullptr;
}

// The exec step of a module: runs `body()`. Returns 0, or -1 with exactly
// one exception set, which makes the import fail.
template <typename Body>
int exec_frame(Body&& body) noexcept {
    return call_frame([&] {
        body();
        return Py_None;  // immortal: no reference to give back
    }) != nullptr ? 0 : -1;
}

}  // namespace vexlo::python
