// vexlo.Extracted: the record that extract answers with, a struct sequence
// (an immutable tuple with named fields, as os.stat_result), so that it
// unpacks, compares, hashes and pickles as a tuple does and costs what one
// costs to make. One type for the process, made on first use.
#pragma once

#include <Python.h>

#include <cstddef>
#include <optional>
#include <string_view>

namespace vexlo::python {

// The type; null with the interpreter's exception set when it cannot be made.
PyTypeObject* extracted_type() noexcept;

// A new record of the nine field texts (none: None). `ascii[i]`: field i is
// known to be ASCII. Texts that are the same view (the same bytes at the same
// place) share one str. A failure to make an object is a fault.
PyObject* extracted_record(const std::optional<std::string_view> (&fields)[9], const bool (&ascii)[9]);

}  // namespace vexlo::python
