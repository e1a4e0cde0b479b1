// vexlo.host: the host name of one URL, e-mail address or host name, as the
// host finder (host/find_host.h) finds it. It lives in vexlo._columns beside
// the column path that asks the same finder, and is declared like the six
// functions of vexlo._lookup, so that its argument errors read the same.
#include <Python.h>

#include <array>
#include <string_view>

#include "host/find_host.h"
#include "python/arguments.h"
#include "python/boundary.h"
#include "python/columns/functions.h"
#include "python/question_parameters.h"
#include "python/results.h"

namespace vexlo::python {
namespace {

// The answer for `text`, the UTF-8 of the str `given`: None, `given` itself
// when the whole text is the host of an exact str, or a new str of the host.
// `ascii`: the text is ASCII, and so is the host.
PyObject* host_result(PyObject* given, std::string_view text, bool ascii, bool keep_ip) {
    const host::FoundHost found = host::find_host(text);
    if (!host::is_answer(found, keep_ip)) return none_result();
    if (found.needs_copy()) [[unlikely]] {
        // Copied through the interpreter's memory, whose failure is that of
        // making the result.
        char* const copy = static_cast<char*>(PyMem_Malloc(found.text().size()));
        if (copy == nullptr) {
            PyErr_NoMemory();
            object_creation_failed();
        }
        const std::size_t size = host::copy_host(found.text(), copy);
        PyObject* const result = new_str({copy, size}, ascii);
        PyMem_Free(copy);
        return created(result);
    }
    if (found.text().size() == text.size() && PyUnicode_CheckExact(given)) return Py_NewRef(given);
    return str_result(found.text(), ascii);
}

}  // namespace

// host(text, *, keep_ip=False)
PyObject* host_function(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    // The common call: one exact str of ASCII characters, no keyword. Nothing
    // can be wrong with it, and its characters are its UTF-8 bytes.
    if (nargs == 1 && kwnames == nullptr && PyUnicode_CheckExact(args[0]) &&
        PyUnicode_IS_COMPACT_ASCII(args[0])) {
        return call_frame([&]() -> PyObject* {
            const std::string_view text{static_cast<const char*>(PyUnicode_DATA(args[0])),
                                        static_cast<std::size_t>(PyUnicode_GET_LENGTH(args[0]))};
            return host_result(args[0], text, true, false);
        });
    }
    return call_frame([&] {
        std::array<PyObject*, 2> slots{};
        extract_arguments(kHost, args, nargs, kwnames, slots);
        const std::string_view text = str_argument(slots[0], kTextOnly[0]);
        const bool keep_ip =
            extract_flag(slots[1], kHostSwitches[0].name, kHostSwitches[0].default_value);
        return host_result(slots[0], text, PyUnicode_IS_ASCII(slots[0]), keep_ip);
    });
}

}  // namespace vexlo::python
