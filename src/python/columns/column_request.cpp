#include "python/columns/column_request.h"

#include <algorithm>
#include <array>
#include <memory>
#include <utility>
#include <vector>
#include <string>

#include "columns/answer_column.h"
#include "common/fault.h"
#include "python/arguments.h"
#include "python/columns/field_names.h"
#include "python/columns/object_capsule.h"
#include "python/columns/rules_type.h"
#include "python/scopes.h"

namespace vexlo::python {
namespace {

constexpr char kRequestCapsuleName[] = "vexlo._columns.ColumnRequest";
using RequestCapsule = ObjectCapsule<ColumnArguments, kRequestCapsuleName>;

// The switches a column function may declare, and where each goes.
struct SwitchField {
    std::string_view name;
    bool ColumnRequest::*field;
};
constexpr SwitchField kSwitchFields[] = {
    {"accept_unknown", &ColumnRequest::accept_unknown},
    {"icann_only", &ColumnRequest::icann_only},
    {"keep_case", &ColumnRequest::keep_case},
    {"keep_ip", &ColumnRequest::keep_ip},
};

// The most parameters a column function has: column, depth or fields, three
// switches, threads and rules.
constexpr std::size_t kMaxSlots = 8;

// The extract fields named by `object`: None for all of them, in the
// record's order; else an iterable of their names, each once, in the order
// the caller wants them.
ExtractFields field_names_argument(PyObject* object, std::string_view parameter) {
    if (object == nullptr || object == Py_None) return ExtractFields::all();
    if (PyUnicode_Check(object)) {
        argument_error(parameter, type_error("expected an iterable of field names, not a str"));
    }
    const Owned items(PySequence_Tuple(object));
    if (items.get() == nullptr) {
        if (!PyErr_ExceptionMatches(PyExc_TypeError)) argument_error(parameter, take_pending_exception());
        PyErr_Clear();
        argument_error(parameter, type_error("expected an iterable of field names, not " +
                                             qualified_type_name(Py_TYPE(object))));
    }
    std::string known;
    for (const std::string_view each : kExtractFieldNames) {
        known += (known.empty() ? "" : ", ") + std::string(each);
    }
    const std::vector<ExtractField> chosen =
        read_field_names<ExtractField>(items.get(), parameter, extract_field_named, known);
    ExtractFields fields;
    fields.count = chosen.size();  // at most one of each
    std::copy(chosen.begin(), chosen.end(), fields.order.begin());
    return fields;
}

// One keyword parameter of `arguments`, from its slot (null: left out).
void keyword_argument(const KeywordParameter& parameter, PyObject* value,
                      ColumnArguments& arguments) {
    if (parameter.name == "threads") {
        arguments.threads = threads_argument(value, parameter.name);
    } else if (parameter.name == "fields") {
        arguments.request.fields = field_names_argument(value, parameter.name);
    } else if (parameter.name == "rules") {
        if (value == nullptr) value = Py_None;
        arguments.tables = &rules_argument(value, parameter.name);
        if (value != Py_None) arguments.rules = Py_NewRef(value);
    } else {
        for (const SwitchField& known : kSwitchFields) {
            if (parameter.name == known.name) {
                arguments.request.*known.field =
                    extract_flag(value, parameter.name, parameter.default_value);
                return;
            }
        }
        // takes_column_keywords() proves every declaration when compiling.
        throw Fault("a column function declares the unknown parameter '" +
                    std::string(parameter.name) + "'");
    }
}

}  // namespace

ColumnRequest ColumnArguments::for_column(std::int64_t names, bool large) const noexcept {
    ColumnRequest column = request;
    column.threads = threads ? *threads : default_thread_count(names);
    column.large_text = large;
    return column;
}

PyObject* new_request(const FunctionSignature& signature, Question question,
                      PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                      PyObject*& column) {
    std::array<PyObject*, kMaxSlots> slots{};
    extract_arguments(signature, args, nargs, kwnames, slots);
    column = slots[0];
    auto arguments = std::make_unique<ColumnArguments>();
    arguments->request.question = question;
    const std::size_t positional = signature.positional.size();
    if (positional == 2) {
        arguments->request.depth = index_argument(slots[1], signature.positional[1]);
    }
    for (std::size_t i = 0; i < signature.keyword_only.size(); ++i) {
        keyword_argument(signature.keyword_only[i], slots[positional + i], *arguments);
    }
    // A function without `rules` answers from the compiled list (host needs none).
    if (arguments->tables == nullptr) arguments->tables = &rules_argument(Py_None, "rules");
    return RequestCapsule::make(std::move(arguments));
}

const ColumnArguments* request_argument(PyObject* object, std::string_view parameter) {
    return RequestCapsule::read(object, parameter);
}

}  // namespace vexlo::python
