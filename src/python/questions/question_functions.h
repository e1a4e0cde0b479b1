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

// Each question's signature and what its docstring says after the text
// signature, in the order of Question.
struct Declaration {
    const FunctionSignature& signature;
    std::string_view text;
};
inline constexpr Declaration kDeclarations[] = {
    {kPublicsuffix, "Return the longest public suffix of *domain*, or None if it has none."},
    {kPrivatesuffix,
     "Return the private suffix of *domain*: the public suffix plus one label.\n"
     "None if *domain* is entirely public, or invalid."},
    {kIsPublic, "Return whether *domain* is entirely a public suffix."},
    {kIsPrivate, "Return whether *domain* is a private suffix or a subdomain of one."},
    {kPrivateparts,
     "Return a tuple of the subdomain labels of *domain* followed by its private\n"
     "suffix, or None if it has no private suffix."},
    {kSubdomain,
     "Return the suffix of *domain* reaching *depth* labels beyond its private\n"
     "suffix, or None if *domain* has too few labels. Depth 0 is the private\n"
     "suffix itself."},
};

template <Question Q>
inline constexpr const Declaration& kDeclared = kDeclarations[static_cast<std::size_t>(Q)];

// The docstring of question Q's function, or (kMethod) of its Rules method.
template <Question Q, bool kMethod>
inline constexpr auto kDocstring =
    docstring<kDeclared<Q>.signature, kMethod, kDeclared<Q>.text.size()>(kDeclared<Q>.text);

constexpr bool is_predicate(Question q) { return q == Question::kIsPublic || q == Question::kIsPrivate; }

// What question Q answers for the match of a valid domain. `ascii`: the
// domain is ASCII, and so is every text cut from it.
template <Question Q>
[[gnu::always_inline]] inline PyObject* answer(const CallArguments& call, const MatchView& match,
                                               bool ascii) {
    if constexpr (Q == Question::kIsPublic) return bool_result(is_public(match));
    if constexpr (Q == Question::kIsPrivate) return bool_result(is_private(match));
    if constexpr (Q == Question::kPrivateParts) {
        return privateparts_result(privateparts(match, call.keep_case), ascii);
    }
    if constexpr (!is_predicate(Q) && Q != Question::kPrivateParts) {
        return optional_str_result(text_answer(Q, match, call.keep_case, call.depth), ascii);
    }
}

template <Question Q>
PyObject* answer_for(const RuleTables& tables, const CallArguments& call) {
    const std::optional<Match> match =
        match_domain(call.domain, tables, Switches{call.accept_unknown, call.icann_only});
    if (!match) return is_predicate(Q) ? bool_result(false) : none_result();
    return answer<Q>(call, match->view(), call.domain_is_ascii);
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

// One call of question Q over `tables`: its arguments, one match, its
// answer; an invalid domain gives False from the predicates and None from
// the others. kRootEdges: the root's edge count of `tables` when known when
// compiling.
template <Question Q, std::size_t kRootEdges>
[[gnu::always_inline]] inline PyObject* answer_call(const RuleTables& tables,
                                                   PyObject* const* args, Py_ssize_t nargs,
                                                   PyObject* kwnames) {
    constexpr const FunctionSignature& kSignature = kDeclared<Q>.signature;
    // Most calls pass one exact str of ASCII characters by position and no
    // keyword: then nothing can be wrong with the arguments, the str's
    // characters are its UTF-8 bytes, and every switch takes its default.
    // A short name (nearly all) needs no NormalizedDomain either, but for
    // privateparts and subdomain, whose answers need the whole name.
    if (kSignature.positional.size() == 1 && nargs == 1 && kwnames == nullptr &&
        PyUnicode_CheckExact(args[0]) && PyUnicode_IS_COMPACT_ASCII(args[0])) {
        return call_frame([&]() -> PyObject* {
            static constexpr CallArguments kDefaults = default_call(kSignature);
            const std::string_view domain{
                static_cast<const char*>(PyUnicode_DATA(args[0])),
                static_cast<std::size_t>(PyUnicode_GET_LENGTH(args[0]))};
            if constexpr (Q != Question::kPrivateParts) {
                ShortMatch match;
                std::string_view given = domain;
                switch (match_short<kRootEdges>(
                    tables, given, Switches{kDefaults.accept_unknown, kDefaults.icann_only},
                    match)) {
                    case ShortOutcome::kMatched:
                        return answer<Q>(kDefaults, match.view(given), true);
                    case ShortOutcome::kInvalid:
                        return is_predicate(Q) ? bool_result(false) : none_result();
                    case ShortOutcome::kOther:
                        break;
                }
            }
            CallArguments call = kDefaults;
            call.domain = domain;
            call.domain_is_ascii = true;
            return answer_for<Q>(tables, call);
        });
    }
    return call_frame(
        [&] { return answer_for<Q>(tables, call_arguments(kSignature, args, nargs, kwnames)); });
}

// The entry of question Q for Source, which says where a call's tables come
// from: Source::call<Q>(self, args, nargs, kwnames) runs answer_call with the
// tables `self` stands for.
template <class Source, Question Q>
PyObject* entry(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return Source::template call<Q>(self, args, nargs, kwnames);
}

template <class Source, Question Q, bool kMethod>
PyMethodDef record() {
    return {kDeclared<Q>.signature.function_name.data(), as_cfunction(entry<Source, Q>), kCallFlags,
            kDocstring<Q, kMethod>.data()};
}

// The six records, in the order of vexlo._lookup's __all__, with the
// docstrings of functions, or (kMethod) of methods.
template <class Source, bool kMethod>
std::array<PyMethodDef, 6> records() {
    return {record<Source, Question::kPublicSuffix, kMethod>(),
            record<Source, Question::kPrivateSuffix, kMethod>(),
            record<Source, Question::kIsPublic, kMethod>(),
            record<Source, Question::kIsPrivate, kMethod>(),
            record<Source, Question::kPrivateParts, kMethod>(),
            record<Source, Question::kSubdomain, kMethod>()};
}

}  // namespace
}  // namespace vexlo::python::questions
