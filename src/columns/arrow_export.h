// Handing results to Arrow consumers through the C Data and C Stream
// interfaces. Every exported struct owns what it describes: its release
// callback frees all of it (an array's buffers and children, a stream's
// remaining chunks), and releasing a parent releases the children it still
// holds. On failure (std::bad_alloc) nothing is exported: the out structs are
// left untouched and the result is still the caller's.
#pragma once

#include <vector>

#include "columns/arrow_abi.h"
#include "columns/result_column.h"

namespace vexlo {

// Moves `result` into `out_array` and describes it in `out_schema` (nullable,
// named ""; a list's items are named "item", a struct's fields by their
// names; a dictionary not ordered).
void export_result(ResultColumn&& result, ArrowArray* out_array, ArrowSchema* out_schema);

// A stream of `chunks` in order, all of type `type`. get_next moves each
// chunk out once, then reports the end; get_schema may be called any number
// of times.
void export_stream(std::vector<ResultColumn>&& chunks, const ResultType& type,
                   ArrowArrayStream* out_stream);

}  // namespace vexlo
