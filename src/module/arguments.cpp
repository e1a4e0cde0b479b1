#include "module/arguments.h"

#include <string>

#include "module/process_once.h"

namespace vexlo::module {
namespace {

std::string function_label(const ArgumentSpec& signature) {
    return std::string(signature.function_name) + "()";
}

PyError type_error(std::string message) {
    return PyError::with_message(PyExc_TypeError, std::move(message));
}

// UTF-8 of str(object), with anything unencodable escaped; for messages only.
std::string display_text(PyObject* object, std::string_view fallback) {
    std::string text(fallback);
    PyObject* str = PyObject_Str(object);
    if (str == nullptr) {
        PyErr_Clear();
        return text;
    }
    if (PyObject* bytes = PyUnicode_AsEncodedString(str, "utf-8", "backslashreplace")) {
        text.assign(PyBytes_AS_STRING(bytes), static_cast<std::size_t>(PyBytes_GET_SIZE(bytes)));
        Py_DECREF(bytes);
    } else {
        PyErr_Clear();
    }
    Py_DECREF(str);
    return text;
}

std::string qualified_type_name(PyTypeObject* type) {
    return utf8_or(PyType_GetQualName(type), "<failed to extract type name>");
}

// The TypeError for an object of the wrong type.
PyError not_an_instance(PyObject* object, std::string_view target) {
    std::string message = "'";
    if (object == Py_None) {
        message += "None'";
    } else {
        message += qualified_type_name(Py_TYPE(object));
        message += "' object";
    }
    message += " is not an instance of '";
    message += target;
    message += "'";
    return type_error(std::move(message));
}

bool equals(const char* text, Py_ssize_t size, std::string_view name) {
    return static_cast<std::size_t>(size) == name.size() &&
           std::char_traits<char>::compare(text, name.data(), name.size()) == 0;
}

// "'a'", "'a' and 'b'", "'a', 'b' and 'c'"
std::string quoted_list(std::span<const std::string_view> names) {
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) list += i + 1 == names.size() ? (names.size() > 2 ? ", and " : " and ") : ", ";
        list += "'";
        list += names[i];
        list += "'";
    }
    return list;
}

bool is_numpy_bool_type(PyTypeObject* type) {
    PyObject* module = PyType_GetModuleName(type);
    if (module == nullptr) {
        PyErr_Clear();
        return false;
    }
    const bool in_numpy =
        PyUnicode_Check(module) && PyUnicode_EqualToUTF8AndSize(module, "numpy", 5);
    Py_DECREF(module);
    if (!in_numpy) return false;
    PyObject* name = PyType_GetName(type);
    if (name == nullptr) {
        PyErr_Clear();
        return false;
    }
    const bool is_bool = PyUnicode_EqualToUTF8AndSize(name, "bool_", 5) ||
                         PyUnicode_EqualToUTF8AndSize(name, "bool", 4);
    Py_DECREF(name);
    return is_bool;
}

}  // namespace

bool extract_arguments(const ArgumentSpec& signature, PyObject* const* args, Py_ssize_t nargs,
                       PyObject* kwnames, ArgumentSlots& slots, PyError& error) {
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
            std::size_t slot = kMaxParameters;
            std::string_view matched;
            if (text == nullptr) {
                PyErr_Clear();
            } else {
                for (std::size_t i = 0; i < signature.keyword_only.size() && slot == kMaxParameters; ++i) {
                    if (equals(text, size, signature.keyword_only[i].name)) {
                        slot = positional_count + i;
                        matched = signature.keyword_only[i].name;
                    }
                }
                for (std::size_t i = 0; i < positional_count && slot == kMaxParameters; ++i) {
                    if (equals(text, size, signature.positional[i])) {
                        slot = i;
                        matched = signature.positional[i];
                    }
                }
            }
            if (slot == kMaxParameters) {
                error = type_error(function_label(signature) + " got an unexpected keyword argument '" +
                                   display_text(name, "<unprintable>") + "'");
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
        std::array<std::string_view, kMaxParameters> missing;
        std::size_t missing_count = 0;
        for (std::size_t i = 0; i < signature.required_positional; ++i) {
            if (slots[i] == nullptr) missing[missing_count++] = signature.positional[i];
        }
        if (missing_count > 0) {
            error = type_error(function_label(signature) + " missing " + std::to_string(missing_count) +
                               " required positional " +
                               (missing_count == 1 ? "argument" : "arguments") + ": " +
                               quoted_list({missing.data(), missing_count}));
            return false;
        }
    }
    return true;
}

