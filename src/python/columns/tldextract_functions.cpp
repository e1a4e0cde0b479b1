// vexlo.tldextract's private functions: an extractor's rules made once
// (a capsule), and tldextract's answer for one text from them, made as an
// ExtractResult without running Python code: the object is allocated as
// object.__new__ allocates it and its five fields set as the dataclass's
// __init__ sets them, in the same order.
#include <Python.h>

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "list_file/trie_rules.h"
#include "python/argument_conversion.h"
#include "python/boundary.h"
#include "python/columns/function_tables.h"
#include "python/columns/object_capsule.h"
#include "python/columns/rules_type.h"
#include "python/function_signature.h"
#include "python/held_reference.h"
#include "python/module_setup.h"
#include "python/results.h"
#include "python/type_errors.h"
#include "tldextract/host_split.h"
#include "tldextract/ip_address.h"
#include "tldextract/suffix_rules.h"

namespace vexlo::python {
namespace {

// The dataclass's fields, in its order.
constexpr const char* kFieldNames[] = {"subdomain", "domain", "suffix", "is_private",
                                       "registry_suffix"};

// What one extractor answers from and with.
class Extractor {
public:
    Extractor(PyObject* rules, PyObject* result_type,
              std::unique_ptr<tldextract::SuffixRules> suffixes)
        : rules_(Py_NewRef(rules)), result_type_(Py_NewRef(result_type)),
          suffixes_(std::move(suffixes)) {}
    ~Extractor() {
        Py_DECREF(rules_);
        Py_DECREF(result_type_);
        for (PyObject* name : names_) Py_XDECREF(name);
    }
    Extractor(const Extractor&) = delete;
    Extractor& operator=(const Extractor&) = delete;

    // The field names, interned; false with the interpreter's exception set.
    bool intern_names() {
        for (std::size_t i = 0; i < names_.size(); ++i) {
            names_[i] = PyUnicode_InternFromString(kFieldNames[i]);
            if (names_[i] == nullptr) return false;
        }
        return true;
    }

