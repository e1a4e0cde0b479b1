// vexlo.tldextract's glue: what an extractor answers from, made once (a
// capsule); the base class of its TLDExtract, whose calls answer in C; and
// the helpers of its ExtractResult and tlds. An answer is made as an
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
#include "python/process_once.h"
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

ProcessOnce read_once;
ProcessOnce netloc_once;

// Names looked up on every first call, interned once for the process.
PyObject* read_name() {
    return created(read_once.get([] { return PyUnicode_InternFromString("_read"); }));
}
PyObject* netloc_name() {
    return created(netloc_once.get([] { return PyUnicode_InternFromString("netloc"); }));
}

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

// Sets a field as the dataclass's __init__ does. Its class sets attributes
// as object does (no __setattr__ of its own), so the name, interned already,
// goes straight there.
int set_field(PyObject* result, PyObject* name, PyObject* value) {
    if (Py_TYPE(result)->tp_setattro == PyObject_GenericSetAttr) {
        return PyObject_GenericSetAttr(result, name, value);
    }
    return PyObject_SetAttr(result, name, value);
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
        if (set_field(result.get(), extractor.name(i), values[i]) < 0) {
            error = take_pending_exception();
            return nullptr;
        }
    }
    return Py_NewRef(result.get());
}

constexpr std::string_view kRulesParameters[] = {"rules", "extra_suffixes", "result_type"};
constexpr std::string_view kTextParameter[] = {"text"};
constexpr std::string_view kSuffixesParameters[] = {"rules", "include_psl_private_domains"};

constexpr FunctionSignature kExtractorRules = positional_only("_tldextract_rules", kRulesParameters);
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

// The base class of vexlo.tldextract.TLDExtract: the extractor that
// answers (the capsule of _tldextract_rules, or None until the list is
// read) and include_psl_private_domains as it was then, both set by the
// Python class; and the calls, which answer from them without running
// Python code, and ask the Python class's _read(session) to read the list
// on the first call.
struct BaseObject {
    PyObject_HEAD
    PyObject* extractor;        // None (or null, deleted): not read yet
    PyObject* private_default;  // null (deleted): False
    vectorcallfunc vectorcall;
};

BaseObject* as_base(PyObject* self) { return reinterpret_cast<BaseObject*>(self); }

constexpr std::string_view kCallParameters[] = {"url", "include_psl_private_domains", "session"};
constexpr FunctionSignature kCall{"__call__", kCallParameters, 1};
constexpr FunctionSignature kExtractStr{"extract_str", kCallParameters, 1};
constexpr FunctionSignature kExtractUrllib{"extract_urllib", kCallParameters, 1};
constexpr FunctionSignature kModuleExtract{"extract", kCallParameters, 1};

// What a call leaves out of include_psl_private_domains stands for: the
// extractor's own (the methods), or False (the module's extract, which
// passes None on as the extractor's own).
enum class Omitted : bool { kOwn, kFalse };

// The answer for a URL (or the netloc of a parsed one), from what the
// extractor `self` answers from.
PyObject* answer_call(PyObject* self, const FunctionSignature& signature, tldextract::TextKind kind,
                      Omitted omitted, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_frame([&](PyError& error) -> PyObject* {
        PyObject* slots[3] = {};
        if (kwnames == nullptr && nargs >= 1 && nargs <= 3) {
            for (Py_ssize_t i = 0; i < nargs; ++i) slots[i] = args[i];
        } else if (!extract_arguments(signature, args, nargs, kwnames, slots, error)) {
            return nullptr;
        }
        BaseObject* base = as_base(self);
        // Held for the call: a finalizer run while the answer is made could
        // make the extractor forget it.
        Owned capsule(base->extractor != nullptr && base->extractor != Py_None
                          ? Py_NewRef(base->extractor)
                          : PyObject_CallMethodOneArg(self, read_name(),
                                                      slots[2] != nullptr ? slots[2] : Py_None));
        if (capsule.get() == nullptr) {
            error = take_pending_exception();
            return nullptr;
        }
        const Extractor* extractor = ExtractorCapsule::read(capsule.get(), "_extractor", error);
        if (extractor == nullptr) return nullptr;
        // None takes the extractor's own; any other value is taken by truth,
        // as tldextract takes it.
        PyObject* private_flag = slots[1] == nullptr && omitted == Omitted::kFalse ? Py_False
                                 : slots[1] != nullptr && slots[1] != Py_None ? slots[1]
                                 : base->private_default != nullptr           ? base->private_default
                                                                              : Py_False;
        const int include_private = private_flag == Py_False ? 0
                                    : private_flag == Py_True ? 1
                                                              : PyObject_IsTrue(private_flag);
        if (include_private < 0) {
            error = annotate_argument_error(kCallParameters[1], take_pending_exception());
            return nullptr;
        }
        // A parsed URL is answered for its netloc.
        Owned netloc(kind == tldextract::TextKind::kAuthority
                         ? PyObject_GetAttr(slots[0], netloc_name())
                         : nullptr);
        if (kind == tldextract::TextKind::kAuthority && netloc.get() == nullptr) {
            error = annotate_argument_error(kCallParameters[0], take_pending_exception());
            return nullptr;
        }
        PyObject* given = netloc.get() != nullptr ? netloc.get() : slots[0];
        Utf8Text text;
        if (!read_text(given, kind == tldextract::TextKind::kAuthority ? "url.netloc" : "url", text,
                       error)) {
            return nullptr;
        }
        const tldextract::SuffixRules& suffixes = extractor->suffixes();
        const tldextract::HostSplit split(text.text, kind, suffixes.tables(),
                                          suffixes.index().facts(include_private != 0));
        return extract_result(*extractor, split.parts(), given, text, error);
    });
}

