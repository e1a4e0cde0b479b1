// The tuple that privateparts answers: the subdomain labels, then the
// private suffix. A failure to create it is a fault, as for every result.
#pragma once

#include <Python.h>

#include <optional>

#include "query/answers.h"

namespace vexlo::python {

// None when there are no parts. `ascii`: the texts are known to be ASCII.
PyObject* privateparts_result(const std::optional<PrivateParts>& parts, bool ascii);

}  // namespace vexlo::python
