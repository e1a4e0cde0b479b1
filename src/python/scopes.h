// What a scope holds until it is left, however it is left: a strong
// reference, or the interpreter lock given up.
#pragma once

#include <Python.h>

#include <utility>

namespace vexlo::python {

// A strong reference the scope owns (a new reference returned by the
// interpreter, or null), released when the scope is left unless handed on.
class Owned {
public:
    explicit Owned(PyObject* object = nullptr) noexcept : object_(object) {}
    ~Owned() { Py_XDECREF(object_); }
    Owned(Owned&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    Owned& operator=(Owned&& other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    PyObject* get() const noexcept { return object_; }
    // Hands the reference on: the scope no longer owns it.
    PyObject* release() noexcept { return std::exchange(object_, nullptr); }

private:
    PyObject* object_;
};

// Gives up the interpreter lock for its lifetime, while C++ works on data
// that no Python code can change meanwhile, and takes it back however the
// scope is left.
class WithoutInterpreterLock {
public:
    WithoutInterpreterLock() noexcept : saved_(PyEval_SaveThread()) {}
    ~WithoutInterpreterLock() { PyEval_RestoreThread(saved_); }
    WithoutInterpreterLock(const WithoutInterpreterLock&) = delete;
    WithoutInterpreterLock& operator=(const WithoutInterpreterLock&) = delete;

private:
    PyThreadState* saved_;
};

}  // namespace vexlo::python
