#include "module/functions.h"

#include <array>
#include <string_view>

#include "module/arguments.h"
#include "module/boundary.h"
#include "module/results.h"
#include "query/query.h"

namespace vexlo::module {
namespace {

constexpr std::string_view kDomainOnly[] = {"domain"};
constexpr std::string_view kDomainAndDepth[] = {"domain", "depth"};
constexpr KeywordParameter kMatchSwitches[] = {{"accept_unknown", true}, {"icann_only", false}};
constexpr KeywordParameter kTextSwitches[] = {
    {"accept_unknown", true}, {"icann_only", false}, {"keep_case", false}};

constexpr ArgumentSpec kPublicsuffix{"publicsuffix", kDomainOnly, 1, kTextSwitches};
constexpr ArgumentSpec kPrivatesuffix{"privatesuffix", kDomainOnly, 1, kTextSwitches};
constexpr ArgumentSpec kIsPublic{"is_public", kDomainOnly, 1, kMatchSwitches};
constexpr ArgumentSpec kIsPrivate{"is_private", kDomainOnly, 1, kMatchSwitches};
constexpr ArgumentSpec kPrivateparts{"privateparts", kDomainOnly, 1, kTextSwitches};
constexpr ArgumentSpec kSubdomain{"subdomain", kDomainAndDepth, 2, kTextSwitches};

// Answers one call: `answer(call, match)` turns the match of a valid domain
// into the result object; an invalid domain gives `invalid`.
template <const ArgumentSpec& Signature, typename Answer>
PyObject* run_query(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, PyError& error,
                    PyObject* invalid, Answer answer) {
    CallArguments call;
    if (!extract_call(Signature, args, nargs, kwnames, call, error)) return nullptr;
    const std::optional<Match> match =
        match_domain(call.domain, Switches{call.accept_unknown, call.icann_only});
    if (!match) return Py_NewRef(invalid);
    return answer(call, *match);
}

template <const ArgumentSpec& Signature, typename Answer>
PyObject* entry(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, PyObject* invalid,
                Answer answer) {
    return call_frame([&](PyError& error) {
        return run_query<Signature>(args, nargs, kwnames, error, invalid, answer);
    });
}

PyObject* publicsuffix_entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return entry<kPublicsuffix>(
        args, nargs, kwnames, Py_None, [](const CallArguments& call, const Match& match) {
            return optional_str_result(publicsuffix(match, call.keep_case), call.domain_is_ascii);
        });
}

PyObject* privatesuffix_entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return entry<kPrivatesuffix>(
        args, nargs, kwnames, Py_None, [](const CallArguments& call, const Match& match) {
            return optional_str_result(privatesuffix(match, call.keep_case), call.domain_is_ascii);
        });
}

PyObject* is_public_entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return entry<kIsPublic>(args, nargs, kwnames, Py_False,
                            [](const CallArguments&, const Match& match) {
                                return bool_result(is_public(match));
                            });
}

PyObject* is_private_entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return entry<kIsPrivate>(args, nargs, kwnames, Py_False,
                             [](const CallArguments&, const Match& match) {
                                 return bool_result(is_private(match));
                             });
}

PyObject* privateparts_entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return entry<kPrivateparts>(
        args, nargs, kwnames, Py_None, [](const CallArguments& call, const Match& match) {
            return privateparts_result(privateparts(match, call.keep_case), call.domain_is_ascii);
        });
}

PyObject* subdomain_entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return entry<kSubdomain>(
        args, nargs, kwnames, Py_None, [](const CallArguments& call, const Match& match) {
            return optional_str_result(subdomain(match, call.depth, call.keep_case),
                                       call.domain_is_ascii);
        });
}

template <typename Entry>
PyCFunction as_cfunction(Entry entry) {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(entry));
}

constexpr int kFlags = METH_FASTCALL | METH_KEYWORDS;

PyMethodDef function_records[] = {
    {"publicsuffix", as_cfunction(publicsuffix_entry), kFlags,
     "publicsuffix(domain, *, accept_unknown=True, icann_only=False, keep_case=False)\n--\n\n"
     "Return the longest public suffix of *domain*, or None if it has none."},
    {"privatesuffix", as_cfunction(privatesuffix_entry), kFlags,
     "privatesuffix(domain, *, accept_unknown=True, icann_only=False, keep_case=False)\n--\n\n"
     "Return the private suffix of *domain*: the public suffix plus one label.\n"
     "None if *domain* is entirely public, or invalid."},
    {"is_public", as_cfunction(is_public_entry), kFlags,
     "is_public(domain, *, accept_unknown=True, icann_only=False)\n--\n\n"
     "Return whether *domain* is entirely a public suffix."},
    {"is_private", as_cfunction(is_private_entry), kFlags,
     "is_private(domain, *, accept_unknown=True, icann_only=False)\n--\n\n"
     "Return whether *domain* is a private suffix or a subdomain of one."},
    {"privateparts", as_cfunction(privateparts_entry), kFlags,
     "privateparts(domain, *, accept_unknown=True, icann_only=False, keep_case=False)\n--\n\n"
     "Return a tuple of the subdomain labels of *domain* followed by its private\n"
     "suffix, or None if it has no private suffix."},
    {"subdomain", as_cfunction(subdomain_entry), kFlags,
     "subdomain(domain, depth, *, accept_unknown=True, icann_only=False, keep_case=False)\n--\n\n"
     "Return the suffix of *domain* reaching *depth* labels beyond its private\n"
     "suffix, or None if *domain* has too few labels. Depth 0 is the private\n"
     "suffix itself."},
};

}  // namespace

std::span<PyMethodDef> function_table() { return function_records; }

}  // namespace vexlo::module
