// The six questions as callables of Python: the module functions of
// vexlo._lookup, which answer from the compiled tables, and the methods of
// vexlo.Rules, which answer from the rules they are called on. One set of
// signatures, docstrings, entries and answers serves both; where the tables
// come from is a template argument.
#pragma once

#include <Python.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "common/dots.h"
#include "python/boundary.h"
#include "python/arguments.h"
#include "python/module_setup.h"
#include "python/question_parameters.h"
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

// Each question's signature, in the order of Question.
inline constexpr const FunctionSignature* kSignatures[] = {
    &kPublicsuffix, &kPrivatesuffix, &kIsPublic, &kIsPrivate, &kPrivateparts, &kSubdomain};

// The arguments of one call as plain values, converted in parameter order:
// domain, depth (subdomain only), then the switches; those a function lacks
// keep the values here.
struct CallArguments {
    std::string_view domain;
    bool domain_is_ascii = false;  // then every text cut from it is ASCII too
    std::uint64_t depth = 0;
    bool accept_unknown = true;
    bool icann_only = false;
    bool keep_case = false;

    // Every function declares its switches in this order; is_public and
    // is_private stop before keep_case. Null `slots`: each one's default.
    constexpr void take_switches(const FunctionSignature& signature, PyObject* const* slots) {
        bool* const switches[] = {&accept_unknown, &icann_only, &keep_case};
        python::take_switches(signature.keyword_only, slots, switches);
    }
};

constexpr bool is_predicate(Question q) { return q == Question::kIsPublic || q == Question::kIsPrivate; }

// What question Q answers for the match of a valid domain. `ascii`: the
// domain is ASCII, and so is every text cut from it.
template <Question Q>
[[gnu::always_inline]] inline PyObject* answer(const CallArguments& call, const MatchView& match,
                                               bool ascii) {
    if constexpr (Q == Question::kIsPublic) return bool_result(is_public(match));
    if constexpr (Q == Question::kIsPrivate) return bool_result(is_private(match));
    if constexpr (Q == Question::kPrivateParts) {
        // A tuple of the subdomain labels, then the private suffix.
        const std::optional<PrivateParts> parts = privateparts(match, call.keep_case);
        if (!parts) return none_result();
        const std::size_t items = parts->subdomain_count + 1;
        const char* label = parts->subdomains.data();
        const char* const end = label + parts->subdomains.size();
        return created(make_tuple(items, [&](std::size_t i) {
            if (i + 1 == items) return new_str(parts->private_suffix, ascii);
            const char* const label_end = next_dot(parts->subdomains.data(), label, end);
            const std::string_view text{label, static_cast<std::size_t>(label_end - label)};
            label = label_end + 1;
            return new_str(text, ascii);
        }));
    }
    if constexpr (!is_predicate(Q) && Q != Question::kPrivateParts) {
        const std::optional<std::string_view> text =
            text_answer(Q, match, call.keep_case, call.depth);
        return text ? str_result(*text, ascii) : none_result();
    }
}

template <Question Q>
PyObject* answer_for(const RuleTables& tables, const CallArguments& call) {
    const std::optional<Match> match =
        match_domain(call.domain, tables, Switches{call.accept_unknown, call.icann_only});
    if (!match) return is_predicate(Q) ? bool_result(false) : none_result();
    return answer<Q>(call, match->view(), call.domain_is_ascii);
}

// The whole extraction: placement, domain, depth (when the function has it),
// then the switches. Throws at the first problem.
CallArguments call_arguments(const FunctionSignature& signature, PyObject* const* args,
                             Py_ssize_t nargs, PyObject* kwnames) {
    const std::size_t positional_count = signature.positional.size();
    std::array<PyObject*, 5> slots{};  // domain, depth and the three switches at most
    extract_arguments(signature, args, nargs, kwnames, slots);
    CallArguments call;
    call.domain = extract_domain(slots[0]);
    call.domain_is_ascii = PyUnicode_IS_ASCII(slots[0]);
    if (positional_count == 2) call.depth = extract_depth(slots[1]);
    call.take_switches(signature, slots.data() + positional_count);
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
    constexpr const FunctionSignature& kSignature = *kSignatures[static_cast<std::size_t>(Q)];
    // Most calls pass an exact str of ASCII characters and (subdomain) a depth
    // by position, and no keyword: then nothing can be wrong with the
    // placement, the str's characters are its UTF-8 bytes, and every switch
    // takes its default. A short name (nearly all) needs no NormalizedDomain
    // either, but for privateparts and subdomain, whose answers need the
    // whole name.
    if (static_cast<std::size_t>(nargs) == kSignature.positional.size() && kwnames == nullptr &&
        PyUnicode_CheckExact(args[0]) && PyUnicode_IS_COMPACT_ASCII(args[0])) {
        return call_frame([&]() -> PyObject* {
            static constexpr CallArguments kDefaults = [] {
                CallArguments defaults;
                defaults.take_switches(kSignature, nullptr);
                return defaults;
            }();
            const std::string_view domain{
                static_cast<const char*>(PyUnicode_DATA(args[0])),
                static_cast<std::size_t>(PyUnicode_GET_LENGTH(args[0]))};
            if constexpr (Q != Question::kPrivateParts && Q != Question::kSubdomain) {
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
            if constexpr (Q == Question::kSubdomain) call.depth = extract_depth(args[1]);
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

// The six questions with the entries for Source, in the order of Question
// (that of vexlo._lookup's __all__), and what each one's docstring says after
// its text signature.
template <class Source>
inline constexpr FunctionDeclaration kQuestions[] = {
    {kPublicsuffix, entry<Source, Question::kPublicSuffix>,
     "Return the longest public suffix of *domain*, or None if it has none."},
    {kPrivatesuffix, entry<Source, Question::kPrivateSuffix>,
     "Return the private suffix of *domain*: the public suffix plus one label.\n"
     "None if *domain* is entirely public, or invalid."},
    {kIsPublic, entry<Source, Question::kIsPublic>,
     "Return whether *domain* is entirely a public suffix."},
    {kIsPrivate, entry<Source, Question::kIsPrivate>,
     "Return whether *domain* is a private suffix or a subdomain of one."},
    {kPrivateparts, entry<Source, Question::kPrivateParts>,
     "Return a tuple of the subdomain labels of *domain* followed by its private\n"
     "suffix, or None if it has no private suffix."},
    {kSubdomain, entry<Source, Question::kSubdomain>,
     "Return the suffix of *domain* reaching *depth* labels beyond its private\n"
     "suffix, or None if *domain* has too few labels. Depth 0 is the private\n"
     "suffix itself."},
};

}  // namespace
}  // namespace vexlo::python::questions
