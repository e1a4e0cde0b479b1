// A process-wide object created on first use and never released, shared by
// every module object and interpreter in the process.
#pragma once

#include <Python.h>

#include <atomic>

namespace vexlo::python {

// A thread that finds the object missing waits to enter the creation without
// the interpreter lock (a PyMutex gives it up while it waits), so a second
// thread never waits for the creator while holding the lock the creator needs.
class ProcessOnce {
public:
    // `create` runs with the interpreter lock held and returns a new
    // reference, or null with the interpreter's exception set; then a later
    // call tries again.
    template <typename Create>
    PyObject* get(Create&& create) noexcept {
        if (PyObject* ready = value_.load(std::memory_order_acquire)) return ready;
        PyMutex_Lock(&mutex_);
        PyObject* value = value_.load(std::memory_order_relaxed);
        if (value == nullptr) {
            value = create();
            value_.store(value, std::memory_order_release);
        }
        PyMutex_Unlock(&mutex_);
        return value;
    }

private:
    std::atomic<PyObject*> value_{nullptr};
    PyMutex mutex_{};
};

// The str `Text`, interned, made once for the process on first use; null with
// the interpreter's exception set when it cannot be made.
template <const char* Text>
PyObject* interned() noexcept {
    static ProcessOnce once;
    return once.get([]() -> PyObject* {
        PyObject* text = PyUnicode_FromString(Text);
        if (text != nullptr) PyUnicode_InternInPlace(&text);
        return text;
    });
}

}  // namespace vexlo::python
