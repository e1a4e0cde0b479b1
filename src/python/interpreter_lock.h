// Giving up the interpreter lock while C++ works on data that no Python code
// can change meanwhile.
#pragma once

#include <Python.h>

namespace vexlo::python {

// Gives up the interpreter lock for its lifetime, and takes it back however
// the scope is left.
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
