// VEXLO_VERSION comes from src/python/CMakeLists.txt; only this file is
// compiled with it. The services number grows whenever ProcessServices
// changes, so that modules of two vexlo builds that differ in it refuse each
// other.
#include "python/process_services.h"

namespace vexlo::python {

extern const char kBuildStamp[] = "vexlo " VEXLO_VERSION " services 3";

}  // namespace vexlo::python
