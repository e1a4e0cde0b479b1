#include "python/arguments.h"

#include <new>
#include <string>

#include "common/thread_count.h"
#include "python/process_once.h"
#include "python/scopes.h"

namespace vexlo::python {
namespace {

constexpr std::size_t kNoSlot = static_cast<std::size_t>(-1);
constexpr char kAddNote[] = "add_note";

[[noreturn]] void placement_error(const FunctionSignature& signature, std::string problem) {
    throw type_error(std::string(signature.function_name) + "() " + problem);
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
        list += '\'';
        list += signature.positional[i];
        list += '\'';
        ++listed;
    }
    return list;
}

// The slot of the keyword `name` and its parameter's name, or kNoSlot.
std::size_t keyword_slot(const FunctionSignature& signature, PyObject* name,
                         std::string_view& matched) {
    Py_ssize_t size = 0;
    const char* text = PyUnicode_AsUTF8AndSize(name, &size);
    if (text == nullptr) {
        PyErr_Clear();
        return kNoSlot;
    }
    const std::string_view given(text, static_cast<std::size_t>(size));
    const std::size_t positional_count = signature.positional.size();
    for (std::size_t i = 0; i < signature.keyword_only.size(); ++i) {
        if (given == signature.keyword_only[i].name) {
            matched = signature.keyword_only[i].name;
            return positional_count + i;
        }
    }
    for (std::size_t i = 0; i < positional_count; ++i) {
        if (given == signature.positional[i]) {
            matched = signature.positional[i];
            return i;
        }
    }
    return kNoSlot;
}

// Whether `type` is NumPy's boolean scalar type; a failure to look at it
// means it is not.
bool is_numpy_bool_type(PyTypeObject* type) {
    const Owned module(PyType_GetModuleName(type));
    bool is_bool = false;
    if (module.get() != nullptr && PyUnicode_Check(module.get()) &&
        PyUnicode_EqualToUTF8AndSize(module.get(), "numpy", 5)) {
        const Owned name(PyType_GetName(type));
        is_bool = name.get() != nullptr && (PyUnicode_EqualToUTF8AndSize(name.get(), "bool_", 5) ||
                                            PyUnicode_EqualToUTF8AndSize(name.get(), "bool", 4));
    }
    PyErr_Clear();
    return is_bool;
}

// Calls the exception's add_note with `note`, a new reference (null faults).
// A failing add_note is ignored: the error stays as it is.
PyError add_note(PyObject* note, PyError error) {
    const Owned owned(created(note));
    PyObject* add_note_name = created(interned<kAddNote>());
    if (PyObject* exception = error.exception_object()) {
        PyObject* call[] = {exception, note};
        if (PyObject* result = PyObject_VectorcallMethod(add_note_name, call, 2, nullptr)) {
            Py_DECREF(result);
        } else {
            PyErr_Clear();
        }
    }
    return error;
}

}  // namespace

void extract_arguments(const FunctionSignature& signature, PyObject* const* args,
                       Py_ssize_t nargs, PyObject* kwnames, std::span<PyObject*> slots) {
    const std::size_t positional_count = signature.positional.size();
    const std::size_t given = static_cast<std::size_t>(nargs);
    if (given > positional_count) {
        placement_error(signature, "takes " + std::to_string(positional_count) +
                                       " positional arguments but " + std::to_string(given) +
                                       " were given");
    }
    for (std::size_t i = 0; i < given; ++i) slots[i] = args[i];

    const Py_ssize_t keyword_count = kwnames == nullptr ? 0 : PyTuple_GET_SIZE(kwnames);
    for (Py_ssize_t k = 0; k < keyword_count; ++k) {
        PyObject* name = PyTuple_GET_ITEM(kwnames, k);
        std::string_view matched;
        const std::size_t slot = keyword_slot(signature, name, matched);
        if (slot == kNoSlot) {
            placement_error(signature, "got an unexpected keyword argument '" +
                                           display_text(name, "<unprintable>") + "'");
        }
        if (slot < signature.positional_only) {
            placement_error(signature,
                            "got some positional-only arguments passed as keyword arguments: '" +
                                std::string(matched) + "'");
        }
        if (slots[slot] != nullptr) {
            placement_error(signature,
                            "got multiple values for argument '" + std::string(matched) + "'");
        }
        slots[slot] = args[nargs + k];
    }

    if (given < signature.required_positional) {
        std::size_t missing = 0;
        for (std::size_t i = 0; i < signature.required_positional; ++i) missing += slots[i] == nullptr;
        if (missing > 0) {
            placement_error(signature, "missing " + std::to_string(missing) +
                                           " required positional " +
                                           (missing == 1 ? "argument" : "arguments") + ": " +
                                           missing_list(signature, slots,
                                                        signature.required_positional, missing));
        }
    }
}

PyError annotate_argument_error(std::string_view parameter, PyError error) {
    return add_note(PyUnicode_FromFormat("while processing '%.*s'",
                                         static_cast<int>(parameter.size()), parameter.data()),
                    std::move(error));
}

