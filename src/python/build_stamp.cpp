// VEXLO_VERSION and VEXLO_BUILD_ID come from src/python/CMakeLists.txt, which
// makes the build id when the build folder is first configured; only this
// file is compiled with them.
#include "python/process_services.h"

namespace vexlo::python {

extern const char kBuildStamp[] = "vexlo " VEXLO_VERSION " build " VEXLO_BUILD_ID;

}  // namespace vexlo::python
