// Python objects for plain answers. A failure to create one of the *_result
// objects is a fault: the pending exception goes to the unraisable hook.
#pragma once

#include <Python.h>

#include <cstdint>
#include <cstring>
#include <string_view>

#include "python/py_error.h"
#include "python/scopes.h"

namespace vexlo::python {

inline PyObject* bool_result(bool value) { return Py_NewRef(value ? Py_True : Py_False); }
inline PyObject* none_result() { return Py_NewRef(Py_None); }

namespace results_detail {

// Copies the n bytes of a short text in a few word moves (names are short;
// the library call costs more than the copy).
inline void copy_text(char* to, const char* from, std::size_t n) {
    if (n < 8) {
        if (n < 4) {
            for (std::size_t i = 0; i < n; ++i) to[i] = from[i];
            return;
        }
        std::uint32_t head4, tail4;
        std::memcpy(&head4, from, 4);
        std::memcpy(&tail4, from + n - 4, 4);
        std::memcpy(to, &head4, 4);
        std::memcpy(to + n - 4, &tail4, 4);
        return;
    }
    if (n > 32) {
        std::memcpy(to, from, n);
        return;
    }
    std::uint64_t head, tail;
    std::memcpy(&head, from, 8);
    std::memcpy(&tail, from + n - 8, 8);
    if (n > 16) {
        std::uint64_t second, third;
        std::memcpy(&second, from + 8, 8);
        std::memcpy(&third, from + n - 16, 8);
        std::memcpy(to + 8, &second, 8);
        std::memcpy(to + n - 16, &third, 8);
    }
    std::memcpy(to, &head, 8);
    std::memcpy(to + n - 8, &tail, 8);
}

}  // namespace results_detail

// A new str holding `text`, or null with the interpreter's exception set.
// `ascii`: the text is known to be ASCII (cut from an ASCII domain); then a
// text of two or more characters is copied into a str made for it, and the
// empty text and a single character are the interpreter's shared strs, all
// without the UTF-8 decoder. Anything else goes through
// PyUnicode_FromStringAndSize. Inline: it is called once per item of a tuple.
inline PyObject* new_str(std::string_view text, bool ascii) {
    if (ascii) {
        if (text.size() > 1) {
            PyObject* str = PyUnicode_New(static_cast<Py_ssize_t>(text.size()), 127);
            if (str != nullptr) {
                results_detail::copy_text(static_cast<char*>(PyUnicode_DATA(str)), text.data(),
                                          text.size());
            }
            return str;
        }
        // PyUnicode_New(0, ...) is the shared empty str.
        if (text.empty()) return PyUnicode_New(0, 0);
        return PyUnicode_FromOrdinal(static_cast<unsigned char>(text[0]));
    }
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
}

// new_str's str; a failure to make it is a fault.
inline PyObject* str_result(std::string_view text, bool ascii) {
    return created(new_str(text, ascii));
}

// A tuple of `count` items, item i made by make(i) as a new reference, in
// order; the first that cannot be made (null) ends it with its exception
// pending, and null is returned. A make(i) that throws leaves nothing behind.
template <typename Make>
PyObject* make_tuple(std::size_t count, Make&& make) {
    Owned tuple(PyTuple_New(static_cast<Py_ssize_t>(count)));
    if (tuple.get() == nullptr) return nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        PyObject* item = make(i);
        if (item == nullptr) {
            // Released with the item's exception set aside, so the pending
            // exception stays the item's own; the slots not yet filled are
            // null, which the tuple allows.
            PyObject* pending = PyErr_GetRaisedException();
            tuple = Owned();
            PyErr_SetRaisedException(pending);
            return nullptr;
        }
        PyTuple_SET_ITEM(tuple.get(), static_cast<Py_ssize_t>(i), item);
    }
    return tuple.release();
}

}  // namespace vexlo::python
