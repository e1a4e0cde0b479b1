// The column functions of vexlo.columns, declared here once: their
// parameters (those of the scalar function asking the same question, the
// column in place of the name, and the column's options), their docstrings
// and their entries. An entry checks every argument as the scalar functions
// check theirs, then hands the column and the checked arguments (a request
// capsule) to the module's _answer(column, request), which picks the
// answering function for the kind of container the column came in.
#include <Python.h>

#include <array>
#include <string_view>

#include "python/arguments.h"
#include "python/boundary.h"
#include "python/columns/column_request.h"
#include "python/columns/functions.h"
#include "python/module_setup.h"
#include "python/process_once.h"
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
constexpr FunctionSignature kHost{"host", kColumnOnly, 1, kHostKeywords};
constexpr FunctionSignature kExtract{"extract", kColumnOnly, 1, kExtractKeywords};
static_assert(takes_column_keywords(kPublicsuffix) && takes_column_keywords(kPrivatesuffix) &&
              takes_column_keywords(kIsPublic) && takes_column_keywords(kIsPrivate) &&
              takes_column_keywords(kPrivateparts) && takes_column_keywords(kSubdomain) &&
              takes_column_keywords(kHost) && takes_column_keywords(kExtract));

constexpr char kAnswer[] = "_answer";

constexpr std::string_view kModuleParameters[] = {"module"};
constexpr FunctionSignature kAddColumnFunctions =
    positional_only("_add_column_functions", kModuleParameters);

// A column function: `module` is the module it was added to.
template <const FunctionSignature& Signature, Question kQuestion>
PyObject* column_entry(PyObject* module, PyObject* const* args, Py_ssize_t nargs,
                       PyObject* kwnames) {
    return call_frame([&] {
        PyObject* column = nullptr;
        const Owned request(new_request(Signature, kQuestion, args, nargs, kwnames, column));
        PyObject* call[] = {module, column, request.get()};
        return checked(PyObject_VectorcallMethod(created(interned<kAnswer>()), call, 3, nullptr));
    });
}

PyMethodDef column_records[] = {
    {"publicsuffix", as_cfunction(column_entry<kPublicsuffix, Question::kPublicSuffix>),
     kCallFlags,
     "publicsuffix(column, *, accept_unknown=True, icann_only=False, keep_case=False, "
     "threads=None, rules=None)\n--\n\n"
     "The public suffix of every name of *column*, as vexlo.publicsuffix gives it."},
    {"privatesuffix", as_cfunction(column_entry<kPrivatesuffix, Question::kPrivateSuffix>),
     kCallFlags,
     "privatesuffix(column, *, accept_unknown=True, icann_only=False, keep_case=False, "
     "threads=None, rules=None)\n--\n\n"
     "The private suffix of every name of *column*, as vexlo.privatesuffix gives it."},
    {"is_public", as_cfunction(column_entry<kIsPublic, Question::kIsPublic>), kCallFlags,
     "is_public(column, *, accept_unknown=True, icann_only=False, threads=None, "
     "rules=None)\n--\n\n"
     "Whether each name of *column* is entirely a public suffix, as vexlo.is_public says."},
    {"is_private", as_cfunction(column_entry<kIsPrivate, Question::kIsPrivate>), kCallFlags,
     "is_private(column, *, accept_unknown=True, icann_only=False, threads=None, "
     "rules=None)\n--\n\n"
     "Whether each name of *column* is a private suffix or below one, as\n"
     "vexlo.is_private says."},
    {"privateparts", as_cfunction(column_entry<kPrivateparts, Question::kPrivateParts>),
     kCallFlags,
     "privateparts(column, *, accept_unknown=True, icann_only=False, keep_case=False, "
     "threads=None, rules=None)\n--\n\n"
     "The subdomain labels and private suffix of every name of *column*, as\n"
     "vexlo.privateparts gives them (a list of str for each)."},
    {"subdomain", as_cfunction(column_entry<kSubdomain, Question::kSubdomain>), kCallFlags,
     "subdomain(column, depth, *, accept_unknown=True, icann_only=False, keep_case=False, "
     "threads=None, rules=None)\n--\n\n"
     "The suffix reaching *depth* labels beyond the private suffix of every\n"
     "name of *column*, as vexlo.subdomain gives it."},
    {"host", as_cfunction(column_entry<kHost, Question::kHost>), kCallFlags,
     "host(column, *, keep_ip=False, threads=None)\n--\n\n"
     "The host name of every URL, e-mail address or host name of *column*, as\n"
     "vexlo.host gives it."},
    {"extract", as_cfunction(column_entry<kExtract, Question::kExtract>), kCallFlags,
     "extract(column, *, fields=None, keep_ip=False, accept_unknown=True, keep_case=False, "
     "threads=None, rules=None)\n--\n\n"
     "The record of every URL, e-mail address or host name of *column*, as\n"
     "vexlo.extract gives it: a struct of the *fields* asked for (every field\n"
     "of vexlo.Extracted by default, in its order; else the names given, in\n"
     "their order), computing only those."},
};

}  // namespace

// _add_column_functions(module, /)
PyObject* add_column_functions(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                               PyObject* kwnames) {
    return call_frame([&] {
        std::array<PyObject*, 1> slots{};
        extract_arguments(kAddColumnFunctions, args, nargs, kwnames, slots);
        PyObject* module = slots[0];
        if (!PyModule_Check(module)) {
            argument_error(kModuleParameters[0], not_an_instance(module, "module"));
        }
        for (PyMethodDef& record : column_records) {
            const Owned function(module_function(module, record));
            checked(PyObject_SetAttrString(module, record.ml_name, function.get()));
        }
        return Py_NewRef(Py_None);
    });
}

}  // namespace vexlo::python
