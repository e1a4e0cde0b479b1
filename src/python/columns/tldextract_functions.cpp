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
#include <utility>
#include <variant>
#include <vector>

#include "list_file/trie_rules.h"
#include "python/arguments.h"
#include "python/boundary.h"
#include "python/columns/functions.h"
#include "python/columns/object_capsule.h"
#include "python/columns/rules_type.h"
#include "python/module_setup.h"
#include "python/process_once.h"
#include "python/results.h"
#include "python/scopes.h"
#include "tldextract/host_split.h"
#include "tldextract/ip_address.h"
#include "tldextract/suffix_rules.h"

namespace vexlo::python {
namespace {

// The dataclass's fields, in its order, and names looked up on a first call.
constexpr char kSubdomain[] = "subdomain";
constexpr char kDomain[] = "domain";
constexpr char kSuffix[] = "suffix";
constexpr char kIsPrivate[] = "is_private";
constexpr char kRegistrySuffix[] = "registry_suffix";
constexpr char kRead[] = "_read";
constexpr char kNetloc[] = "netloc";
constexpr std::size_t kFieldCount = 5;

// What one extractor answers from and with.
class Extractor {
public:
    Extractor(PyObject* rules, PyObject* result_type,
              std::unique_ptr<tldextract::SuffixRules> suffixes)
        : rules_(Py_NewRef(rules)), result_type_(Py_NewRef(result_type)),
          suffixes_(std::move(suffixes)),
          // Interned for the process, never released: borrowed.
          names_{checked(interned<kSubdomain>()), checked(interned<kDomain>()),
                 checked(interned<kSuffix>()), checked(interned<kIsPrivate>()),
                 checked(interned<kRegistrySuffix>())} {}