PyObject* base_vectorcall(PyObject* self, PyObject* const* args, std::size_t nargsf, PyObject* kwnames) {
    return answer_call(self, kCall, tldextract::TextKind::kUrl, Omitted::kOwn, args,
                       PyVectorcall_NARGS(nargsf), kwnames);
}

PyObject* base_extract_str(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return answer_call(self, kExtractStr, tldextract::TextKind::kUrl, Omitted::kOwn, args, nargs,
                       kwnames);
}

PyObject* base_module_extract(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) {
    return answer_call(self, kModuleExtract, tldextract::TextKind::kUrl, Omitted::kFalse, args,
                       nargs, kwnames);
}

PyObject* base_extract_urllib(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) {
    return answer_call(self, kExtractUrllib, tldextract::TextKind::kAuthority, Omitted::kOwn, args,
                       nargs, kwnames);
}

PyObject* base_new(PyTypeObject* type, PyObject*, PyObject*) {
    PyObject* self = type->tp_alloc(type, 0);
    if (self != nullptr) {
        BaseObject* base = as_base(self);
        base->extractor = Py_NewRef(Py_None);
        base->private_default = Py_NewRef(Py_False);
        base->vectorcall = base_vectorcall;
    }
    return self;
}

int base_traverse(PyObject* self, visitproc visit, void* arg) {
    Py_VISIT(as_base(self)->extractor);
    Py_VISIT(as_base(self)->private_default);
    Py_VISIT(Py_TYPE(self));
    return 0;
}

int base_clear(PyObject* self) {
    Py_CLEAR(as_base(self)->extractor);
    Py_CLEAR(as_base(self)->private_default);
    return 0;
}

void base_dealloc(PyObject* self) {
    PyObject_GC_UnTrack(self);
    base_clear(self);
    PyTypeObject* type = Py_TYPE(self);
    type->tp_free(self);
    Py_DECREF(type);
}

PyMethodDef base_methods[] = {
    {"extract_str", as_cfunction(base_extract_str), kCallFlags,
     "extract_str($self, url, include_psl_private_domains=None, session=None)\n--\n\n"
     "The ExtractResult of *url* (any str)."},
    {"extract_urllib", as_cfunction(base_extract_urllib), kCallFlags,
     "extract_urllib($self, url, include_psl_private_domains=None, session=None)\n--\n\n"
     "The ExtractResult of a URL that urllib.parse has split (its netloc)."},
    {"_module_extract", as_cfunction(base_module_extract), kCallFlags,
     "extract($self, url, include_psl_private_domains=False, session=None)\n--\n\n"
     "The ExtractResult of *url* (any str): the module's extract, bound to its\n"
     "extractor, whose include_psl_private_domains it takes for None only."},
    {nullptr, nullptr, 0, nullptr},
};

PyMemberDef base_members[] = {
    {"_extractor", Py_T_OBJECT_EX, offsetof(BaseObject, extractor), 0,
     "What answers: the capsule of _tldextract_rules, or None until the list is read."},
    {"_private", Py_T_OBJECT_EX, offsetof(BaseObject, private_default), 0,
     "include_psl_private_domains as it was when the list was read."},
    {"__vectorcalloffset__", Py_T_PYSSIZET, offsetof(BaseObject, vectorcall), Py_READONLY, nullptr},
    {nullptr, 0, 0, 0, nullptr},
};

PyType_Slot base_slots[] = {
    {Py_tp_doc, const_cast<char*>(
                    "The calls of vexlo.tldextract.TLDExtract, answered in C; the class itself is\n"
                    "that one.")},
    {Py_tp_new, reinterpret_cast<void*>(base_new)},
    {Py_tp_dealloc, reinterpret_cast<void*>(base_dealloc)},
    {Py_tp_traverse, reinterpret_cast<void*>(base_traverse)},
    {Py_tp_clear, reinterpret_cast<void*>(base_clear)},
    {Py_tp_call, reinterpret_cast<void*>(PyVectorcall_Call)},
    {Py_tp_methods, base_methods},
    {Py_tp_members, base_members},
    {0, nullptr},
};

PyType_Spec base_spec = {
    "vexlo._columns._TLDExtractBase",
    sizeof(BaseObject),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE | Py_TPFLAGS_HAVE_GC | Py_TPFLAGS_HAVE_VECTORCALL,
    base_slots,
};

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

ProcessOnce base_type_once;

bool add_tldextract_base(PyObject* module, PyError& error) {
    PyObject* type = base_type_once.get([] { return PyType_FromSpec(&base_spec); });
    if (type == nullptr) {
        error = take_pending_exception();
        return false;
    }
    return add_owned(module, created(PyUnicode_FromString("_TLDExtractBase")), Py_NewRef(type),
                     error);
}

}  // namespace vexlo::python
