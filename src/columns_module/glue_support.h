// What the functions of vexlo._columns share: errors as values, argument
// checks for their positional-only parameters, giving up the interpreter lock
// while C++ works, and tuples built item by item.
#pragma once

#include <Python.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "module/boundary.h"

namespace vexlo::columns_module {

using module::PyError;
using module::call_frame;
using module::take_pending_exception;

inline PyError type_error(std::string message) {
    return PyError::with_message(PyExc_TypeError, std::move(message));
}

inline PyError value_error(std::string message) {
    return PyError::with_message(PyExc_ValueError, std::move(message));
}

inline std::string type_name(PyObject* object) { return Py_TYPE(object)->tp_name; }

inline bool check_count(const char* function, Py_ssize_t nargs, Py_ssize_t expected,
                        PyError& error) {
    if (nargs == expected) return true;
    error = type_error(std::string(function) + "() takes exactly " + std::to_string(expected) +
                       " arguments (" + std::to_string(nargs) + " given)");
    return false;
}

inline bool extract_bool(const char* function, const char* name, PyObject* object, bool& value,
                         PyError& error) {
    if (!PyBool_Check(object)) {
        error = type_error(std::string(function) + "() argument '" + name + "' must be bool, not " +
                           type_name(object));
        return false;
    }
    value = object == Py_True;
    return true;
}

// A non-negative int that fits `value`'s type.
template <typename Unsigned>
bool extract_count(const char* function, const char* name, PyObject* object, Unsigned& value,
                   PyError& error) {
    if (!PyLong_Check(object)) {
        error = type_error(std::string(function) + "() argument '" + name + "' must be int, not " +
                           type_name(object));
        return false;
    }
    const unsigned long long number = PyLong_AsUnsignedLongLong(object);
    if (number == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
        error = take_pending_exception();
        return false;
    }
    if (number > static_cast<unsigned long long>(static_cast<Unsigned>(-1))) {
        error = PyError::with_message(PyExc_OverflowError, std::string(function) + "() argument '" +
                                                               name + "' is too large");
        return false;
    }
    value = static_cast<Unsigned>(number);
    return true;
}

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

// A strong reference for the length of a call.
class Held {
public:
    explicit Held(PyObject* object) noexcept : object_(object) { Py_INCREF(object_); }
    ~Held() { Py_DECREF(object_); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;

private:
    PyObject* object_;
};

// A tuple of `count` items, item i made by make(i) as a new reference, in
// order; the first that cannot be made ends it with its exception pending.
template <typename Make>
PyObject* make_tuple(std::size_t count, Make make) {
    PyObject* tuple = PyTuple_New(static_cast<Py_ssize_t>(count));
    if (tuple == nullptr) return nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        PyObject* item = make(i);
        if (item == nullptr) {
            Py_DECREF(tuple);  // the slots not yet filled are null, which it allows
            return nullptr;
        }
        PyTuple_SET_ITEM(tuple, static_cast<Py_ssize_t>(i), item);
    }
    return tuple;
}

template <typename Function>
PyCFunction as_cfunction(Function function) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function));
}

}  // namespace vexlo::columns_module
