#include "python/questions/call_arguments.h"

#include <array>

namespace vexlo::python {

CallArguments call_arguments(const FunctionSignature& signature, PyObject* const* args,
                             Py_ssize_t nargs, PyObject* kwnames) {
    const std::size_t positional_count = signature.positional.size();
    CallArguments call;
    // Every function declares its switches in this order; is_public and
    // is_private stop before keep_case.
    bool* const switches[] = {&call.accept_unknown, &call.icann_only, &call.keep_case};

    // The common call: every positional argument given by position, no
    // keyword, and a domain that is an exact str of ASCII characters. Placing
    // cannot fail then, the str's characters are its UTF-8 bytes, and every
    // switch takes its default; only depth still needs converting.
    if (kwnames == nullptr && static_cast<std::size_t>(nargs) == positional_count &&
        PyUnicode_CheckExact(args[0]) && PyUnicode_IS_COMPACT_ASCII(args[0])) {
        call.domain = {static_cast<const char*>(PyUnicode_DATA(args[0])),
                       static_cast<std::size_t>(PyUnicode_GET_LENGTH(args[0]))};
        call.domain_is_ascii = true;
        if (positional_count == 2) call.depth = extract_depth(args[1]);
        for (std::size_t i = 0; i < signature.keyword_only.size(); ++i) {
            *switches[i] = signature.keyword_only[i].default_value;
        }
        return call;
    }

    // domain, depth and the three switches at most.
    std::array<PyObject*, 5> slots{};
    extract_arguments(signature, args, nargs, kwnames, slots);
    call.domain = extract_domain(slots[0]);
    call.domain_is_ascii = PyUnicode_IS_ASCII(slots[0]);
    if (positional_count == 2) call.depth = extract_depth(slots[1]);
    for (std::size_t i = 0; i < signature.keyword_only.size(); ++i) {
        const KeywordParameter& parameter = signature.keyword_only[i];
        *switches[i] = extract_flag(slots[positional_count + i], parameter.name,
                                    parameter.default_value);
    }
    return call;
}

}  // namespace vexlo::python
