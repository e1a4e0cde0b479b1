#include "python/columns/arrow_capsules.h"

#include <new>
#include <string>

#include "python/arguments.h"

namespace vexlo::python {
namespace {

template <class Struct>
void release_held(PyObject* capsule, const char* name) noexcept {
    auto* held = static_cast<Struct*>(PyCapsule_GetPointer(capsule, name));
    if (held == nullptr) {
        PyErr_Clear();
        return;
    }
    if (held->release != nullptr) held->release(held);
    delete held;
}

template <class Struct, const char* const& Name>
PyObject* capsule_of(ArrowOwner<Struct>& owner) {
    auto* held = new (std::nothrow) Struct;
    if (held == nullptr) return PyErr_NoMemory();
    held->release = nullptr;
    PyObject* capsule = PyCapsule_New(held, Name, [](PyObject* it) { release_held<Struct>(it, Name); });
    if (capsule == nullptr) {
        delete held;
        return nullptr;
    }
    owner.move_to(held);
    return capsule;
}

}  // namespace

template <class Struct>
void take_struct(PyObject* capsule, const char* name, ArrowOwner<Struct>& owner,
                 std::string_view parameter, const char* what) {
    auto* held = static_cast<Struct*>(capsule_argument(capsule, name, parameter));
    bool taken = false;
    Py_BEGIN_CRITICAL_SECTION(capsule);
    if (held->release != nullptr) {
        owner = ArrowOwner<Struct>(held);
        taken = true;
    }
    Py_END_CRITICAL_SECTION();
    if (!taken) {
        argument_error(parameter,
                       value_error(std::string("the ") + what + " was already released or taken"));
    }
}

template void take_struct(PyObject*, const char*, OwnedSchema&, std::string_view, const char*);
template void take_struct(PyObject*, const char*, OwnedArray&, std::string_view, const char*);
template void take_struct(PyObject*, const char*, OwnedStream&, std::string_view, const char*);

PyObject* new_capsule(OwnedSchema& owner) { return capsule_of<ArrowSchema, kSchemaCapsule>(owner); }
PyObject* new_capsule(OwnedArray& owner) { return capsule_of<ArrowArray, kArrayCapsule>(owner); }
PyObject* new_capsule(OwnedStream& owner) {
    return capsule_of<ArrowArrayStream, kStreamCapsule>(owner);
}

std::vector<std::int64_t> sizes_argument(PyObject* object, std::string_view parameter) {
    std::vector<std::int64_t> sizes;
    if (object == Py_None) return sizes;
    if (!PyTuple_Check(object)) argument_error(parameter, not_an_instance(object, "tuple"));
    for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(object); ++i) {
        PyObject* item = PyTuple_GET_ITEM(object, i);
        const long long size = item == Py_None ? -1 : PyLong_Check(item) ? PyLong_AsLongLong(item) : -2;
        if (item != Py_None && (size < 0 || PyErr_Occurred())) {
            PyErr_Clear();
            argument_error(parameter, type_error("buffer size " + std::to_string(i) +
                                                 " must be a non-negative int or None"));
        }
        sizes.push_back(size);
    }
    return sizes;
}

}  // namespace vexlo::python