bool extract_domain(PyObject* object, std::string_view& domain, PyError& error) {
    if (PyUnicode_Check(object)) {
        Py_ssize_t size = 0;
        if (const char* utf8 = PyUnicode_AsUTF8AndSize(object, &size)) {
            domain = {utf8, static_cast<std::size_t>(size)};
            return true;
        }
        error = annotate_argument_error("domain", take_pending_exception());
        return false;
    }
    error = annotate_argument_error("domain", not_an_instance(object, "str"));
    return false;
}

bool extract_depth(PyObject* object, std::uint64_t& depth, PyError& error) {
    unsigned long long value;
    if (PyLong_Check(object)) {
        value = PyLong_AsUnsignedLongLong(object);
    } else {
        PyObject* index = PyNumber_Index(object);
        if (index == nullptr) {
            error = annotate_argument_error("depth", take_pending_exception());
            return false;
        }
        value = PyLong_AsUnsignedLongLong(index);
        Py_DECREF(index);
    }
    if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
        error = annotate_argument_error("depth", take_pending_exception());
        return false;
    }
    depth = value;
    return true;
}

bool extract_flag(PyObject* object, std::string_view name, bool default_value, bool& value,
                  PyError& error) {
    if (object == nullptr) {
        value = default_value;
        return true;
    }
    if (Py_IS_TYPE(object, &PyBool_Type)) {
        value = object == Py_True;
        return true;
    }
    PyTypeObject* type = Py_TYPE(object);
    if (is_numpy_bool_type(type)) {
        if (type->tp_as_number != nullptr && type->tp_as_number->nb_bool != nullptr) {
            const int truth = type->tp_as_number->nb_bool(object);
            if (truth == 0 || truth == 1) {
                value = truth == 1;
                return true;
            }
            error = annotate_argument_error(name, take_pending_exception());
            return false;
        }
        error = annotate_argument_error(
            name, type_error("object of type '" +
                             display_text(reinterpret_cast<PyObject*>(type), "<unknown>") +
                             "' does not define a '__bool__' conversion"));
        return false;
    }
    error = annotate_argument_error(name, not_an_instance(object, "bool"));
    return false;
}

PyError annotate_argument_error(std::string_view parameter, PyError error) {
    PyObject* add_note = interned_add_note();
    PyObject* note = created(PyUnicode_FromFormat("while processing '%.*s'",
                                                  static_cast<int>(parameter.size()),
                                                  parameter.data()));
    if (PyObject* exception = error.exception_object()) {
        PyObject* call[] = {exception, note};
        if (PyObject* result = PyObject_VectorcallMethod(add_note, call, 2, nullptr)) {
            Py_DECREF(result);
        } else {
            PyErr_Clear();
        }
    }
    Py_DECREF(note);
    return error;
}

bool extract_call(const ArgumentSpec& signature, PyObject* const* args, Py_ssize_t nargs,
                  PyObject* kwnames, CallArguments& call, PyError& error) {
    const std::size_t positional_count = signature.positional.size();
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
        if (positional_count == 2 && !extract_depth(args[1], call.depth, error)) return false;
        for (std::size_t i = 0; i < signature.keyword_only.size(); ++i) {
            *switches[i] = signature.keyword_only[i].default_value;
        }
        return true;
    }

    ArgumentSlots slots{};
    if (!extract_arguments(signature, args, nargs, kwnames, slots, error)) return false;
    if (!extract_domain(slots[0], call.domain, error)) return false;
    call.domain_is_ascii = PyUnicode_IS_ASCII(slots[0]);
    if (positional_count == 2 && !extract_depth(slots[1], call.depth, error)) return false;
    for (std::size_t i = 0; i < signature.keyword_only.size(); ++i) {
        const KeywordParameter& parameter = signature.keyword_only[i];
        if (!extract_flag(slots[positional_count + i], parameter.name, parameter.default_value,
                          *switches[i], error)) {
            return false;
        }
    }
    return true;
}

}  // namespace vexlo::module
