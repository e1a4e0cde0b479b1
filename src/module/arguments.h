// Placing a vectorcall's arguments into a function's parameters and turning
// them into plain values. The rules are strict: a domain is a str, a switch a
// bool (or a NumPy boolean scalar); nothing is coerced by truthiness.
#pragma once

#include <Python.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "module/py_error.h"

namespace vexlo::module {

struct KeywordParameter {
    std::string_view name;
    bool default_value;
};

struct ArgumentSpec {
    std::string_view function_name;
    std::span<const std::string_view> positional;
    std::size_t required_positional;
    std::span<const KeywordParameter> keyword_only;
};

inline constexpr std::size_t kMaxParameters = 5;

// Positional parameters first, then keyword-only ones; null is an empty slot.
// The objects are borrowed from the caller's argument array.
using ArgumentSlots = std::array<PyObject*, kMaxParameters>;

// Each returns false with `error` set at the first problem.
bool extract_arguments(const ArgumentSpec& signature, PyObject* const* args, Py_ssize_t nargs,
                       PyObject* kwnames, ArgumentSlots& slots, PyError& error);
bool extract_domain(PyObject* object, std::string_view& domain, PyError& error);
bool extract_depth(PyObject* object, std::uint64_t& depth, PyError& error);
bool extract_flag(PyObject* object, std::string_view name, bool default_value, bool& value,
                  PyError& error);

// Adds the note "while processing '<parameter>'" to the error's exception.
PyError annotate_argument_error(std::string_view parameter, PyError error);

// Everything a query needs from one call. `depth` stays 0 for functions
// without it, `keep_case` false for those without it.
struct CallArguments {
    std::string_view domain;
    bool domain_is_ascii = false;  // then every text cut from it is ASCII too
    std::uint64_t depth = 0;
    bool accept_unknown = true;
    bool icann_only = false;
    bool keep_case = false;
};

// The whole extraction in parameter order: placement, domain, depth (when the
// function has it), then the switches in declaration order.
bool extract_call(const ArgumentSpec& signature, PyObject* const* args, Py_ssize_t nargs,
                  PyObject* kwnames, CallArguments& call, PyError& error);

}  // namespace vexlo::module
