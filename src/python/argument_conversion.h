// Turning one placed argument into a plain value. The rules are strict: a
// text is a str, a switch a bool (or a NumPy boolean scalar), a count an int
// or an object with __index__; nothing is coerced by truthiness. Each error
// keeps its own type and message and gets the note "while processing
// '<parameter>'".
#pragma once

#include <Python.h>

#include <cstdint>
#include <limits>
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
bool extract_str(PyObject* object, std::string_view parameter, std::string_view& text,
                 PyError& error);
// Inline, so that a call with a good count (subdomain's depth) carries no
// parameter name along.
inline bool extract_index(PyObject* object, std::string_view parameter, std::uint64_t& value,
                          PyError& error) {
    if (index_value(object, value)) [[likely]] return true;
    error = annotate_argument_error(parameter, take_pending_exception());
    return false;
}
bool extract_bool(PyObject* object, std::string_view parameter, bool& value, PyError& error);
// extract_bool for a keyword-only switch: an empty slot (null) gives the default.
inline bool extract_flag(PyObject* object, std::string_view parameter, bool default_value,
                         bool& value, PyError& error) {
    if (object == nullptr) {
        value = default_value;
        return true;
    }
    return extract_bool(object, parameter, value, error);
}
// Bytes only: being immutable, they cannot change while the interpreter
// lock is given up.
bool extract_bytes(PyObject* object, std::string_view parameter, std::string_view& bytes,
                   PyError& error);
// The pointer held by a PyCapsule named `capsule_name`.
bool extract_capsule(PyObject* object, const char* capsule_name, std::string_view parameter,
                     void*& pointer, PyError& error);

// A number of threads: None (or an empty slot) for the default, else an int
// or an object with __index__, not a bool, from 1 on; a larger count than
// kMaxThreads is taken as kMaxThreads.
bool extract_threads(PyObject* object, std::string_view parameter,
                     std::optional<unsigned>& threads, PyError& error);

// "must be at least 1, not 0", "must be at most 5, not 9": an error of
// `type` with the parameter's note.
PyError out_of_range(PyObject* type, std::string_view parameter, std::string_view bound,
                     std::uint64_t limit, std::uint64_t value);

// extract_index into a narrower unsigned type; a larger value is an
// OverflowError.
template <typename Unsigned>
bool extract_count(PyObject* object, std::string_view parameter, Unsigned& value,
                   PyError& error) {
    std::uint64_t wide = 0;
    if (!extract_index(object, parameter, wide, error)) return false;
    constexpr std::uint64_t kLargest = std::numeric_limits<Unsigned>::max();
    if (wide > kLargest) {
        error = out_of_range(PyExc_OverflowError, parameter, "at most", kLargest, wide);
        return false;
    }
    value = static_cast<Unsigned>(wide);
    return true;
}

}  // namespace vexlo::python
