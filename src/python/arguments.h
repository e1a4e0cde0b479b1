// The arguments of a module function: its parameters, declared once
// (FunctionSignature); a vectorcall's arguments placed into them
// (extract_arguments); and each placed argument turned into a plain value.
// Every function of both modules is declared this way, so wrong counts and
// keywords give the same messages everywhere: a TypeError whose message
// begins with the function's name and "()", without a note. The conversions
// are strict: a text is a str, a switch a bool (or a NumPy boolean scalar), a
// count an int or an object with __index__; nothing is coerced by
// truthiness. A conversion's error keeps its own type and message and gets
// the note "while processing '<parameter>'". Every failure is thrown as a
// PyError.
#pragma once

#include <Python.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "python/py_error.h"

namespace vexlo::python {

struct KeywordParameter {
    std::string_view name;
    // A switch's value when the caller leaves it out.
    bool default_value = false;
    // An option that is no switch (threads, rules, fields): None then.
    bool none_default = false;
};

constexpr KeywordParameter option(std::string_view name) { return {name, false, true}; }

// The keyword parameters of `first` followed by those of `second`: one
// declaration of a group of parameters serves every function that takes them.
template <std::size_t First, std::size_t Second>
constexpr std::array<KeywordParameter, First + Second> joined(
    const std::array<KeywordParameter, First>& first,
    const std::array<KeywordParameter, Second>& second) {
    std::array<KeywordParameter, First + Second> all{};
    std::copy(second.begin(), second.end(), std::copy(first.begin(), first.end(), all.begin()));
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

// Writes the text signature of `signature` ("f(a, b, *, c=True)", then a
// line "--" and an empty line: the form from which the interpreter takes
// __text_signature__) to `out`, unless it is null; returns its length. With
// `method`, "$self" comes first, so that a bound method's leaves self out.
constexpr std::size_t text_signature(const FunctionSignature& signature, bool method, char* out) {
    std::size_t n = 0;
    bool first = true;
    const auto put = [&](std::string_view text) {
        for (const char c : text) {
            if (out != nullptr) out[n] = c;
            ++n;
        }
    };
    const auto parameter = [&](std::string_view text) {
        put(first ? "" : ", ");
        put(text);
        first = false;
    };
    put(signature.function_name);
    put("(");
    if (method) parameter("$self");
    for (const std::string_view name : signature.positional) parameter(name);
    if (signature.positional_only > 0) parameter("/");
    if (!signature.keyword_only.empty()) parameter("*");
    for (const KeywordParameter& keyword : signature.keyword_only) {
        parameter(keyword.name);
        put(keyword.none_default ? "=None" : keyword.default_value ? "=True" : "=False");
    }
    put(")\n--\n\n");
    return n;
}

// The docstring of the function `Signature`: its text signature, then
// `body`. The parameters are declared once, for placing the arguments and for
// the docstring alike.
template <const FunctionSignature& Signature, bool kMethod, std::size_t N>
constexpr auto docstring(std::string_view body) {
    constexpr std::size_t kHead = text_signature(Signature, kMethod, nullptr);
    std::array<char, kHead + N + 1> out{};  // and a NUL
    text_signature(Signature, kMethod, out.data());
    for (std::size_t i = 0; i < N; ++i) out[kHead + i] = body[i];
    return out;
}

// Fills `slots` (positional parameters first, then keyword-only ones; empty
// slots null, at least one slot per parameter) with objects borrowed from the
// caller's argument array, or throws at the first problem.
void extract_arguments(const FunctionSignature& signature, PyObject* const* args,
                       Py_ssize_t nargs, PyObject* kwnames, std::span<PyObject*> slots);

// `error` with the note "while processing '<parameter>'".
PyError annotate_argument_error(std::string_view parameter, PyError error);
// `error` with the note "while processing <what> <index>", for one item of
// an argument ("column item 3").
PyError annotate_item_error(const char* what, std::size_t index, PyError error);
// Throws annotate_argument_error(parameter, error).
[[noreturn]] void argument_error(std::string_view parameter, PyError error);

// The value of an int, or of an object's __index__, from 0 to 2**64 - 1;
// false with the interpreter's exception set.
bool index_value(PyObject* object, std::uint64_t& value);

// The UTF-8 of a str (the str's own cached form).
std::string_view str_argument(PyObject* object, std::string_view parameter);
// Inline, so that a call with a good count (subdomain's depth) carries no
// parameter name along.
inline std::uint64_t index_argument(PyObject* object, std::string_view parameter) {
    std::uint64_t value = 0;
    if (!index_value(object, value)) [[unlikely]] argument_error(parameter, take_pending_exception());
    return value;
}
bool bool_argument(PyObject* object, std::string_view parameter);

// The lookup functions' own: the domain, depth and a keyword-only switch,
// whose empty slot (null) gives its default.
inline std::string_view extract_domain(PyObject* object) { return str_argument(object, "domain"); }
inline std::uint64_t extract_depth(PyObject* object) { return index_argument(object, "depth"); }
constexpr bool extract_flag(PyObject* object, std::string_view parameter, bool default_value) {
    return object == nullptr ? default_value : bool_argument(object, parameter);
}

// Each switch of `parameters`, in order, into *values[i]: converted from
// slots[i], or its default when that slot is empty or `slots` null (so the
// defaults alone are a constant expression).
constexpr void take_switches(std::span<const KeywordParameter> parameters, PyObject* const* slots,
                             bool* const* values) {
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        *values[i] = extract_flag(slots != nullptr ? slots[i] : nullptr, parameters[i].name,
                                  parameters[i].default_value);
    }
}

// Bytes only: being immutable, they cannot change while the interpreter
// lock is given up.
std::string_view bytes_argument(PyObject* object, std::string_view parameter);
// The pointer held by a PyCapsule named `capsule_name`.
void* capsule_argument(PyObject* object, const char* capsule_name, std::string_view parameter);
// The UTF-8 of each str of the tuple `items`, borrowed from it; with
// `nulls`, None is an item too, a null one. Any other item is a TypeError
// ("column item 3 is bytes, not str or None": `what` and its place, counted
// from `first`), and a str without UTF-8 the interpreter's error with the
// note "while processing column item 3".
void str_items(PyObject* items, const char* what, std::size_t first,
               std::vector<std::string_view>& texts, std::vector<std::uint8_t>* nulls = nullptr);

// A number of threads: None (or an empty slot) for the default, else an int
// or an object with __index__, not a bool, from 1 on; a larger count than
// kMaxThreads is taken as kMaxThreads.
std::optional<unsigned> threads_argument(PyObject* object, std::string_view parameter);

}  // namespace vexlo::python
