// extract as a callable of Python: vexlo.extract, which answers from the
// compiled list, and Rules.extract, which answers from the rules it is
// called on. One signature, docstring and entry for both; where the tables
// come from is the caller's.
#pragma once

#include <Python.h>

#include <array>
#include <optional>
#include <string_view>

#include "extract/text_extraction.h"
#include "normalize/utf8_check.h"
#include "python/arguments.h"
#include "python/boundary.h"
#include "python/question_parameters.h"
#include "python/questions/extracted_record.h"
#include "rules/rule_tables.h"

// Internal linkage, as question_functions.h: each file that includes this
// header makes its own entry.
namespace vexlo::python::questions {
namespace {

inline constexpr std::string_view kExtractPositional[] = {"text"};
inline constexpr FunctionSignature kExtract{"extract", kExtractPositional, 1, kExtractSwitches};

inline constexpr std::string_view kExtractText =
    "Return every part of the host name in *text* (a URL, an e-mail address or a\n"
    "host name) as an Extracted record: host, prefix, domain, publicsuffix,\n"
    "privatesuffix, section, rule, icann_publicsuffix and icann_privatesuffix,\n"
    "None where there is no such part.";

// The switches from `slots` (null: each one's default), in declaration order.
constexpr ExtractOptions extract_options(PyObject* const* slots) {
    ExtractOptions options;
    bool* const switches[] = {&options.keep_ip, &options.accept_unknown, &options.keep_case};
    take_switches(kExtractSwitches, slots, switches);
    return options;
}

// The record for `text`, the UTF-8 of a str; `ascii`: the str is ASCII, and
// so is every field cut from it.
inline PyObject* extract_record(const RuleTables& tables, std::string_view text, bool ascii,
                                const ExtractOptions& options) {
    const TextExtraction extraction(text, tables, options);
    const std::optional<std::string_view>(&fields)[kExtractFieldCount] = extraction.fields().texts;
    bool ascii_fields[kExtractFieldCount];
    for (std::size_t i = 0; i < kExtractFieldCount; ++i) ascii_fields[i] = ascii;
    // The rule is spelled as the list spells it, which an ASCII name may not
    // be (the Unicode rule of an "xn--" name).
    constexpr auto kRule = static_cast<std::size_t>(ExtractField::kRule);
    static_assert(!TextExtraction::from_text(ExtractField::kRule));
    ascii_fields[kRule] = fields[kRule] && is_ascii(*fields[kRule]);
    return extracted_record(fields, ascii_fields);
}

// One call of extract over `tables`.
inline PyObject* call_extract(const RuleTables& tables, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) {
    // The common call: one exact str of ASCII characters, no keyword.
    if (nargs == 1 && kwnames == nullptr && PyUnicode_CheckExact(args[0]) &&
        PyUnicode_IS_COMPACT_ASCII(args[0])) {
        return call_frame([&]() -> PyObject* {
            const std::string_view text{static_cast<const char*>(PyUnicode_DATA(args[0])),
                                        static_cast<std::size_t>(PyUnicode_GET_LENGTH(args[0]))};
            static constexpr ExtractOptions kDefaults = extract_options(nullptr);
            return extract_record(tables, text, true, kDefaults);
        });
    }
    return call_frame([&] {
        std::array<PyObject*, 4> slots{};
        extract_arguments(kExtract, args, nargs, kwnames, slots);
        const std::string_view text = str_argument(slots[0], kExtractPositional[0]);
        return extract_record(tables, text, PyUnicode_IS_ASCII(slots[0]),
                              extract_options(slots.data() + 1));
    });
}

}  // namespace
}  // namespace vexlo::python::questions
