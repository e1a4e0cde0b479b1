// The six questions as callables of Python: the module functions of
// vexlo._lookup, which answer from the compiled tables, and the methods of
// vexlo.Rules, which answer from the rules they are called on. One set of
// signatures, docstrings, entries and answers serves both; where the tables
// come from is a template argument.
#pragma once

#include <Python.h>

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

#include "python/boundary.h"
#include "python/arguments.h"
#include "python/module_setup.h"
#include "python/question_parameters.h"
#include "python/questions/call_arguments.h"
#include "python/questions/privateparts_result.h"
#include "python/results.h"
#include "query/match.h"
#include "query/short_match.h"
#include "rules/rule_tables.h"

// Everything here has internal linkage: each module's one file that
// includes this header instantiates it for its own Source, and the common
// call is then inlined whole into its entry, as functions of one file are.
namespace vexlo::python::questions {
namespace {

inline constexpr std::string_view kDomainOnly[] = {"domain"};
inline constexpr std::string_view kDomainAndDepth[] = {"domain", "depth"};

inline constexpr FunctionSignature kPublicsuffix{"publicsuffix", kDomainOnly, 1, kTextSwitches};
inline constexpr FunctionSignature kPrivatesuffix{"privatesuffix", kDomainOnly, 1, kTextSwitches};
inline constexpr FunctionSignature kIsPublic{"is_public", kDomainOnly, 1, kMatchSwitches};
inline constexpr FunctionSignature kIsPrivate{"is_private", kDomainOnly, 1, kMatchSwitches};
inline constexpr FunctionSignature kPrivateparts{"privateparts", kDomainOnly, 1, kTextSwitches};
inline constexpr FunctionSignature kSubdomain{"subdomain", kDomainAndDepth, 2, kTextSwitches};

// What the docstrings say after the text signature: the function's, or
// (kMethod) the Rules method's, whose signature starts with "$self".
inline constexpr char kPublicsuffixText[] =
    "Return the longest public suffix of *domain*, or None if it has none.";
inline constexpr char kPrivatesuffixText[] =
    "Return the private suffix of *domain*: the public suffix plus one label.\n"
    "None if *domain* is entirely public, or invalid.";
inline constexpr char kIsPublicText[] = "Return whether *domain* is entirely a public suffix.";
inline constexpr char kIsPrivateText[] =
    "Return whether *domain* is a private suffix or a subdomain of one.";
inline constexpr char kPrivatepartsText[] =
    "Return a tuple of the subdomain labels of *domain* followed by its private\n"
    "suffix, or None if it has no private suffix.";
inline constexpr char kSubdomainText[] =
    "Return the suffix of *domain* reaching *depth* labels beyond its private\n"
    "suffix, or None if *domain* has too few labels. Depth 0 is the private\n"
    "suffix itself.";

template <bool kMethod>
struct Docstrings {
    static constexpr auto publicsuffix = docstring<kPublicsuffix, kMethod>(kPublicsuffixText);
    static constexpr auto privatesuffix = docstring<kPrivatesuffix, kMethod>(kPrivatesuffixText);
    static constexpr auto is_public = docstring<kIsPublic, kMethod>(kIsPublicText);
    static constexpr auto is_private = docstring<kIsPrivate, kMethod>(kIsPrivateText);
    static constexpr auto privateparts = docstring<kPrivateparts, kMethod>(kPrivatepartsText);
    static constexpr auto subdomain = docstring<kSubdomain, kMethod>(kSubdomainText);
};

// What each function answers for the match of a valid domain. `ascii`: the
// domain is ASCII, and so is every text cut from it.
inline PyObject* publicsuffix_answer(const CallArguments& call, const MatchView& match,
                                     bool ascii) {
    return optional_str_result(publicsuffix(match, call.keep_case), ascii);
}
inline PyObject* privatesuffix_answer(const CallArguments& call, const MatchView& match,
                                      bool ascii) {
    return optional_str_result(privatesuffix(match, call.keep_case), ascii);
}
inline PyObject* is_public_answer(const CallArguments&, const MatchView& match, bool) {
    return bool_result(is_public(match));
}
inline PyObject* is_private_answer(const CallArguments&, const MatchView& match, bool) {
    return bool_result(is_private(match));
}
inline PyObject* privateparts_answer(const CallArguments& call, const MatchView& match,
                                     bool ascii) {
    return privateparts_result(privateparts(match, call.keep_case), ascii);
}
inline PyObject* subdomain_answer(const CallArguments& call, const MatchView& match, bool ascii) {
    return optional_str_result(subdomain(match, call.depth, call.keep_case), ascii);
}

using Answer = PyObject* (*)(const CallArguments&, const MatchView&, bool);

template <Answer answer, bool kPredicate>
PyObject* answer_for(const RuleTables& tables, const CallArguments& call) {
    const std::optional<Match> match =
        match_domain(call.domain, tables, Switches{call.accept_unknown, call.icann_only});
    if (!match) return kPredicate ? bool_result(false) : none_result();
    return answer(call, match->view(), call.domain_is_ascii);
}

// The switches of a call that passes none: each parameter's default.
constexpr CallArguments default_call(const FunctionSignature& signature) {
    CallArguments call;
    for (const KeywordParameter& parameter : signature.keyword_only) {
        if (parameter.name == "accept_unknown") call.accept_unknown = parameter.default_value;
        if (parameter.name == "icann_only") call.icann_only = parameter.default_value;
        if (parameter.name == "keep_case") call.keep_case = parameter.default_value;
    }
    return call;
}

// One call over `tables`: its arguments, one match, its answer; an invalid
// domain gives False from the predicates and None from the others.
// kRootEdges: the root's edge count of `tables` when known when compiling.
template <const FunctionSignature& Signature, Answer answer, bool kShortPath, bool kPredicate,
          std::size_t kRootEdges>
[[gnu::always_inline]] inline PyObject* answer_call(const RuleTables& tables,
                                                   PyObject* const* args, Py_ssize_t nargs,
                                                   PyObject* kwnames) {
    // Most calls pass one exact str of ASCII characters by position and no
    // keyword: then nothing can be wrong with the arguments, the str's
    // characters are its UTF-8 bytes, and every switch takes its default.
    // A short name (nearly all) needs no NormalizedDomain either.
    if (Signature.positional.size() == 1 && nargs == 1 && kwnames == nullptr &&
        PyUnicode_CheckExact(args[0]) && PyUnicode_IS_COMPACT_ASCII(args[0])) {
        return call_frame([&]() -> PyObject* {
            static constexpr CallArguments kDefaults = default_call(Signature);
            const std::string_view domain{
                static_cast<const char*>(PyUnicode_DATA(args[0])),
                static_cast<std::size_t>(PyUnicode_GET_LENGTH(args[0]))};
            if constexpr (kShortPath) {
                ShortMatch match;
                std::string_view given = domain;
                switch (match_short<kRootEdges>(
                    tables, given, Switches{kDefaults.accept_unknown, kDefaults.icann_only},
                    match)) {
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
            return answer_for<answer, kPredicate>(tables, call);
        });
    }
    return call_frame([&] {
        return answer_for<answer, kPredicate>(tables,
                                              call_arguments(Signature, args, nargs, kwnames));
    });
}

// The entry of one question for Source, which says where a call's tables
// come from: Source::call<Signature, answer, kShortPath, kPredicate>(self,
// args, nargs, kwnames) runs answer_call with the tables `self` stands for.
template <class Source, const FunctionSignature& Signature, Answer answer, bool kShortPath,
          bool kPredicate>
PyObject* entry(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return Source::template call<Signature, answer, kShortPath, kPredicate>(self, args, nargs,
                                                                           kwnames);
}

// The six records, in the order of vexlo._lookup's __all__, with the
// docstrings of functions, or (kMethod) of methods.
template <class Source, bool kMethod>
std::array<PyMethodDef, 6> records() {
    using Docs = Docstrings<kMethod>;
    return {{
        {"publicsuffix",
         as_cfunction(entry<Source, kPublicsuffix, publicsuffix_answer, true, false>), kCallFlags,
         Docs::publicsuffix.data()},
        {"privatesuffix",
         as_cfunction(entry<Source, kPrivatesuffix, privatesuffix_answer, true, false>), kCallFlags,
         Docs::privatesuffix.data()},
        {"is_public", as_cfunction(entry<Source, kIsPublic, is_public_answer, true, true>),
         kCallFlags, Docs::is_public.data()},
        {"is_private", as_cfunction(entry<Source, kIsPrivate, is_private_answer, true, true>),
         kCallFlags, Docs::is_private.data()},
        {"privateparts",
         as_cfunction(entry<Source, kPrivateparts, privateparts_answer, false, false>), kCallFlags,
         Docs::privateparts.data()},
        {"subdomain", as_cfunction(entry<Source, kSubdomain, subdomain_answer, false, false>),
         kCallFlags, Docs::subdomain.data()},
    }};
}

}  // namespace
}  // namespace vexlo::python::questions
