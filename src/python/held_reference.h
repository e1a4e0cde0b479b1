// Strong references owned by a scope.
#pragma once

#include <Python.h>

namespace vexlo::python {

// A new strong reference to `object` for the length of a scope, such as a
// call that gives up the interpreter lock while it reads the object.
class Held {
public:
    explicit Held(PyObject* object) noexcept : object_(object) { Py_INCREF(object_); }
    ~Held() { Py_DECREF(object_); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

private:
    PyObject* object_;
};

// Takes over a reference the scope already owns (a new reference returned
// by the interpreter) and releases it when the scope is left.
class Owned {
public:
    explicit Owned(PyObject* object) noexcept : object_(object) {}
    ~Owned() { Py_XDECREF(object_); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    PyObject* get() const noexcept { return object_; }

private:
    PyObject* object_;
};

}  // namespace vexlo::python
