// A tuple built item by item.
#pragma once

#include <Python.h>

#include <cstddef>

namespace vexlo::python {

// A tuple of `count` items, item i made by make(i) as a new reference, in
// order; the first that cannot be made (null) ends it with its exception
// pending, and null is returned.
template <typename Make>
PyObject* make_tuple(std::size_t count, Make&& make) {
    PyObject* tuple = PyTuple_New(static_cast<Py_ssize_t>(count));
    if (tuple == nullptr) return nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        PyObject* item = make(i);
        if (item == nullptr) {
            // Released with the item's exception set aside, so the pending
            // exception stays the item's own; the slots not yet filled are
            // null, which the tuple allows.
            PyObject* pending = PyErr_GetRaisedException();
            Py_DECREF(tuple);
            PyErr_SetRaisedException(pending);
            return nullptr;
        }
        PyTuple_SET_ITEM(tuple, static_cast<Py_ssize_t>(i), item);
    }
    return tuple;
}

}  // namespace vexlo::python
