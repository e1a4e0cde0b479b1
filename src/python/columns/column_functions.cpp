// The column functions of vexlo.columns, declared here once: their
// parameters (those of the scalar function asking the same question, the
// column in place of the name, and the column's options), their docstrings,
// made from them, and their entries. An entry checks every argument as the
// scalar functions check theirs, then answers (column_answers.h).
#include <Python.h>

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "python/arguments.h"
#include "python/boundary.h"
#include "python/columns/column_answers.h"
#include "python/columns/field_names.h"
#include "python/columns/functions.h"
#include "python/columns/rules_type.h"
#include "python/module_setup.h"
#include "python/question_parameters.h"
#include "python/scopes.h"

namespace vexlo::python {
namespace {

constexpr std::string_view kColumnOnly[] = {"column"};
constexpr std::string_view kColumnAndDepth[] = {"column", "depth"};
constexpr auto kTextKeywords = joined(kTextSwitches, kColumnOptions);
constexpr auto kMatchKeywords = joined(kMatchSwitches, kColumnOptions);
constexpr auto kHostKeywords = joined(kHostSwitches, kThreadsOption);
constexpr auto kExtractKeywords = joined(joined(kFieldsOption, kExtractSwitches), kColumnOptions);

constexpr FunctionSignature kPublicsuffix{"publicsuffix", kColumnOnly, 1, kTextKeywords};
constexpr FunctionSignature kPrivatesuffix{"privatesuffix", kColumnOnly, 1, kTextKeywords};
constexpr FunctionSignature kIsPublic{"is_public", kColumnOnly, 1, kMatchKeywords};
constexpr FunctionSignature kIsPrivate{"is_private", kColumnOnly, 1, kMatchKeywords};
constexpr FunctionSignature kPrivateparts{"privateparts", kColumnOnly, 1, kTextKeywords};
constexpr FunctionSignature kSubdomain{"subdomain", kColumnAndDepth, 2, kTextKeywords};
constexpr FunctionSignature kHostColumn{"host", kColumnOnly, 1, kHostKeywords};
constexpr FunctionSignature kExtractColumn{"extract", kColumnOnly, 1, kExtractKeywords};

// The most parameters a column function has: column, depth or fields, three
// switches, threads and rules.
constexpr std::size_t kMaxSlots = 8;

// The switches a column function may take, and where each goes.
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

// The call's arguments, each converted as the scalar functions convert
// theirs, in parameter order: the column (any object), depth where the
// signature has it, then each keyword parameter by its name.
ColumnCall new_call(const FunctionSignature& signature, Question question,
                    std::span<PyObject* const> slots) {
    ColumnCall call{slots[0], {question}, std::nullopt, nullptr};
    const std::size_t positional = signature.positional.size();
    if (positional == 2) call.request.depth = index_argument(slots[1], signature.positional[1]);
    for (std::size_t i = 0; i < signature.keyword_only.size(); ++i) {
        const KeywordParameter& parameter = signature.keyword_only[i];
        PyObject* value = slots[positional + i];
        if (parameter.name == "threads") {
            call.threads = threads_argument(value, parameter.name);
        } else if (parameter.name == "fields") {
            call.request.fields = field_names_argument(value, parameter.name);
        } else if (parameter.name == "rules") {
            call.tables = &rules_argument(value == nullptr ? Py_None : value, parameter.name);
        } else {
            const SwitchField* known = std::find_if(
                std::begin(kSwitchFields), std::end(kSwitchFields),
                [&](const SwitchField& field) { return field.name == parameter.name; });
            if (known == std::end(kSwitchFields)) throw Fault("a column keyword without a field");
            call.request.*known->field =
                extract_flag(value, parameter.name, parameter.default_value);
        }
    }
    // A function without `rules` answers from the compiled list (host needs none).
    if (call.tables == nullptr) call.tables = &rules_argument(Py_None, "rules");
    return call;
}

// A column function: `module` is the module it was added to.
template <const FunctionSignature& Signature, Question kQuestion>
PyObject* column_function(PyObject* module, PyObject* const* args, Py_ssize_t nargs,
                          PyObject* kwnames) {
    return call_frame([&] {
        std::array<PyObject*, kMaxSlots> slots{};
        extract_arguments(Signature, args, nargs, kwnames, slots);
        return answer_column_call(module, new_call(Signature, kQuestion, slots));
    });
}

constexpr FunctionDeclaration kColumnFunctions[] = {
    {kPublicsuffix, column_function<kPublicsuffix, Question::kPublicSuffix>,
     "The public suffix of every name of *column*, as vexlo.publicsuffix gives it."},
    {kPrivatesuffix, column_function<kPrivatesuffix, Question::kPrivateSuffix>,
     "The private suffix of every name of *column*, as vexlo.privatesuffix gives it."},
    {kIsPublic, column_function<kIsPublic, Question::kIsPublic>,
     "Whether each name of *column* is entirely a public suffix, as vexlo.is_public says."},
    {kIsPrivate, column_function<kIsPrivate, Question::kIsPrivate>,
     "Whether each name of *column* is a private suffix or below one, as\n"
     "vexlo.is_private says."},
    {kPrivateparts, column_function<kPrivateparts, Question::kPrivateParts>,
     "The subdomain labels and private suffix of every name of *column*, as\n"
     "vexlo.privateparts gives them (a list of str for each)."},
    {kSubdomain, column_function<kSubdomain, Question::kSubdomain>,
     "The suffix reaching *depth* labels beyond the private suffix of every\n"
     "name of *column*, as vexlo.subdomain gives it."},
    {kHostColumn, column_function<kHostColumn, Question::kHost>,
     "The host name of every URL, e-mail address or host name of *column*, as\n"
     "vexlo.host gives it."},
    {kExtractColumn, column_function<kExtractColumn, Question::kExtract>,
     "The record of every URL, e-mail address or host name of *column*, as\n"
     "vexlo.extract gives it: a struct of the *fields* asked for (every field\n"
     "of vexlo.Extracted by default, in its order; else the names given, in\n"
     "their order), computing only those."},
};

auto column_records = method_records<kColumnFunctions>();

}  // namespace

// _add_column_functions(module, /)
PyObject* add_column_functions(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                               PyObject* kwnames) {
    return call_frame([&] {
        std::array<PyObject*, 1> slots{};
        extract_arguments(kAddColumnFunctions, args, nargs, kwnames, slots);
        PyObject* module = slots[0];
        if (!PyModule_Check(module)) {
            argument_error(kAddColumnFunctionsParameters[0], not_an_instance(module, "module"));
        }
        for (PyMethodDef& record : column_records) {
            const Owned function(module_function(module, record));
            checked(PyObject_SetAttrString(module, record.ml_name, function.get()));
        }
        return Py_NewRef(Py_None);
    });
}

}  // namespace vexlo::python