    const tldextract::SuffixRules& suffixes() const noexcept { return *suffixes_; }
    PyTypeObject* result_type() const noexcept {
        return reinterpret_cast<PyTypeObject*>(result_type_);
    }
    PyObject* name(std::size_t field) const noexcept { return names_[field]; }

private:
    PyObject* rules_;  // the Rules (or None) whose tables suffixes_ reads
    PyObject* result_type_;
    std::unique_ptr<tldextract::SuffixRules> suffixes_;
    std::array<PyObject*, std::size(kFieldNames)> names_{};
};

constexpr char kExtractorCapsuleName[] = "vexlo.tldextract.Extractor";
using ExtractorCapsule = ObjectCapsule<Extractor, kExtractorCapsuleName>;

// The UTF-8 of a str, surrogates included: tldextract takes any str, so a
// lone surrogate is written as "surrogatepass" writes it (three bytes that
// are no well-formed UTF-8, which no rule matches and no cut looks into).
struct Utf8Text {
    std::string_view text;
    bool ascii = false;
    bool surrogates = false;
    PyObject* bytes = nullptr;  // owned, holding `text` when surrogates
    ~Utf8Text() { Py_XDECREF(bytes); }
};

bool read_text(PyObject* object, std::string_view parameter, Utf8Text& out, PyError& error) {
    if (!PyUnicode_Check(object)) {
        error = annotate_argument_error(parameter, not_an_instance(object, "str"));
        return false;
    }
    out.ascii = PyUnicode_IS_ASCII(object);
    Py_ssize_t size = 0;
    if (const char* utf8 = PyUnicode_AsUTF8AndSize(object, &size)) {
        out.text = {utf8, static_cast<std::size_t>(size)};
        return true;
    }
    if (!PyErr_ExceptionMatches(PyExc_UnicodeEncodeError)) {
        error = take_pending_exception();
        return false;
    }
    PyErr_Clear();
    out.bytes = PyUnicode_AsEncodedString(object, "utf-8", "surrogatepass");
    if (out.bytes == nullptr) {
        error = take_pending_exception();
        return false;
    }
    out.text = {PyBytes_AS_STRING(out.bytes), static_cast<std::size_t>(PyBytes_GET_SIZE(out.bytes))};
    out.surrogates = true;
    return true;
}

// A field's str: the text given itself when the field is all of it.
PyObject* field_str(std::string_view field, PyObject* given, const Utf8Text& text) {
    if (field.data() == text.text.data() && field.size() == text.text.size() &&
        PyUnicode_CheckExact(given)) {
        return Py_NewRef(given);
    }
    if (text.surrogates) {
        return created(PyUnicode_DecodeUTF8(field.data(), static_cast<Py_ssize_t>(field.size()),
                                            "surrogatepass"));
    }
    return str_result(field, text.ascii);
}

PyObject* extract_result(const Extractor& extractor, const tldextract::HostParts& parts,
                         PyObject* given, const Utf8Text& text, PyError& error) {
    PyTypeObject* type = extractor.result_type();
    Owned result(created(type->tp_alloc(type, 0)));
    Owned suffix(field_str(parts.suffix, given, text));
    // The registry suffix of a public rule is the suffix's very str, as in
    // tldextract.
    const bool same = parts.registry_suffix.data() == parts.suffix.data() &&
                      parts.registry_suffix.size() == parts.suffix.size();
    Owned registry(same ? Py_NewRef(suffix.get()) : field_str(parts.registry_suffix, given, text));
    Owned subdomain(field_str(parts.subdomain, given, text));
    Owned domain(field_str(parts.domain, given, text));
    PyObject* const values[] = {subdomain.get(), domain.get(), suffix.get(),
                                parts.is_private ? Py_True : Py_False, registry.get()};
    for (std::size_t i = 0; i < std::size(values); ++i) {
        if (PyObject_SetAttr(result.get(), extractor.name(i), values[i]) < 0) {
            error = take_pending_exception();
            return nullptr;
        }
    }
    return Py_NewRef(result.get());
}

constexpr std::string_view kRulesParameters[] = {"rules", "extra_suffixes", "result_type"};
constexpr std::string_view kSplitParameters[] = {"extractor", "url", "include_psl_private_domains"};
constexpr std::string_view kNetlocParameters[] = {"extractor", "netloc",
                                                  "include_psl_private_domains"};
constexpr std::string_view kTextParameter[] = {"text"};
constexpr std::string_view kSuffixesParameters[] = {"rules", "include_psl_private_domains"};

constexpr FunctionSignature kExtractorRules = positional_only("_tldextract_rules", kRulesParameters);
constexpr FunctionSignature kSplit = positional_only("_tldextract_split", kSplitParameters);
constexpr FunctionSignature kSplitNetloc =
    positional_only("_tldextract_split_netloc", kNetlocParameters);
constexpr FunctionSignature kIpVersion = positional_only("_tldextract_ip_version", kTextParameter);
constexpr FunctionSignature kSuffixes = positional_only("_tldextract_suffixes", kSuffixesParameters);

// _tldextract_rules(rules, extra_suffixes, result_type, /)
PyObject* extractor_rules(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_frame([&](PyError& error) -> PyObject* {
        PyObject* slots[3] = {};
        const RuleTables* tables = nullptr;
        if (!extract_arguments(kExtractorRules, args, nargs, kwnames, slots, error) ||
            !extract_rules(slots[0], kRulesParameters[0], tables, error)) {
            return nullptr;
        }
        if (!PyTuple_Check(slots[1])) {
            error = annotate_argument_error(kRulesParameters[1], not_an_instance(slots[1], "tuple"));
            return nullptr;
        }
        std::vector<std::string_view> extras;
        for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(slots[1]); ++i) {
            std::string_view extra;
            if (!extract_str(PyTuple_GET_ITEM(slots[1], i), kRulesParameters[1], extra, error)) {
                return nullptr;
            }
            extras.push_back(extra);
        }
        if (!PyType_Check(slots[2])) {
            error = annotate_argument_error(kRulesParameters[2], not_an_instance(slots[2], "type"));
            return nullptr;
        }
        auto made = tldextract::SuffixRules::make(*tables, extras);
        if (std::string* refused = std::get_if<std::string>(&made)) {
            error = value_error(std::move(*refused));
            return nullptr;
        }
        auto extractor = std::make_unique<Extractor>(
            slots[0], slots[2], std::move(std::get<std::unique_ptr<tldextract::SuffixRules>>(made)));
        if (!extractor->intern_names()) {
            error = take_pending_exception();
            return nullptr;
        }
        return ExtractorCapsule::make(std::move(extractor), error);
    });
}

// The answer for a URL or a netloc: the body of both entries.
PyObject* split_call(const FunctionSignature& signature, tldextract::TextKind kind,
                     PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_frame([&](PyError& error) -> PyObject* {
        PyObject* slots[3] = {};
        if (nargs == 3 && kwnames == nullptr) {
            slots[0] = args[0], slots[1] = args[1], slots[2] = args[2];
        } else if (!extract_arguments(signature, args, nargs, kwnames, slots, error)) {
            return nullptr;
        }
        const Extractor* extractor =
            ExtractorCapsule::read(slots[0], signature.positional[0], error);
        Utf8Text text;
        if (extractor == nullptr || !read_text(slots[1], signature.positional[1], text, error)) {
            return nullptr;
        }
        // Taken by truth, as tldextract takes it.
        const int include_private = slots[2] == Py_False ? 0 : slots[2] == Py_True ? 1 : PyObject_IsTrue(slots[2]);
        if (include_private < 0) {
            error = annotate_argument_error(signature.positional[2], take_pending_exception());
            return nullptr;
        }
        const tldextract::SuffixRules& suffixes = extractor->suffixes();
        const tldextract::HostSplit split(text.text, kind, suffixes.tables(),
                                          suffixes.index().facts(include_private != 0));
        return extract_result(*extractor, split.parts(), slots[1], text, error);
    });
}

// _tldextract_split(extractor, url, include_psl_private_domains, /)
PyObject* split(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return split_call(kSplit, tldextract::TextKind::kUrl, args, nargs, kwnames);
}

// _tldextract_split_netloc(extractor, netloc, include_psl_private_domains, /)
PyObject* split_netloc(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return split_call(kSplitNetloc, tldextract::TextKind::kAuthority, args, nargs, kwnames);
}

// _tldextract_ip_version(text, /)
PyObject* ip_version(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_frame([&](PyError& error) -> PyObject* {
        PyObject* slots[1] = {};
        Utf8Text text;
        if (!extract_arguments(kIpVersion, args, nargs, kwnames, slots, error) ||
            !read_text(slots[0], kTextParameter[0], text, error)) {
            return nullptr;
        }
        const long version = tldextract::looks_like_ipv4(text.text)   ? 4
                             : tldextract::looks_like_ipv6(text.text) ? 6
                                                                      : 0;
        return created(PyLong_FromLong(version));
    });
}

// _tldextract_suffixes(rules, include_psl_private_domains, /)
PyObject* suffixes(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_frame([&](PyError& error) -> PyObject* {
        PyObject* slots[2] = {};
        const RuleTables* tables = nullptr;
        bool include_private = false;
        if (!extract_arguments(kSuffixes, args, nargs, kwnames, slots, error) ||
            !extract_rules(slots[0], kSuffixesParameters[0], tables, error) ||
            !extract_bool(slots[1], kSuffixesParameters[1], include_private, error)) {
            return nullptr;
        }
        std::string names;
        const list_file::ParsedList listed =
            list_file::rules_of_trie(tables->trie(), tables->listed_spellings(), names);
        Owned list(created(PyList_New(0)));
        std::string rule;
        for (const list_file::ListRule& r : listed.rules) {
            if (!include_private && r.section != list_file::Section::icann) continue;
            rule = r.kind == list_file::RuleKind::exception  ? "!"
                   : r.kind == list_file::RuleKind::wildcard ? "*."
                                                             : "";
            rule += r.name;
            Owned text(str_result(rule, false));
            if (PyList_Append(list.get(), text.get()) < 0) {
                error = take_pending_exception();
                return nullptr;
            }
        }
        return Py_NewRef(list.get());
    });
}

PyMethodDef function_records[] = {
    {"_tldextract_rules", as_cfunction(extractor_rules), kCallFlags,
     "_tldextract_rules(rules, extra_suffixes, result_type, /)\n--\n\n"
     "What a vexlo.tldextract extractor answers from: the *rules* (a Rules, or\n"
     "None for the compiled list) with the *extra_suffixes* (a tuple of str,\n"
     "written as lines of a list file) on top, answering with instances of\n"
     "*result_type*; ValueError naming a faulty extra suffix."},
    {"_tldextract_split", as_cfunction(split), kCallFlags,
     "_tldextract_split(extractor, url, include_psl_private_domains, /)\n--\n\n"
     "tldextract's ExtractResult for *url* (a str), from *extractor*."},
    {"_tldextract_split_netloc", as_cfunction(split_netloc), kCallFlags,
     "_tldextract_split_netloc(extractor, netloc, include_psl_private_domains, /)\n--\n\n"
     "tldextract's ExtractResult for the *netloc* of a parsed URL."},
    {"_tldextract_ip_version", as_cfunction(ip_version), kCallFlags,
     "_tldextract_ip_version(text, /)\n--\n\n"
     "4 when *text* looks like an IPv4 address to tldextract, 6 when like an\n"
     "IPv6 one, else 0."},
    {"_tldextract_suffixes", as_cfunction(suffixes), kCallFlags,
     "_tldextract_suffixes(rules, include_psl_private_domains, /)\n--\n\n"
     "The rules of *rules* (a Rules, or None for the compiled list) as the list\n"
     "writes them, those of its ICANN section only unless\n"
     "*include_psl_private_domains*."},
};

}  // namespace

std::span<PyMethodDef> tldextract_functions() { return function_records; }

}  // namespace vexlo::python
