#include "python/columns/column_request.h"

#include <algorithm>
#include <array>
#include <memory>
#include <utility>
#include <vector>
#include <string>

#include "columns/answer_column.h"
#include "common/fault.h"
#include "python/argument_conversion.h"
#include "python/columns/field_names.h"
#include "python/columns/object_capsule.h"
#include "python/columns/rules_type.h"
#include "python/held_reference.h"
#include "python/type_errors.h"

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
bool field_names_argument(PyObject* object, std::string_view parameter, ExtractFields& fields,
                         PyError& error) {
    auto fail = [&](PyError problem) {
        error = annotate_argument_error(parameter, std::move(problem));
        return false;
    };
    if (object == nullptr || object == Py_None) {
        fields = ExtractFields::all();
        return true;
    }
    if (PyUnicode_Check(object)) {
        return fail(type_error("expected an iterable of field names, not a str"));
    }
    const Owned items(PySequence_Tuple(object));
    if (items.get() == nullptr) {
        if (!PyErr_ExceptionMatches(PyExc_TypeError)) return fail(take_pending_exception());
        PyErr_Clear();
        return fail(type_error("expected an iterable of field names, not " +
                               qualified_type_name(Py_TYPE(object))));
    }
    std::string known;
    for (const std::string_view each : kExtractFieldNames) {
        known += (known.empty() ? "" : ", ") + std::string(each);
    }
    std::vector<ExtractField> chosen;
    if (!read_field_names(items.get(), parameter, extract_field_named, known, chosen, error)) {
        return false;
    }
    fields.count = chosen.size();  // at most one of each
    std::copy(chosen.begin(), chosen.end(), fields.order.begin());
    return true;
}

// One keyword parameter of `arguments`, from its slot (null: left out).
bool keyword_argument(const KeywordParameter& parameter, PyObject* value,
                     ColumnArguments& arguments, PyError& error) {
    if (parameter.name == "threads") {
        return threads_argument(value, parameter.name, arguments.threads, error);
    }
    if (parameter.name == "fields") {
        return field_names_argument(value, parameter.name, arguments.request.fields, error);
    }
    if (parameter.name == "rules") {
        if (value == nullptr) value = Py_None;
        if (!rules_argument(value, parameter.name, arguments.tables, error)) return false;
        if (value != Py_None) arguments.rules = Py_NewRef(value);
        return true;
    }
    for (const SwitchField& known : kSwitchFields) {
        if (parameter.name == known.name) {
            return extract_flag(value, parameter.name, parameter.default_value,
                                arguments.request.*known.field, error);
        }
    }
    // takes_column_keywords() proves every declaration when compiling.
    throw Fault("a column function declares the unknown parameter '" +
                std::string(parameter.name) + "'");
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
                      PyObject*& column, PyError& error) {
    std::array<PyObject*, kMaxSlots> slots{};
    if (!extract_arguments(signature, args, nargs, kwnames, slots, error)) return nullptr;
    column = slots[0];
    auto arguments = std::make_unique<ColumnArguments>();
    arguments->request.question = question;
    const std::size_t positional = signature.positional.size();
    if (positional == 2 &&
        !index_argument(slots[1], signature.positional[1], arguments->request.depth, error)) {
        return nullptr;
    }
    for (std::size_t i = 0; i < signature.keyword_only.size(); ++i) {
        if (!keyword_argument(signature.keyword_only[i], slots[positional + i], *arguments, error)) {
            return nullptr;
        }
    }
    // A function without `rules` answers from the compiled list (host needs none).
    if (arguments->tables == nullptr && !rules_argument(Py_None, "rules", arguments->tables, error)) {
        return nullptr;
    }
    return RequestCapsule::make(std::move(arguments), error);
}

const ColumnArguments* request_argument(PyObject* object, std::string_view parameter,
                                       PyError& error) {
    return RequestCapsule::read(object, parameter, error);
}

}  // namespace vexlo::python
