// The Arrow C structs in PyCapsules, as the Arrow PyCapsule interface names
// them: taking one over from a column's capsule, and handing answers out in
// one. What a capsule holds is released exactly once, by its consumer or by
// the capsule.
#pragma once

#include <Python.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "columns/arrow_owned.h"

namespace vexlo::python {

inline constexpr const char* kSchemaCapsule = "arrow_schema";
inline constexpr const char* kArrayCapsule = "arrow_array";
inline constexpr const char* kStreamCapsule = "arrow_array_stream";

// Moves the struct of the capsule `capsule` (named `name`, holding an Arrow
// `what`) into `owner`; refused with a note on the parameter `parameter`
// when it is no such capsule, or its struct was released or taken. Inside
// the capsule's critical section, so that of calls in several threads handed
// one capsule (an interpreter without the global lock runs them at once)
// exactly one takes the struct and the others find it taken.
template <class Struct>
void take_struct(PyObject* capsule, const char* name, ArrowOwner<Struct>& owner,
                 std::string_view parameter, const char* what);

// A capsule owning `owner`'s struct (moved into it), or null with the
// interpreter's exception pending and `owner` untouched.
PyObject* new_capsule(OwnedSchema& owner);
PyObject* new_capsule(OwnedArray& owner);
PyObject* new_capsule(OwnedStream& owner);

// The buffer sizes passed as `parameter`: a tuple of int or None (unknown),
// or None for no sizes.
std::vector<std::int64_t> sizes_argument(PyObject* object, std::string_view parameter);

}  // namespace vexlo::python
