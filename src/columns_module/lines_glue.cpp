// The command line's private functions: a row format made once per run, the
// rows of a block of input lines, and the row of one name given as an
// argument. Blocks are answered without the interpreter lock.
#include <Python.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "columns_module/function_tables.h"
#include "lines/answer_lines.h"
#include "rules/compiled_tables.h"
#include "columns_module/glue_support.h"

namespace vexlo::columns_module {
namespace {

using lines::BlockAnswer;
using lines::Field;
using lines::OutputBuffer;
using lines::RowFormat;

constexpr const char* kFormatCapsule = "vexlo._columns.RowFormat";

PyError out_of_memory() {
    return PyError::with_message(PyExc_MemoryError, "out of memory for the rows of the input");
}

bool extract_bytes(const char* function, const char* name, PyObject* object,
                   std::string_view& value, PyError& error) {
    // Only bytes: being immutable, they cannot change while the lock is given up.
    if (!PyBytes_Check(object)) {
        error = type_error(std::string(function) + "() argument '" + name +
                           "' must be bytes, not " + type_name(object));
        return false;
    }
    value = {PyBytes_AS_STRING(object), static_cast<std::size_t>(PyBytes_GET_SIZE(object))};
    return true;
}

bool extract_fields(PyObject* object, std::vector<Field>& fields, PyError& error) {
    if (!PyTuple_Check(object)) {
        error = type_error("_line_format() argument 'fields' must be tuple, not " +
                           type_name(object));
        return false;
    }
    const Py_ssize_t count = PyTuple_GET_SIZE(object);
    if (count == 0) {
        error = value_error("_line_format(): no fields");
        return false;
    }
    for (Py_ssize_t i = 0; i < count; ++i) {
        PyObject* item = PyTuple_GET_ITEM(object, i);
        if (!PyUnicode_Check(item)) {
            error = type_error("_line_format(): field " + std::to_string(i) + " must be str, not " +
                               type_name(item));
            return false;
        }
        Py_ssize_t size = 0;
        const char* text = PyUnicode_AsUTF8AndSize(item, &size);
        if (text == nullptr) {
            error = take_pending_exception();
            return false;
        }
        const std::string_view name(text, static_cast<std::size_t>(size));
        const std::optional<Field> field = lines::field_named(name);
        if (!field) {
            error = value_error("_line_format(): unknown field '" + std::string(name) + "'");
            return false;
        }
        for (const Field earlier : fields) {
            if (earlier == *field) {
                error = value_error("_line_format(): field '" + std::string(name) +
                                    "' is named twice");
                return false;
            }
        }
        fields.push_back(*field);
    }
    return true;
}

void release_format(PyObject* capsule) noexcept {
    delete static_cast<RowFormat*>(PyCapsule_GetPointer(capsule, kFormatCapsule));
}

// The format held by a capsule from _line_format, or null with `error` set.
const RowFormat* extract_format(const char* function, PyObject* object, PyError& error) {
    if (!PyCapsule_IsValid(object, kFormatCapsule)) {
        error = type_error(std::string(function) +
                           "() argument 'format' must be a row format from _line_format(), not " +
                           type_name(object));
        return nullptr;
    }
    return static_cast<const RowFormat*>(PyCapsule_GetPointer(object, kFormatCapsule));
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

// _line_format(fields, json, depth, accept_unknown, icann_only, keep_case)
PyObject* line_format(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
    return call_frame([&](PyError& error) -> PyObject* {
        if (!check_count("_line_format", nargs, 6, error)) return nullptr;
        auto format = std::make_unique<RowFormat>();
        if (!extract_fields(args[0], format->fields, error)) return nullptr;
        if (!extract_bool("_line_format", "json", args[1], format->json, error)) return nullptr;
        if (!PyLong_Check(args[2])) {
            error = type_error("_line_format() argument 'depth' must be int, not " +
                               type_name(args[2]));
            return nullptr;
        }
        const unsigned long long depth = PyLong_AsUnsignedLongLong(args[2]);
        if (depth == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
            error = take_pending_exception();
            return nullptr;
        }
        format->depth = depth;
        if (!extract_bool("_line_format", "accept_unknown", args[3],
                          format->switches.accept_unknown, error) ||
            !extract_bool("_line_format", "icann_only", args[4], format->switches.icann_only,
                          error) ||
            !extract_bool("_line_format", "keep_case", args[5], format->keep_case, error)) {
            return nullptr;
        }
        PyObject* capsule = PyCapsule_New(format.get(), kFormatCapsule, release_format);
        if (capsule == nullptr) {
            error = take_pending_exception();
            return nullptr;
        }
        format.release();  // the capsule owns it now
        return capsule;
    });
}

// _answer_lines(block, at_end, format, threads) -> (rows, consumed, lines, bad_lines)
PyObject* answer_lines(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
    return call_frame([&](PyError& error) -> PyObject* {
        if (!check_count("_answer_lines", nargs, 4, error)) return nullptr;
        std::string_view block;
        bool at_end = false;
        if (!extract_bytes("_answer_lines", "block", args[0], block, error) ||
            !extract_bool("_answer_lines", "at_end", args[1], at_end, error)) {
            return nullptr;
        }
        const RowFormat* format = extract_format("_answer_lines", args[2], error);
        if (format == nullptr) return nullptr;
        if (!PyLong_Check(args[3])) {
            error = type_error("_answer_lines() argument 'threads' must be int, not " +
                               type_name(args[3]));
            return nullptr;
        }
        const long threads = PyLong_AsLong(args[3]);
        if (threads == -1 && PyErr_Occurred()) {
            error = take_pending_exception();
            return nullptr;
        }
        if (threads < 1) {
            error = value_error("_answer_lines(): threads must be at least 1");
            return nullptr;
        }
        const Held block_held(args[0]), format_held(args[2]);
        BlockAnswer answer;
        try {
            const WithoutInterpreterLock unlocked;
            lines::answer_lines_threaded(block, at_end, *format, compiled_tables(), answer,
                                         static_cast<unsigned>(std::min(threads, 64L)));
        } catch (const std::bad_alloc&) {
            error = out_of_memory();
            return nullptr;
        }
        PyObject* result = make_tuple(4, [&](std::size_t i) -> PyObject* {
            switch (i) {
                case 0: return new_bytes(answer.output.view());
                case 1: return PyLong_FromSize_t(answer.consumed);
                case 2: return PyLong_FromSize_t(answer.lines);
                default: return bad_lines_tuple(answer.bad_lines);
            }
        });
        if (result == nullptr) error = take_pending_exception();
        return result;
    });
}

// _answer_name(name, format) -> (row, bad_byte or None)
PyObject* answer_name(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
    return call_frame([&](PyError& error) -> PyObject* {
        if (!check_count("_answer_name", nargs, 2, error)) return nullptr;
        std::string_view name;
        if (!extract_bytes("_answer_name", "name", args[0], name, error)) return nullptr;
        const RowFormat* format = extract_format("_answer_name", args[1], error);
        if (format == nullptr) return nullptr;
        OutputBuffer row;
        std::size_t bad_byte = 0;
        try {
            bad_byte = lines::answer_name(name, *format, compiled_tables(), row);
        } catch (const std::bad_alloc&) {
            error = out_of_memory();
            return nullptr;
        }
        PyObject* result = make_tuple(2, [&](std::size_t i) -> PyObject* {
            if (i == 0) return new_bytes(row.view());
            return bad_byte == 0 ? Py_NewRef(Py_None) : PyLong_FromSize_t(bad_byte);
        });
        if (result == nullptr) error = take_pending_exception();
        return result;
    });
}

}  // namespace

PyMethodDef lines_functions[] = {
    {"_line_format", as_cfunction(line_format), METH_FASTCALL,
     "_line_format(fields, json, depth, accept_unknown, icann_only, keep_case, /)\n--\n\n"
     "The row format of the vexlo command, for _answer_lines and _answer_name."},
    {"_answer_lines", as_cfunction(answer_lines), METH_FASTCALL,
     "_answer_lines(block, at_end, format, threads, /)\n--\n\n"
     "Rows for the whole lines at the start of *block* (bytes), made by up to\n"
     "*threads* threads, as a tuple\n"
     "(rows, consumed, lines, bad_lines). Without *at_end* the bytes after the\n"
     "last newline are not answered: *consumed* stops before them. *bad_lines*\n"
     "holds (line, byte, row_offset) for each line that is not UTF-8: its index\n"
     "in the block, its first bad byte counted from 1, and where its row starts."},
    {"_answer_name", as_cfunction(answer_name), METH_FASTCALL,
     "_answer_name(name, format, /)\n--\n\n"
     "The row for *name* (bytes), taken whole, as a tuple (row, bad_byte):\n"
     "bad_byte is None, or the first byte that is not UTF-8 counted from 1."},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace vexlo::columns_module
