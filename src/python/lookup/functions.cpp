#include "python/lookup/functions.h"

#include <string_view>

#include "python/argument_spec.h"
#include "python/boundary.h"
#include "python/lookup/call_arguments.h"
#include "python/lookup/privateparts_result.h"
#include "python/module_setup.h"
#include "python/results.h"
#include "query/match.h"
#include "query/short_match.h"
#include "rules/compiled_tables.h"

namespace vexlo::python {
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

// What each function answers for the match of a valid domain. `ascii`: the
// domain is ASCII, and so is every text cut from it.
PyObject* publicsuffix_answer(const CallArguments& call, const MatchView& match, bool ascii) {
    return optional_str_result(publicsuffix(match, call.keep_case), ascii);
}

PyObject* privatesuffix_answer(const CallArguments& call, const MatchView& match, bool ascii) {
    return optional_str_result(privatesuffix(match, call.keep_case), ascii);
}

PyObject* is_public_answer(const CallArguments&, const MatchView& match, bool) {
    return bool_result(is_public(match));
}

PyObject* is_private_answer(const CallArguments&, const MatchView& match, bool) {
    return bool_result(is_private(match));
}

PyObject* privateparts_answer(const CallArguments& call, const MatchView& match, bool ascii) {
    return privateparts_result(privateparts(match, call.keep_case), ascii);
}

PyObject* subdomain_answer(const CallArguments& call, const MatchView& match, bool ascii) {
    return optional_str_result(subdomain(match, call.depth, call.keep_case), ascii);
}

using Answer = PyObject* (*)(const CallArguments&, const MatchView&, bool);

template <Answer answer, bool kPredicate>
PyObject* answer_for(const CallArguments& call) {
    const std::optional<Match> match = match_domain(call.domain, compiled_tables(),
                                                    Switches{call.accept_unknown, call.icann_only});
    if (!match) return kPredicate ? bool_result(false) : none_result();
    return answer(call, match->view(), call.domain_is_ascii);
}

// The switches of a call that passes none: each parameter's default.
constexpr CallArguments default_call(const ArgumentSpec& signature) {
    CallArguments call;
    for (const KeywordParameter& parameter : signature.keyword_only) {
        if (parameter.name == "accept_unknown") call.accept_unknown = parameter.default_value;
        if (parameter.name == "icann_only") call.icann_only = parameter.default_value;
        if (parameter.name == "keep_case") call.keep_case = parameter.default_value;
    }
    return call;
}

// The entry of one function: its arguments, one match, its answer; an invalid
// domain gives False from the predicates and None from the others.
template <const ArgumentSpec& Signature, Answer answer, bool kShortPath, bool kPredicate>
PyObject* entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    // Most calls pass one exact str of ASCII characters by position and no
    // keyword: then nothing can be wrong with the arguments, the str's
    // characters are its UTF-8 bytes, and every switch takes its default.
    // Only a fault can end such a call early, so it needs no error record;
    // and a short name (nearly all) needs no NormalizedDomain either.
    if (Signature.positional.size() == 1 && nargs == 1 && kwnames == nullptr &&
        PyUnicode_CheckExact(args[0]) && PyUnicode_IS_COMPACT_ASCII(args[0])) {
        return infallible_call_frame([&]() -> PyObject* {
            static constexpr CallArguments kDefaults = default_call(Signature);
            const std::string_view domain{
                static_cast<const char*>(PyUnicode_DATA(args[0])),
                static_cast<std::size_t>(PyUnicode_GET_LENGTH(args[0]))};
            if constexpr (kShortPath) {
                ShortMatch match;
                std::string_view given = domain;
                switch (match_short<kCompiledRootEdgeCount>(
                    compiled_tables(), given,
                    Switches{kDefaults.accept_unknown, kDefaults.icann_only}, match)) {
                    case ShortOutcome::kMatched:
                        return answer(kDefaults, match.view(given), true);
                    case ShortOutcome::kInvalid:
                        return kPredicate ? bool_result(false) : none_result();
                    case ShortOutcome::kOther:
                        break;
                }
            }
            CallArguments call = kDefaults;
            call.domain = domain;
            call.domain_is_ascii = true;
            return answer_for<answer, kPredicate>(call);
        });
    }
    return call_frame([&](PyError& error) -> PyObject* {
        CallArguments call;
        if (!extract_call(Signature, args, nargs, kwnames, call, error)) return nullptr;
        return answer_for<answer, kPredicate>(call);
    });
}

constexpr int kFlags = METH_FASTCALL | METH_KEYWORDS;

PyMethodDef function_records[] = {
    {"publicsuffix", as_cfunction(entry<kPublicsuffix, publicsuffix_answer, true, false>), kFlags,
     "publicsuffix(domain, *, accept_unknown=True, icann_only=False, keep_case=False)\n--\n\n"
     "Return the longest public suffix of *domain*, or None if it has none."},
    {"privatesuffix", as_cfunction(entry<kPrivatesuffix, privatesuffix_answer, true, false>), kFlags,
     "privatesuffix(domain, *, accept_unknown=True, icann_only=False, keep_case=False)\n--\n\n"
     "Return the private suffix of *domain*: the public suffix plus one label.\n"
     "None if *domain* is entirely public, or invalid."},
    {"is_public", as_cfunction(entry<kIsPublic, is_public_answer, true, true>), kFlags,
     "is_public(domain, *, accept_unknown=True, icann_only=False)\n--\n\n"
     "Return whether *domain* is entirely a public suffix."},
    {"is_private", as_cfunction(entry<kIsPrivate, is_private_answer, true, true>), kFlags,
     "is_private(domain, *, accept_unknown=True, icann_only=False)\n--\n\n"
     "Return whether *domain* is a private suffix or a subdomain of one."},
    {"privateparts", as_cfunction(entry<kPrivateparts, privateparts_answer, false, false>), kFlags,
     "privateparts(domain, *, accept_unknown=True, icann_only=False, keep_case=False)\n--\n\n"
     "Return a tuple of the subdomain labels of *domain* followed by its private\n"
     "suffix, or None if it has no private suffix."},
    {"subdomain", as_cfunction(entry<kSubdomain, subdomain_answer, false, false>), kFlags,
     "subdomain(domain, depth, *, accept_unknown=True, icann_only=False, keep_case=False)\n--\n\n"
     "Return the suffix of *domain* reaching *depth* labels beyond its private\n"
     "suffix, or None if *domain* has too few labels. Depth 0 is the private\n"
     "suffix itself."},
};

}  // namespace

std::span<PyMethodDef> lookup_functions() { return function_records; }

}  // namespace vexlo::python
