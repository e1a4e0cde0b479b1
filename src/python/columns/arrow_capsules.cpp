#include "python/columns/arrow_capsules.h"

namespace vexlo::python {
namespace {

template <class Struct>
void release_capsule_struct(PyObject* capsule, const char* name) noexcept {
    auto* held = static_cast<Struct*>(PyCapsule_GetPointer(capsule, name));
    if (held == nullptr) {
        PyErr_Clear();
        return;
    }
    if (held->release != nullptr) held->release(held);
    delete held;
}

}  // namespace

void release_schema_capsule(PyObject* capsule) noexcept {
    release_capsule_struct<ArrowSchema>(capsule, kSchemaCapsule);
}

void release_array_capsule(PyObject* capsule) noexcept {
    release_capsule_struct<ArrowArray>(capsule, kArrayCapsule);
}

void release_stream_capsule(PyObject* capsule) noexcept {
    release_capsule_struct<ArrowArrayStream>(capsule, kStreamCapsule);
}

}  // namespace vexlo::python
