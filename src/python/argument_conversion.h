// Turning one placed argument into a plain value. The rules are strict: a
// text is a str, a switch a bool (or a NumPy boolean scalar), a count an int
// or an object with __index__; nothing is coerced by truthiness. Each error
// keeps its own type and message and gets the note "while processing
// '<parameter>'".
#pragma once

#include <Python.h>

#include <cstdint>
#include <optional>
#include <string_view>

#include "python/py_error.h"

namespace vexlo::python {

// Adds the note "while processing '<parameter>'" to the error's exception.
PyError annotate_argument_error(std::string_view parameter, PyError error);
// Adds the note "while processing <what> <index>", for one item of an
// argument ("column item 3").
PyError annotate_item_error(const char* what, std::size_t index, PyError error);

// The value of an int, or of an object's __index__, from 0 to 2**64 - 1;
// false with the interpreter's exception set.
bool index_value(PyObject* object, std::uint64_t& value);

// Each returns false with `error` set.
bool str_argument(PyObject* object, std::string_view parameter, std::string_view& text,
                 PyError& error);
// Inline, so that a call with a good count (subdomain's depth) carries no
// parameter name along.
inline bool index_argument(PyObject* object, std::string_view parameter, std::uint64_t& value,
                          PyError& error) {
    if (index_value(object, value)) [[likely]] return true;
    error = annotate_argument_error(parameter, take_pending_exception());
    return false;
}
bool bool_argument(PyObject* object, std::string_view parameter, bool& value, PyError& error);

// The conversions of the lookup functions' parameters: the domain, depth and
// a keyword-only switch.
inline bool extract_domain(PyObject* object, std::string_view& domain, PyError& error) {
    return str_argument(object, "domain", domain, error);
}
inline bool extract_depth(PyObject* object, std::uint64_t& depth, PyError& error) {
    return index_argument(object, "depth", depth, error);
}
// bool_argument for a keyword-only switch: an empty slot (null) gives the default.
inline bool extract_flag(PyObject* object, std::string_view parameter, bool default_value,
                         bool& value, PyError& error) {
    if (object == nullptr) {
        value = default_value;
        return true;
    }
    return bool_argument(object, parameter, value, error);
}
// Bytes only: being immutable, they cannot change while the interpreter
// lock is given up.
bool bytes_argument(PyObject* object, std::string_view parameter, std::string_view& bytes,
                   PyError& error);
// The pointer held by a PyCapsule named `capsule_name`.
bool capsule_argument(PyObject* object, const char* capsule_name, std::string_view parameter,
                     void*& pointer, PyError& error);

// A number of threads: None (or an empty slot) for the default, else an int
// or an object with __index__, not a bool, from 1 on; a larger count than
// kMaxThreads is taken as kMaxThreads.
bool threads_argument(PyObject* object, std::string_view parameter,
                     std::optional<unsigned>& threads, PyError& error);

}  // namespace vexlo::python
