#include "module/process_once.h"

#include "module/py_error.h"

namespace vexlo::module {
namespace {

PyObject* intern(const char* text) {
    PyObject* name = created(PyUnicode_FromString(text));
    PyUnicode_InternInPlace(&name);
    return name;
}

ProcessOnce all_once;
ProcessOnce name_once;
ProcessOnce add_note_once;

}  // namespace

PyObject* interned_all() {
    return all_once.get([] { return intern("__all__"); });
}

PyObject* interned_name() {
    return name_once.get([] { return intern("__name__"); });
}

PyObject* interned_add_note() {
    return add_note_once.get([] { return intern("add_note"); });
}

}  // namespace vexlo::module
