// The parameters of a module function, and placing a vectorcall's arguments
// into them. Every function of both modules is declared this way, so wrong
// counts and keywords give the same messages everywhere: a TypeError whose
// message begins with the function's name and "()", without a note.
#pragma once

#include <Python.h>

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

#include "python/py_error.h"

namespace vexlo::python {

struct KeywordParameter {
    std::string_view name;
    // A switch's value when the caller leaves it out. The options that are
    // no switch (threads, rules) are None then, and say false here.
    bool default_value = false;
};

// The keyword parameters of `first` followed by those of `second`: one
// declaration of a group of parameters serves every function that takes them.
template <std::size_t First, std::size_t Second>
constexpr std::array<KeywordParameter, First + Second> joined(
    const std::array<KeywordParameter, First>& first,
    const std::array<KeywordParameter, Second>& second) {
    std::array<KeywordParameter, First + Second> all{};
    std::size_t n = 0;
    for (const KeywordParameter& parameter : first) all[n++] = parameter;
    for (const KeywordParameter& parameter : second) all[n++] = parameter;
    return all;
}

struct FunctionSignature {
    std::string_view function_name;
    std::span<const std::string_view> positional;
    std::size_t required_positional;
    std::span<const KeywordParameter> keyword_only = {};
    // How many positional parameters, from the first, only take a position.
    std::size_t positional_only = 0;
};

// f(a, b, /): every parameter required and given by position only.
constexpr FunctionSignature positional_only(std::string_view function_name,
                                       std::span<const std::string_view> parameters) {
    return {function_name, parameters, parameters.size(), {}, parameters.size()};
}

// Fills `slots` (positional parameters first, then keyword-only ones; empty
// slots null, at least one slot per parameter) with objects borrowed from the
// caller's argument array. Returns false with `error` set at the first
// problem.
bool extract_arguments(const FunctionSignature& signature, PyObject* const* args, Py_ssize_t nargs,
                       PyObject* kwnames, std::span<PyObject*> slots, PyError& error);

}  // namespace vexlo::python