    const tldextract::SuffixRules& suffixes() const noexcept { return *suffixes_; }
    PyTypeObject* result_type() const noexcept {
        return reinterpret_cast<PyTypeObject*>(result_type_.get());
    }
    PyObject* name(std::size_t field) const noexcept { return names_[field]; }

private:
    Owned rules_;  // the Rules (or None) whose tables suffixes_ reads
    Owned result_type_;
    std::unique_ptr<tldextract::SuffixRules> suffixes_;
    std::array<PyObject*, kFieldCount> names_;
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
    Owned bytes;  // holding `text` when surrogates
};

void read_text(PyObject* object, std::string_view parameter, Utf8Text& out) {
    if (!PyUnicode_Check(object)) argument_error(parameter, not_an_instance(object, "str"));
    out.ascii = PyUnicode_IS_ASCII(object);
    // An ASCII str's characters are its UTF-8.
    if (PyUnicode_IS_COMPACT_ASCII(object)) {
        out.text = {static_cast<const char*>(PyUnicode_DATA(object)),
                    static_cast<std::size_t>(PyUnicode_GET_LENGTH(object))};
        return;
    }
    Py_ssize_t size = 0;
    if (const char* utf8 = PyUnicode_AsUTF8AndSize(object, &size)) {
        out.text = {utf8, static_cast<std::size_t>(size)};
        return;
    }
    if (!PyErr_ExceptionMatches(PyExc_UnicodeEncodeError)) throw_pending_exception();
    PyErr_Clear();
    out.bytes = Owned(checked(PyUnicode_AsEncodedString(object, "utf-8", "surrogatepass")));
    out.text = {PyBytes_AS_STRING(out.bytes.get()),
                static_cast<std::size_t>(PyBytes_GET_SIZE(out.bytes.get()))};
    out.surrogates = true;
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
                         PyObject* given, const Utf8Text& text) {
    PyTypeObject* type = extractor.result_type();
    Owned result(created(type->tp_alloc(type, 0)));
    const Owned suffix(field_str(parts.suffix, given, text));
    // The registry suffix of a public rule is the suffix's very str, as in
    // tldextract.
    const bool same = parts.registry_suffix.data() == parts.suffix.data() &&
                      parts.registry_suffix.size() == parts.suffix.size();
    const Owned registry(same ? Py_NewRef(suffix.get())
                              : field_str(parts.registry_suffix, given, text));
    const Owned subdomain(field_str(parts.subdomain, given, text));
    const Owned domain(field_str(parts.domain, given, text));
    PyObject* const values[kFieldCount] = {subdomain.get(), domain.get(), suffix.get(),
                                           parts.is_private ? Py_True : Py_False, registry.get()};
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        checked(set_field(result.get(), extractor.name(i), values[i]));
    }
    return result.release();
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
    return call_frame([&] {
        std::array<PyObject*, 3> slots{};
        if (kwnames == nullptr && nargs >= 1 && nargs <= 3) {
            for (Py_ssize_t i = 0; i < nargs; ++i) slots[i] = args[i];
        } else {
            extract_arguments(signature, args, nargs, kwnames, slots);
        }
        BaseObject* base = as_base(self);
        // Held for the call: a finalizer run while the answer is made could
        // make the extractor forget it.
        const Owned capsule(base->extractor != nullptr && base->extractor != Py_None
                                ? Py_NewRef(base->extractor)
                                : checked(PyObject_CallMethodOneArg(
                                      self, checked(interned<kRead>()),
                                      slots[2] != nullptr ? slots[2] : Py_None)));
        const Extractor& extractor = *ExtractorCapsule::read(capsule.get(), "_extractor");
        // None takes the extractor's own; any other value is taken by truth,
        // as tldextract takes it.
        PyObject* private_flag = slots[1] == nullptr && omitted == Omitted::kFalse ? Py_False
                                 : slots[1] != nullptr && slots[1] != Py_None ? slots[1]
                                 : base->private_default != nullptr           ? base->private_default
                                                                              : Py_False;
        const int include_private = private_flag == Py_False ? 0
                                    : private_flag == Py_True ? 1
                                                              : PyObject_IsTrue(private_flag);
        if (include_private < 0) argument_error(kCallParameters[1], take_pending_exception());
        // A parsed URL is answered for its netloc.
        const bool authority = kind == tldextract::TextKind::kAuthority;
        const Owned netloc(authority ? PyObject_GetAttr(slots[0], checked(interned<kNetloc>()))
                                     : nullptr);
        if (authority && netloc.get() == nullptr) {
            argument_error(kCallParameters[0], take_pending_exception());
        }
        PyObject* given = authority ? netloc.get() : slots[0];
        Utf8Text text;
        read_text(given, authority ? "url.netloc" : "url", text);
        const tldextract::SuffixRules& suffixes = extractor.suffixes();
        const tldextract::HostSplit split(text.text, kind, suffixes.tables(),
                                          suffixes.index().facts(include_private != 0));
        return extract_result(extractor, split.parts(), given, text);
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

// Written out, not made from the signatures: their optional parameters are
// positional ones with defaults, which a FunctionSignature does not hold.
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

ProcessOnce base_type_once;

}  // namespace

// _tldextract_rules(rules, extra_suffixes, result_type, /)
PyObject* tldextract_rules(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_frame([&] {
        std::array<PyObject*, 3> slots{};
        extract_arguments(kTLDExtractRules, args, nargs, kwnames, slots);
        const RuleTables& tables = rules_argument(slots[0], kTLDExtractRulesParameters[0]);
        const std::string_view extras_parameter = kTLDExtractRulesParameters[1];
        if (!PyTuple_Check(slots[1])) {
            argument_error(extras_parameter, not_an_instance(slots[1], "tuple"));
        }
        std::vector<std::string_view> extras;
        try {
            str_items(slots[1], "extra suffix", 1, extras);
        } catch (PyError& error) {
            argument_error(extras_parameter, std::move(error));
        }
        if (!PyType_Check(slots[2])) {
            argument_error(kTLDExtractRulesParameters[2], not_an_instance(slots[2], "type"));
        }
        auto made = tldextract::SuffixRules::make(tables, extras);
        if (std::string* refused = std::get_if<std::string>(&made)) {
            throw value_error(std::move(*refused));
        }
        return ExtractorCapsule::make(std::make_unique<Extractor>(
            slots[0], slots[2], std::move(std::get<std::unique_ptr<tldextract::SuffixRules>>(made))));
    });
}

// _tldextract_ip_version(text, /)
PyObject* tldextract_ip_version(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                                PyObject* kwnames) {
    return call_frame([&] {
        std::array<PyObject*, 1> slots{};
        extract_arguments(kTLDExtractIpVersion, args, nargs, kwnames, slots);
        Utf8Text text;
        read_text(slots[0], kTextOnly[0], text);
        const long version = tldextract::looks_like_ipv4(text.text)   ? 4
                             : tldextract::looks_like_ipv6(text.text) ? 6
                                                                      : 0;
        return created(PyLong_FromLong(version));
    });
}

// _tldextract_suffixes(rules, include_psl_private_domains, /)
PyObject* tldextract_suffixes(PyObject*, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) {
    return call_frame([&] {
        std::array<PyObject*, 2> slots{};
        extract_arguments(kTLDExtractSuffixes, args, nargs, kwnames, slots);
        const RuleTables& tables = rules_argument(slots[0], kTLDExtractSuffixesParameters[0]);
        const bool include_private = bool_argument(slots[1], kTLDExtractSuffixesParameters[1]);
        std::string names;
        const list_file::ParsedList listed =
            list_file::rules_of_trie(tables.trie(), tables.listed_spellings(), names);
        Owned list(created(PyList_New(0)));
        std::string rule;
        for (const list_file::ListRule& r : listed.rules) {
            if (!include_private && r.section != list_file::Section::icann) continue;
            rule = r.kind == list_file::RuleKind::exception  ? "!"
                   : r.kind == list_file::RuleKind::wildcard ? "*."
                                                             : "";
            rule += r.name;
            const Owned text(str_result(rule, false));
            checked(PyList_Append(list.get(), text.get()));
        }
        return list.release();
    });
}

PyTypeObject* tldextract_base_type() noexcept {
    return reinterpret_cast<PyTypeObject*>(
        base_type_once.get([] { return PyType_FromSpec(&base_spec); }));
}

}  // namespace vexlo::python
