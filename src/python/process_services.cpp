#include "python/process_services.h"

#include <cstring>

namespace vexlo::python {

const ProcessServices* lookup_services(const PyModuleDef& definition) noexcept {
    if (definition.m_name == nullptr || std::strcmp(definition.m_name, kLookupModuleName) != 0) {
        return nullptr;
    }
    // Only the address is computed here: a definition of another layout is
    // never read past its end.
    const char* const doc_behind =
        reinterpret_cast<const char*>(&definition) + offsetof(LookupModuleDef, doc);
    if (definition.m_doc != doc_behind) return nullptr;
    const auto& ours = reinterpret_cast<const LookupModuleDef&>(definition);
    if (ours.services == nullptr || std::strcmp(ours.services->build_stamp, kBuildStamp) != 0) {
        return nullptr;
    }
    return ours.services;
}

}  // namespace vexlo::python
