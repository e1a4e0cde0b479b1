// Python errors as values until a frame raises them, and the faults that the
// boundary turns into PanicException. A PyError travels from where it arises
// to the frame (boundary.h) as a C++ exception, so that an interpreter call
// reads as one line: checked(PyObject_GetAttr(...)).
#pragma once

#include <Python.h>

#include <string>
#include <string_view>

#include "common/fault.h"
#include "python/scopes.h"

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
    static PyError from_exception(PyObject* exception);  // steals the reference
    static PyError with_message(PyObject* type, std::string message);
    static PyError panic(std::string message) { return with_message(nullptr, std::move(message)); }

    // The exception object, made now if only type and message are held.
    // Null only when making it failed; the interpreter's exception is then
    // held instead and returned.
    PyObject* exception_object();

    // Makes this the thread's current exception.
    void raise() &&;

private:
    Owned object_;
    PyObject* type_ = nullptr;  // a built-in type, or null for PanicException
    std::string message_;
};

inline PyError type_error(std::string message) {
    return PyError::with_message(PyExc_TypeError, std::move(message));
}
inline PyError value_error(std::string message) {
    return PyError::with_message(PyExc_ValueError, std::move(message));
}

// The interpreter's pending exception after a call reported failure. A
// PanicException coming back from Python code is not an ordinary error: it is
// reported on standard error and resumed as a fault with the same message.
PyError take_pending_exception();
[[noreturn]] void throw_pending_exception();

// The result of an interpreter call that returns a new reference, or null
// with an exception set; the exception is thrown as a PyError.
inline PyObject* checked(PyObject* result) {
    if (result == nullptr) [[unlikely]] throw_pending_exception();
    return result;
}
// The same for a call that returns -1 with an exception set.
inline int checked(int result) {
    if (result < 0) [[unlikely]] throw_pending_exception();
    return result;
}

// For an interpreter call that had to return a new object and returned null:
// the pending exception goes to the unraisable hook and the call faults.
[[noreturn]] void object_creation_failed();

// Returns `object`, or faults as object_creation_failed when it is null.
inline PyObject* created(PyObject* object) {
    if (object == nullptr) [[unlikely]] object_creation_failed();
    return object;
}

// The UTF-8 of `text`, a new reference that this releases; `fallback` when
// `text` is null (its exception is discarded) or has no UTF-8 form.
std::string utf8_or(PyObject* text, std::string_view fallback);

// The qualified name of `type` (int, bytes, Outer.Inner), for messages.
std::string qualified_type_name(PyTypeObject* type);

// UTF-8 of str(object), with anything unencodable escaped; `fallback` when
// str() fails. For messages only.
std::string display_text(PyObject* object, std::string_view fallback);

// The TypeError for an object that is not of the type named `target`:
// "'int' object is not an instance of 'str'", or "'None' is not ..." for None.
PyError not_an_instance(PyObject* object, std::string_view target);

}  // namespace vexlo::python
