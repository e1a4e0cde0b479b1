// Python errors as values until the call frame raises them, and the faults
// that the boundary turns into PanicException.
#pragma once

#include <Python.h>

#include <string>
#include <string_view>

#include "common/fault.h"

namespace vexlo::python {

// A fault that has already written its own diagnostics to standard error
// (a resumed PanicException, a failed object creation), so the barrier
// adds none.
class ReportedFault : public Fault {
public:
    using Fault::Fault;
};

// The process's one PanicException class, created on first need (a Fault
// with "Failed to initialize new exception type." when the interpreter cannot
// make it).
PyObject* panic_exception_type();

// Either an exception object taken from the interpreter, or a type and a
// message from which the object is made when it is raised or annotated.
class PyError {
public:
    PyError() = default;
    PyError(PyError&& other) noexcept;
    PyError& operator=(PyError&& other) noexcept;
    PyError(const PyError&) = delete;
    PyError& operator=(const PyError&) = delete;
    ~PyError();

    static PyError from_exception(PyObject* exception);  // steals the reference
    static PyError with_message(PyObject* type, std::string message);
    static PyError panic(std::string message);

    // The exception object, made now if only type and message are held.
    // Null only when making it failed; the interpreter's exception is then
    // held instead and returned.
    PyObject* exception_object();

    // Makes this the thread's current exception.
    void raise() &&;

private:
    PyObject* object_ = nullptr;  // owned
    PyObject* type_ = nullptr;    // a built-in type, or null for PanicException
    std::string message_;
};

// The interpreter's pending exception after a call reported failure. A
// PanicException coming back from Python code is not an ordinary error: it is
// reported on standard error and resumed as a fault with the same message.
PyError take_pending_exception();

// For an interpreter call that had to return a new object and returned null:
// the pending exception goes to the unraisable hook and the call faults.
[[noreturn]] void object_creation_failed();

// The UTF-8 of `text`, a new reference that this releases; `fallback` when
// `text` is null (its exception is discarded) or has no UTF-8 form.
std::string utf8_or(PyObject* text, std::string_view fallback);

// Returns `object`, or faults as object_creation_failed when it is null.
inline PyObject* created(PyObject* object) {
    if (object == nullptr) object_creation_failed();
    return object;
}

}  // namespace vexlo::python
