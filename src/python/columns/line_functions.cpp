// The command line's private functions: a row format made once per run, the
// rows of a block of input lines, and the row of one name given as an
// argument. Blocks are answered without the interpreter lock.
#include <Python.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/thread_count.h"
#include "lines/answer_lines.h"
#include "python/arguments.h"
#include "python/boundary.h"
#include "python/columns/field_names.h"
#include "python/columns/functions.h"
#include "python/columns/object_capsule.h"
#include "python/columns/rules_type.h"
#include "python/results.h"
#include "python/scopes.h"

namespace vexlo::python {
namespace {

using lines::BlockAnswer;
using lines::Field;
using lines::OutputBuffer;
using lines::RowFormat;

constexpr char kFormatCapsuleName[] = "vexlo._columns.RowFormat";
using FormatCapsule = ObjectCapsule<RowFormat, kFormatCapsuleName>;

PyError out_of_memory() {
    return PyError::with_message(PyExc_MemoryError, "out of memory for the rows of the input");
}

PyObject* new_bytes(std::string_view bytes) {
    return PyBytes_FromStringAndSize(bytes.data(), static_cast<Py_ssize_t>(bytes.size()));
}

// ((line, byte, row_offset), ...) for the lines that are not UTF-8.
PyObject* bad_lines_tuple(const std::vector<lines::BadLine>& bad_lines) {
    return make_tuple(bad_lines.size(), [&](std::size_t i) {
        const lines::BadLine& bad = bad_lines[i];
        const std::size_t numbers[] = {bad.line, bad.byte, bad.row_offset};
        return make_tuple(3, [&](std::size_t j) { return PyLong_FromSize_t(numbers[j]); });
    });
}

}  // namespace

// _line_format(fields, json, depth, accept_unknown, icann_only, keep_case, urls, /)
PyObject* line_format(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_frame([&] {
        std::array<PyObject*, std::size(kLineFormatParameters)> slots{};
        extract_arguments(kLineFormat, args, nargs, kwnames, slots);
        auto format = std::make_unique<RowFormat>();
        // The fields of a row, each named once, from a tuple of their names.
        if (!PyTuple_Check(slots[0])) {
            argument_error(kLineFormatParameters[0], not_an_instance(slots[0], "tuple"));
        }
        format->fields = read_field_names<Field>(slots[0], kLineFormatParameters[0],
                                                 lines::field_named, {});
        format->json = bool_argument(slots[1], kLineFormatParameters[1]);
        format->depth = index_argument(slots[2], kLineFormatParameters[2]);
        format->switches.accept_unknown = bool_argument(slots[3], kLineFormatParameters[3]);
        format->switches.icann_only = bool_argument(slots[4], kLineFormatParameters[4]);
        format->keep_case = bool_argument(slots[5], kLineFormatParameters[5]);
        format->urls = bool_argument(slots[6], kLineFormatParameters[6]);
        if (!format->urls &&
            std::find(format->fields.begin(), format->fields.end(), Field::host) != format->fields.end()) {
            argument_error(kLineFormatParameters[0], value_error("the field 'host' needs urls"));
        }
        return FormatCapsule::make(std::move(format));
    });
}

// _answer_lines(block, at_end, format, threads, rules, /) -> (rows, consumed, lines, bad_lines)
PyObject* answer_lines(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_frame([&] {
        std::array<PyObject*, std::size(kAnswerLinesParameters)> slots{};
        extract_arguments(kAnswerLines, args, nargs, kwnames, slots);
        const std::string_view block = bytes_argument(slots[0], kAnswerLinesParameters[0]);
        const bool at_end = bool_argument(slots[1], kAnswerLinesParameters[1]);
        const RowFormat& format = *FormatCapsule::read(slots[2], kAnswerLinesParameters[2]);
        const std::optional<unsigned> threads = threads_argument(slots[3], kAnswerLinesParameters[3]);
        const RuleTables& tables = rules_argument(slots[4], kAnswerLinesParameters[4]);
        // The block and the format stay alive while the lock is given up.
        const Owned block_held(Py_NewRef(slots[0])), format_held(Py_NewRef(slots[2]));
        BlockAnswer answer;
        try {
            const WithoutInterpreterLock unlocked;
            // By default every usable core; the block is cut into runs of lines
            // no shorter than lines::kMinBlockPerThread, which bounds the count
            // for a small block.
            lines::answer_lines_threaded(block, at_end, format, tables, answer,
                                         threads.value_or(usable_cores()));
        } catch (const std::bad_alloc&) {
            throw out_of_memory();
        }
        return checked(make_tuple(4, [&](std::size_t i) -> PyObject* {
            switch (i) {
                case 0: return new_bytes(answer.output.view());
                case 1: return PyLong_FromSize_t(answer.consumed);
                case 2: return PyLong_FromSize_t(answer.lines);
                default: return bad_lines_tuple(answer.bad_lines);
            }
        }));
    });
}

// _answer_name(name, format, rules, /) -> (row, bad_byte or None)
PyObject* answer_name(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_frame([&] {
        std::array<PyObject*, std::size(kAnswerNameParameters)> slots{};
        extract_arguments(kAnswerName, args, nargs, kwnames, slots);
        const std::string_view name = bytes_argument(slots[0], kAnswerNameParameters[0]);
        const RowFormat& format = *FormatCapsule::read(slots[1], kAnswerNameParameters[1]);
        const RuleTables& tables = rules_argument(slots[2], kAnswerNameParameters[2]);
        OutputBuffer row;
        std::size_t bad_byte = 0;
        try {
            bad_byte = lines::answer_name(name, format, tables, row);
        } catch (const std::bad_alloc&) {
            throw out_of_memory();
        }
        return checked(make_tuple(2, [&](std::size_t i) -> PyObject* {
            if (i == 0) return new_bytes(row.view());
            return bad_byte == 0 ? Py_NewRef(Py_None) : PyLong_FromSize_t(bad_byte);
        }));
    });
}

}  // namespace vexlo::python
