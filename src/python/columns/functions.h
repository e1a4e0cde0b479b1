// The functions of vexlo._columns, each in the file of its concern, and
// their parameters, declared once: for placing their arguments, and for the
// docstrings of the module's one method table (module.cpp).
#pragma once

#include <Python.h>

#include <string_view>

#include "python/arguments.h"
#include "python/question_parameters.h"

namespace vexlo::python {

// A vectorcall entry with keywords: (module, args, nargs, kwnames).
using Entry = PyObject*(PyObject*, PyObject* const*, Py_ssize_t, PyObject*);

// _add_column_functions(module, /): the column functions, made the given
// module's own (column_functions.cpp).
inline constexpr std::string_view kAddColumnFunctionsParameters[] = {"module"};
inline constexpr FunctionSignature kAddColumnFunctions =
    positional_only("_add_column_functions", kAddColumnFunctionsParameters);
Entry add_column_functions;

// The command line's rows (line_functions.cpp).
inline constexpr std::string_view kLineFormatParameters[] = {
    "fields", "json", "depth", "accept_unknown", "icann_only", "keep_case", "urls"};
inline constexpr FunctionSignature kLineFormat =
    positional_only("_line_format", kLineFormatParameters);
inline constexpr std::string_view kAnswerLinesParameters[] = {"block", "at_end", "format",
                                                              "threads", "rules"};
inline constexpr FunctionSignature kAnswerLines =
    positional_only("_answer_lines", kAnswerLinesParameters);
inline constexpr std::string_view kAnswerNameParameters[] = {"name", "format", "rules"};
inline constexpr FunctionSignature kAnswerName =
    positional_only("_answer_name", kAnswerNameParameters);
Entry line_format, answer_lines, answer_name;

// Rules objects (rules_type.cpp).
inline constexpr std::string_view kLoadRulesParameters[] = {"data", "extra"};
inline constexpr FunctionSignature kLoadRules = positional_only("_load_rules", kLoadRulesParameters);
inline constexpr FunctionSignature kCompiledRules = positional_only("_compiled_rules", {});
Entry load_rules, compiled_rules;

// vexlo.host (host_function.cpp): one text at a time.
inline constexpr std::string_view kTextOnly[] = {"text"};
inline constexpr FunctionSignature kHost{"host", kTextOnly, 1, kHostSwitches};
Entry host_function;

// vexlo.tldextract's own (tldextract_functions.cpp): what an extractor
// answers from, and the helpers of its ExtractResult and tlds; and the base
// class of its TLDExtract, whose calls answer in C.
inline constexpr std::string_view kTLDExtractRulesParameters[] = {"rules", "extra_suffixes",
                                                                  "result_type"};
inline constexpr FunctionSignature kTLDExtractRules =
    positional_only("_tldextract_rules", kTLDExtractRulesParameters);
inline constexpr FunctionSignature kTLDExtractIpVersion =
    positional_only("_tldextract_ip_version", kTextOnly);
inline constexpr std::string_view kTLDExtractSuffixesParameters[] = {
    "rules", "include_psl_private_domains"};
inline constexpr FunctionSignature kTLDExtractSuffixes =
    positional_only("_tldextract_suffixes", kTLDExtractSuffixesParameters);
Entry tldextract_rules, tldextract_ip_version, tldextract_suffixes;
// The type, made ready for the process on first use; null with the
// interpreter's exception set when it cannot be.
PyTypeObject* tldextract_base_type() noexcept;

}  // namespace vexlo::python
