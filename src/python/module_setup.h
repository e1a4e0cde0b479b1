// What an exec step puts on its module: each attribute is set and its name
// appended to the module's __all__ (made by the first addition), in order.
#pragma once

#include <Python.h>

#include <array>
#include <cstddef>
#include <span>
#include <string_view>
#include <utility>

#include "python/arguments.h"
#include "python/scopes.h"

namespace vexlo::python {

// How every function of both modules is called: vectorcall, with keywords
// (placed and checked by extract_arguments).
inline constexpr int kCallFlags = METH_FASTCALL | METH_KEYWORDS;

// The C function behind a table record of any calling convention.
template <typename Entry>
PyCFunction as_cfunction(Entry entry) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(entry));
}

// A function of a module, declared once: its parameters, its entry, and what
// its docstring says after the text signature made from the parameters.
struct FunctionDeclaration {
    const FunctionSignature& signature;
    PyObject* (*entry)(PyObject*, PyObject* const*, Py_ssize_t, PyObject*);
    std::string_view text;
};

template <const auto& kDeclarations, std::size_t I, bool kMethod>
inline constexpr auto kDeclaredDocstring =
    docstring<kDeclarations[I].signature, kMethod, kDeclarations[I].text.size()>(
        kDeclarations[I].text);

// The method records of the declarations, in order, with the docstrings of
// functions or (kMethod) of methods; then the `more`.
template <const auto& kDeclarations, bool kMethod = false, typename... More>
auto method_records(More... more) {
    return [&]<std::size_t... I>(std::index_sequence<I...>) {
        return std::array<PyMethodDef, sizeof...(I) + sizeof...(More)>{
            PyMethodDef{kDeclarations[I].signature.function_name.data(),
                        as_cfunction(kDeclarations[I].entry), kCallFlags,
                        kDeclaredDocstring<kDeclarations, I, kMethod>.data()}...,
            more...};
    }(std::make_index_sequence<std::size(kDeclarations)>());
}

// A new function object of `record`, bound to `module` and named after it in
// __module__.
PyObject* module_function(PyObject* module, PyMethodDef& record);

// Makes a function object of each record, as module_function does, and adds
// it.
void add_functions(PyObject* module, std::span<PyMethodDef> records);

// Adds `value` as the attribute `name`.
void add_owned(PyObject* module, Owned name, Owned value);

}  // namespace vexlo::python
