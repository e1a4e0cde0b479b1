#include <string>

#include "python/function_signature.h"
#include "python/type_errors.h"

namespace vexlo::python {
namespace {

constexpr std::size_t kNoSlot = static_cast<std::size_t>(-1);

std::string function_label(const FunctionSignature& signature) {
    return std::string(signature.function_name) + "()";
}

bool equals(const char* text, Py_ssize_t size, std::string_view name) {
    return static_cast<std::size_t>(size) == name.size() &&
           std::char_traits<char>::compare(text, name.data(), name.size()) == 0;
}

// "'a'", "'a' and 'b'", "'a', 'b', and 'c'" for the empty slots among the
// first `count` positional ones.
std::string missing_list(const FunctionSignature& signature, std::span<PyObject* const> slots,
                         std::size_t count, std::size_t missing) {
    std::string list;
    std::size_t listed = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (slots[i] != nullptr) continue;
        if (listed > 0) list += listed + 1 == missing ? (missing > 2 ? ", and " : " and ") : ", ";
        list += "'";
        list += signature.positional[i];
        list += "'";
        ++listed;
    }
    return list;
}

}  // namespace

bool extract_arguments(const FunctionSignature& signature, PyObject* const* args, Py_ssize_t nargs,
                       PyObject* kwnames, std::span<PyObject*> slots, PyError& error) {
    const std::size_t positional_count = signature.positional.size();
    const std::size_t given = static_cast<std::size_t>(nargs);
    if (given > positional_count) {
        error = type_error(function_label(signature) + " takes " + std::to_string(positional_count) +
                           " positional arguments but " + std::to_string(given) +
                           " were given");
        return false;
    }
    for (std::size_t i = 0; i < given; ++i) slots[i] = args[i];

    if (kwnames != nullptr) {
        const Py_ssize_t keyword_count = PyTuple_GET_SIZE(kwnames);
        for (Py_ssize_t k = 0; k < keyword_count; ++k) {
            PyObject* name = PyTuple_GET_ITEM(kwnames, k);
            Py_ssize_t size = 0;
            const char* text = PyUnicode_AsUTF8AndSize(name, &size);
            std::size_t slot = kNoSlot;
            std::string_view matched;
            if (text == nullptr) {
                PyErr_Clear();
            } else {
                for (std::size_t i = 0; i < signature.keyword_only.size() && slot == kNoSlot; ++i) {
                    if (equals(text, size, signature.keyword_only[i].name)) {
                        slot = positional_count + i;
                        matched = signature.keyword_only[i].name;
                    }
                }
                for (std::size_t i = 0; i < positional_count && slot == kNoSlot; ++i) {
                    if (equals(text, size, signature.positional[i])) {
                        slot = i;
                        matched = signature.positional[i];
                    }
                }
            }
            if (slot == kNoSlot) {
                error = type_error(function_label(signature) + " got an unexpected keyword argument '" +
                                   display_text(name, "<unprintable>") + "'");
                return false;
            }
            if (slot < signature.positional_only) {
                error = type_error(function_label(signature) +
                                   " got some positional-only arguments passed as keyword "
                                   "arguments: '" +
                                   std::string(matched) + "'");
                return false;
            }
            if (slots[slot] != nullptr) {
                error = type_error(function_label(signature) + " got multiple values for argument '" +
                                   std::string(matched) + "'");
                return false;
            }
            slots[slot] = args[nargs + k];
        }
    }

    if (given < signature.required_positional) {
        std::size_t missing = 0;
        for (std::size_t i = 0; i < signature.required_positional; ++i) {
            if (slots[i] == nullptr) ++missing;
        }
        if (missing > 0) {
            error = type_error(function_label(signature) + " missing " + std::to_string(missing) +
                               " required positional " + (missing == 1 ? "argument" : "arguments") +
                               ": " +
                               missing_list(signature, slots, signature.required_positional, missing));
            return false;
        }
    }
    return true;
}

}  // namespace vexlo::python