PyError annotate_item_error(const char* what, std::size_t index, PyError error) {
    return add_note(PyUnicode_FromFormat("while processing %s %zu", what, index), std::move(error));
}

void argument_error(std::string_view parameter, PyError error) {
    throw annotate_argument_error(parameter, std::move(error));
}

bool index_value(PyObject* object, std::uint64_t& value) {
    unsigned long long number;
    if (PyLong_Check(object)) {
        number = PyLong_AsUnsignedLongLong(object);
    } else {
        PyObject* index = PyNumber_Index(object);
        if (index == nullptr) return false;
        number = PyLong_AsUnsignedLongLong(index);
        Py_DECREF(index);
    }
    if (number == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return false;
    value = number;
    return true;
}

std::string_view str_argument(PyObject* object, std::string_view parameter) {
    if (!PyUnicode_Check(object)) argument_error(parameter, not_an_instance(object, "str"));
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(object, &size);
    if (utf8 == nullptr) argument_error(parameter, take_pending_exception());
    return {utf8, static_cast<std::size_t>(size)};
}

bool bool_argument(PyObject* object, std::string_view parameter) {
    if (Py_IS_TYPE(object, &PyBool_Type)) return object == Py_True;
    PyTypeObject* type = Py_TYPE(object);
    if (!is_numpy_bool_type(type)) argument_error(parameter, not_an_instance(object, "bool"));
    if (type->tp_as_number == nullptr || type->tp_as_number->nb_bool == nullptr) {
        argument_error(parameter,
                       type_error("object of type '" +
                                  display_text(reinterpret_cast<PyObject*>(type), "<unknown>") +
                                  "' does not define a '__bool__' conversion"));
    }
    const int truth = type->tp_as_number->nb_bool(object);
    if (truth != 0 && truth != 1) argument_error(parameter, take_pending_exception());
    return truth == 1;
}

std::string_view bytes_argument(PyObject* object, std::string_view parameter) {
    if (!PyBytes_Check(object)) argument_error(parameter, not_an_instance(object, "bytes"));
    return {PyBytes_AS_STRING(object), static_cast<std::size_t>(PyBytes_GET_SIZE(object))};
}

void* capsule_argument(PyObject* object, const char* capsule_name, std::string_view parameter) {
    if (!PyCapsule_IsValid(object, capsule_name)) {
        std::string message = "'";
        message += qualified_type_name(Py_TYPE(object));
        message += "' object is not a PyCapsule named '";
        message += capsule_name;
        message += "'";
        argument_error(parameter, type_error(std::move(message)));
    }
    return PyCapsule_GetPointer(object, capsule_name);
}

void str_items(PyObject* items, const char* what, std::size_t first,
               std::vector<std::string_view>& texts, std::vector<std::uint8_t>* nulls) {
    const auto count = static_cast<std::size_t>(PyTuple_GET_SIZE(items));
    try {
        texts.resize(count);
        if (nulls != nullptr) nulls->resize(count);
    } catch (const std::bad_alloc&) {
        throw PyError::with_message(PyExc_MemoryError, std::string("out of memory for the ") + what +
                                                           "s");
    }
    for (std::size_t i = 0; i < count; ++i) {
        PyObject* item = PyTuple_GET_ITEM(items, static_cast<Py_ssize_t>(i));
        if (nulls != nullptr && item == Py_None) {
            (*nulls)[i] = 1;
            continue;
        }
        if (!PyUnicode_Check(item)) {
            throw type_error(std::string(what) + " " + std::to_string(first + i) + " is " +
                             qualified_type_name(Py_TYPE(item)) +
                             (nulls != nullptr ? ", not str or None" : ", not str"));
        }
        Py_ssize_t size = 0;
        const char* utf8 = PyUnicode_AsUTF8AndSize(item, &size);
        // A lone surrogate: the scalar functions refuse it too.
        if (utf8 == nullptr) throw annotate_item_error(what, first + i, take_pending_exception());
        texts[i] = {utf8, static_cast<std::size_t>(size)};
    }
}

std::optional<unsigned> threads_argument(PyObject* object, std::string_view parameter) {
    if (object == nullptr || object == Py_None) return std::nullopt;
    // A bool is an int to Python, but threads=True is a mistake, not one thread.
    if (PyBool_Check(object)) {
        argument_error(parameter,
                       type_error("'bool' object cannot be interpreted as a number of threads"));
    }
    const Owned index(PyNumber_Index(object));
    if (index.get() == nullptr) argument_error(parameter, take_pending_exception());
    int overflow = 0;
    const long long count = PyLong_AsLongLongAndOverflow(index.get(), &overflow);
    if (count == -1 && overflow == 0 && PyErr_Occurred()) {
        argument_error(parameter, take_pending_exception());
    }
    if (overflow < 0 || (overflow == 0 && count < 1)) {
        argument_error(parameter, value_error("must be at least 1, not " +
                                              display_text(index.get(), "<unprintable>")));
    }
    return overflow > 0 ? kMaxThreads : capped_threads(static_cast<std::uint64_t>(count));
}

}  // namespace vexlo::python
