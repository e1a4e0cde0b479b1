// The Arrow C structs in PyCapsules, as the Arrow PyCapsule interface names
// them: taking one from an argument, and handing answers out in one. What a
// capsule holds is released exactly once, by its consumer or by the capsule.
#pragma once

#include <Python.h>

#include <new>
#include <string>
#include <string_view>

#include "columns/arrow_abi.h"
#include "columns/arrow_owned.h"
#include "python/arguments.h"

namespace vexlo::python {

inline constexpr const char* kSchemaCapsule = "arrow_schema";
inline constexpr const char* kArrayCapsule = "arrow_array";
inline constexpr const char* kStreamCapsule = "arrow_array_stream";

inline PyError already_taken(std::string_view parameter, const char* what) {
    return annotate_argument_error(
        parameter, value_error(std::string("the ") + what + " was already released or taken"));
}

// The struct inside the capsule passed as `parameter`. A struct that was
// already moved out (released) is refused.
template <class Struct>
Struct* capsule_struct(PyObject* capsule, const char* capsule_name, std::string_view parameter,
                       const char* what) {
    auto* held = static_cast<Struct*>(capsule_argument(capsule, capsule_name, parameter));
    if (held->release == nullptr) throw already_taken(parameter, what);
    return held;
}

// Moves `held`, the struct of `capsule` (from capsule_struct), into `owner`.
// Inside the capsule's critical section, so that of calls in several threads
// handed one capsule (an interpreter without the global lock runs them at
// once) exactly one takes the struct and the others find it taken. (With the
// global lock the critical section is empty, and `capsule` unused.)
template <class Struct>
void take_capsule_struct([[maybe_unused]] PyObject* capsule, Struct* held,
                         ArrowOwner<Struct>& owner, std::string_view parameter, const char* what) {
    bool taken = false;
    Py_BEGIN_CRITICAL_SECTION(capsule);
    if (held->release != nullptr) {
        owner = ArrowOwner<Struct>(held);
        taken = true;
    }
    Py_END_CRITICAL_SECTION();
    if (!taken) throw already_taken(parameter, what);
}

// The capsules' destructors: release what is still held, free the struct.
void release_schema_capsule(PyObject* capsule) noexcept;
void release_array_capsule(PyObject* capsule) noexcept;
void release_stream_capsule(PyObject* capsule) noexcept;

// A capsule owning `owner`'s struct (moved into it), or null with the
// interpreter's exception pending and `owner` untouched.
template <class Struct>
PyObject* new_capsule(ArrowOwner<Struct>& owner, const char* name, PyCapsule_Destructor release) {
    auto* held = new (std::nothrow) Struct;
    if (held == nullptr) return PyErr_NoMemory();
    held->release = nullptr;
    PyObject* capsule = PyCapsule_New(held, name, release);
    if (capsule == nullptr) {
        delete held;
        return nullptr;
    }
    owner.move_to(held);
    return capsule;
}

}  // namespace vexlo::python
