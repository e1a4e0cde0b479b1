#include "python/columns/sibling_services.h"

#include <atomic>

#include "python/process_services.h"
#include "rules/compiled_shape.h"

namespace vexlo::python {
namespace {

std::atomic<const ProcessServices*> connected{nullptr};

// What a call finds before the exec step has connected the module; no
// function of the module exists then, so nothing should ever ask.
PyObject* not_connected() noexcept {
    PyErr_SetString(PyExc_ImportError, "vexlo._columns is not connected to vexlo._lookup");
    return nullptr;
}
PyObject* no_panic_exception_type() noexcept { return not_connected(); }
PyObject* no_interned(InternedName) noexcept { return not_connected(); }

constexpr ProcessServices kNotConnected = {kBuildStamp, no_panic_exception_type, no_interned,
                                           nullptr, nullptr};

// "vexlo._lookup" for a module named "vexlo._columns"; "_lookup" for one
// imported on its own as "_columns".
PyObject* sibling_name(PyObject* own_name) noexcept {
    const Py_ssize_t length = PyUnicode_GetLength(own_name);
    if (length < 0) return nullptr;
    const Py_ssize_t dot = PyUnicode_FindChar(own_name, '.', 0, length, -1);
    if (dot == -2) return nullptr;
    PyObject* package = PyUnicode_Substring(own_name, 0, dot + 1);
    if (package == nullptr) return nullptr;
    PyObject* name = PyUnicode_FromFormat("%U%s", package, kLookupModuleName);
    Py_DECREF(package);
    return name;
}

// The services of the sibling called `name`, or null with an exception set.
const ProcessServices* import_services(PyObject* name, PyObject* own_name) noexcept {
    PyObject* sibling = PyImport_Import(name);
    if (sibling == nullptr) return nullptr;
    const PyModuleDef* definition = PyModule_Check(sibling) ? PyModule_GetDef(sibling) : nullptr;
    Py_DECREF(sibling);  // the shared object stays loaded for the life of the process
    const ProcessServices* services =
        definition != nullptr ? lookup_services(*definition) : nullptr;
    // The methods of the compiled rules search the root unrolled for the
    // edge count this module was built with.
    if (services != nullptr &&
        services->compiled_tables->nodes[0].edge_count != kCompiledRootEdgeCount) {
        services = nullptr;
    }
    if (services == nullptr) {
        PyErr_Format(PyExc_ImportError, "%U is not the module built together with %U", name,
                     own_name);
    }
    return services;
}

}  // namespace

const ProcessServices& process_services() noexcept {
    const ProcessServices* services = connected.load(std::memory_order_acquire);
    return services != nullptr ? *services : kNotConnected;
}

bool connect_to_lookup(PyObject* module) noexcept {
    PyObject* own_name = PyModule_GetNameObject(module);
    if (own_name == nullptr) return false;
    const ProcessServices* services = nullptr;
    if (PyObject* name = sibling_name(own_name)) {
        services = import_services(name, own_name);
        Py_DECREF(name);
    }
    Py_DECREF(own_name);
    if (services == nullptr) return false;
    connected.store(services, std::memory_order_release);
    return true;
}

}  // namespace vexlo::python
