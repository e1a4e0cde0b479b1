#include "python/results.h"

namespace vexlo::python {

PyObject* str_result(std::string_view text, bool ascii) { return created(new_str(text, ascii)); }

}  // namespace vexlo::python
