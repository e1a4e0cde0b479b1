#include "python/lookup/process_caches.h"

#include <array>

#include "python/process_once.h"
#include "rules/compiled_tables.h"

namespace vexlo::python {
namespace {

constexpr const char* kPanicDoc =
    "\n"
    "The exception raised when vexlo's native code, called from Python, faults.\n"
    "\n"
    "Like SystemExit, this exception is derived from BaseException so that\n"
    "it will typically propagate all the way through the stack and cause the\n"
    "Python interpreter to exit.\n";

ProcessOnce panic_type_once;

PyObject* panic_exception_type() noexcept {
    return panic_type_once.get([] {
        return PyErr_NewExceptionWithDoc("pyo3_runtime.PanicException", kPanicDoc,
                                         PyExc_BaseException, nullptr);
    });
}

// In the order of InternedName.
constexpr std::array<const char*, 4> kInternedTexts = {"__all__", "__name__", "add_note",
                                                       "_answer"};
static_assert(static_cast<std::size_t>(InternedName::kAnswer) + 1 == kInternedTexts.size());
std::array<ProcessOnce, kInternedTexts.size()> interned_once;

PyObject* interned(InternedName name) noexcept {
    const auto index = static_cast<std::size_t>(name);
    return interned_once[index].get([index]() -> PyObject* {
        PyObject* text = PyUnicode_FromString(kInternedTexts[index]);
        if (text != nullptr) PyUnicode_InternInPlace(&text);
        return text;
    });
}

}  // namespace

const ProcessServices kProcessCaches = {
    kBuildStamp,
    panic_exception_type,
    interned,
    &compiled_rule_tables,
    &compiled_list,
};

}  // namespace vexlo::python
