// A C++ object made once by a private function and handed back to later
// calls in a PyCapsule (a column request, the command line's row format):
// the capsule owns it and deletes it with itself.
#pragma once

#include <Python.h>

#include <memory>
#include <string_view>

#include "python/arguments.h"
#include "python/py_error.h"

namespace vexlo::python {

// `Name` names the capsule, so that one kind is never read as another.
template <class Object, const char* Name>
struct ObjectCapsule {
    // A capsule owning `object` (deleted should the capsule not be made).
    static PyObject* make(std::unique_ptr<Object> object) {
        PyObject* capsule = checked(PyCapsule_New(object.get(), Name, release));
        object.release();  // the capsule owns it now
        return capsule;
    }

    // The object held by `capsule`, an argument named `parameter`.
    static const Object* read(PyObject* capsule, std::string_view parameter) {
        return static_cast<const Object*>(capsule_argument(capsule, Name, parameter));
    }

private:
    static void release(PyObject* capsule) noexcept {
        delete static_cast<Object*>(PyCapsule_GetPointer(capsule, Name));
    }
};

}  // namespace vexlo::python
