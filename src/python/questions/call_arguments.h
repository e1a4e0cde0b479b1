// The arguments of one call of a lookup function as plain values, converted
// in parameter order: domain, depth (subdomain only), then the switches.
#pragma once

#include <Python.h>

#include <cstdint>
#include <string_view>

#include "python/arguments.h"

namespace vexlo::python {

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

// The whole extraction: placement, domain, depth (when the function has it),
// then the switches in declaration order. Throws at the first problem.
CallArguments call_arguments(const FunctionSignature& signature, PyObject* const* args,
                             Py_ssize_t nargs, PyObject* kwnames);

}  // namespace vexlo::python
