#include "python/columns/rules_type.h"

#include <array>
#include <cstddef>
#include <memory>
#include <new>
#include <string>

#include "list_file/loaded_list.h"
#include "python/argument_conversion.h"
#include "python/function_signature.h"
#include "python/held_reference.h"
#include "python/interpreter_lock.h"
#include "python/process_once.h"
#include "python/process_services.h"
#include "python/questions/extract_question.h"
#include "python/questions/question_functions.h"
#include "python/results.h"
#include "python/type_errors.h"
#include "rules/compiled_shape.h"

namespace vexlo::python {
namespace {

struct RulesObject {
    PyObject_HEAD
    const RuleTables* tables;
    // A list loaded at run time, owned; null for the compiled list, whose
    // tables vexlo._lookup holds.
    list_file::LoadedList* loaded;
    PyObject* source;    // the list file's bytes; null for the compiled list
    PyObject* checksum;  // str
    PyObject* version;   // str, or None
    std::size_t rule_count;
    std::size_t twin_count;
};

RulesObject* as_rules(PyObject* self) { return reinterpret_cast<RulesObject*>(self); }

using questions::Answer;

// The methods answer from the rules they are called on. The search of a
// root with as many edges as the compiled list's runs unrolled, as the
// module functions' does: the compiled tables' root (sibling_services.cpp
// makes sure), and that of any list loaded with as many top-level rules,
// such as a copy of the compiled list.
struct RulesOfSelf {
    template <const FunctionSignature& Signature, Answer answer, bool kShortPath, bool kPredicate>
    [[gnu::always_inline]] static PyObject* call(PyObject* self, PyObject* const* args,
                                                 Py_ssize_t nargs, PyObject* kwnames) {
        const RulesObject* rules = as_rules(self);
        if (rules->tables->nodes[0].edge_count == kCompiledRootEdgeCount) {
            return questions::answer_call<Signature, answer, kShortPath, kPredicate,
                                          kCompiledRootEdgeCount>(*rules->tables, args, nargs,
                                                                  kwnames);
        }
        return questions::answer_call<Signature, answer, kShortPath, kPredicate, 0>(
            *rules->tables, args, nargs, kwnames);
    }
};

constexpr auto kPublicsuffixDoc = questions::method_doc(questions::kPublicsuffixDoc);
constexpr auto kPrivatesuffixDoc = questions::method_doc(questions::kPrivatesuffixDoc);
constexpr auto kIsPublicDoc = questions::method_doc(questions::kIsPublicDoc);
constexpr auto kIsPrivateDoc = questions::method_doc(questions::kIsPrivateDoc);
constexpr auto kPrivatepartsDoc = questions::method_doc(questions::kPrivatepartsDoc);
constexpr auto kSubdomainDoc = questions::method_doc(questions::kSubdomainDoc);
constexpr const char* kMethodDocs[6] = {kPublicsuffixDoc.data(), kPrivatesuffixDoc.data(),
                                        kIsPublicDoc.data(),     kIsPrivateDoc.data(),
                                        kPrivatepartsDoc.data(), kSubdomainDoc.data()};

// extract(text, *, keep_ip=False, accept_unknown=True, keep_case=False)
PyObject* rules_extract(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return questions::extract_call(*as_rules(self)->tables, args, nargs, kwnames);
}

constexpr auto kExtractDoc = questions::method_doc(questions::kExtractDoc);

// A function of vexlo.rules by name: what a Rules object is pickled as.
PyObject* rules_module_function(const char* name) {
    PyObject* module = PyImport_ImportModule("vexlo.rules");
    if (module == nullptr) return nullptr;
    PyObject* function = PyObject_GetAttrString(module, name);
    Py_DECREF(module);
    return function;
}

// A loaded list pickles as its bytes, loaded again when unpickled; the
// compiled list as its checksum, which the unpickling process's own compiled
// list must have.
PyObject* rules_reduce(PyObject* self, PyObject*) {
    const RulesObject* rules = as_rules(self);
    const bool loaded = rules->loaded != nullptr;
    PyObject* function = rules_module_function(loaded ? "load_rules" : "_compiled_rules_like");
    if (function == nullptr) return nullptr;
    return Py_BuildValue("(N(O))", function, loaded ? rules->source : rules->checksum);
}

std::array<PyMethodDef, 9> method_records = [] {
    std::array<PyMethodDef, 9> all{};
    const std::array<PyMethodDef, 6> questions = questions::records<RulesOfSelf>(kMethodDocs);
    for (std::size_t i = 0; i < questions.size(); ++i) all[i] = questions[i];
    all[6] = {"extract", as_cfunction(rules_extract), kCallFlags, kExtractDoc.data()};
    all[7] = {"__reduce__", rules_reduce, METH_NOARGS,
              "Pickle as the list's bytes, loaded again by vexlo.load_rules()."};
    all[8] = {nullptr, nullptr, 0, nullptr};
    return all;
}();

PyObject* get_checksum(PyObject* self, void*) { return Py_NewRef(as_rules(self)->checksum); }
PyObject* get_version(PyObject* self, void*) { return Py_NewRef(as_rules(self)->version); }
PyObject* get_rule_count(PyObject* self, void*) {
    return PyLong_FromSize_t(as_rules(self)->rule_count);
}
PyObject* get_twin_count(PyObject* self, void*) {
    return PyLong_FromSize_t(as_rules(self)->twin_count);
}
PyObject* get_node_count(PyObject* self, void*) {
    return PyLong_FromSize_t(as_rules(self)->tables->node_count);
}

PyGetSetDef getters[] = {
    {"checksum", get_checksum, nullptr,
     "The lowercase hexadecimal SHA-256 of the list file's bytes.", nullptr},
    {"version", get_version, nullptr,
     "The list's own VERSION header, or None when it has none.", nullptr},
    {"rule_count", get_rule_count, nullptr, "The rule lines of the list.", nullptr},
    {"twin_count", get_twin_count, nullptr,
     "The rules added in the other spelling of their internationalised labels.", nullptr},
    {"node_count", get_node_count, nullptr, "The nodes of the rule trie, the root included.",
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

void rules_dealloc(PyObject* self) {
    RulesObject* rules = as_rules(self);
    delete rules->loaded;
    Py_XDECREF(rules->source);
    Py_XDECREF(rules->checksum);
    Py_XDECREF(rules->version);
    PyTypeObject* type = Py_TYPE(self);
    PyObject_Free(self);
    Py_DECREF(type);
}

PyObject* rules_repr(PyObject* self) {
    const RulesObject* rules = as_rules(self);
    return PyUnicode_FromFormat("<vexlo.Rules %zu rules, checksum %U%s>", rules->rule_count,
                                rules->checksum, rules->loaded == nullptr ? ", compiled" : "");
}

// Two sets of rules are equal when they come from the same list file.
PyObject* rules_compare(PyObject* self, PyObject* other, int op) {
    if ((op != Py_EQ && op != Py_NE) || Py_TYPE(other) != Py_TYPE(self)) Py_RETURN_NOTIMPLEMENTED;
    return PyObject_RichCompare(as_rules(self)->checksum, as_rules(other)->checksum, op);
}

Py_hash_t rules_hash(PyObject* self) { return PyObject_Hash(as_rules(self)->checksum); }

constexpr const char* kRulesDoc =
    "The rules of a Public Suffix List, to answer from: the list compiled into\n"
    "vexlo (vexlo.compiled_rules()) or a list file loaded at run time\n"
    "(vexlo.load_rules()). Its methods answer exactly as the module functions of\n"
    "the same names do for the compiled list. Immutable; any number of threads\n"
    "may share one. It pickles as the list's bytes.";

PyType_Slot rules_slots[] = {
    {Py_tp_doc, const_cast<char*>(kRulesDoc)},
    {Py_tp_dealloc, reinterpret_cast<void*>(rules_dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(rules_repr)},
    {Py_tp_richcompare, reinterpret_cast<void*>(rules_compare)},
    {Py_tp_hash, reinterpret_cast<void*>(rules_hash)},
    {Py_tp_methods, method_records.data()},
    {Py_tp_getset, getters},
    {0, nullptr},
};

PyType_Spec rules_spec = {
    "vexlo.Rules",
    sizeof(RulesObject),
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE | Py_TPFLAGS_DISALLOW_INSTANTIATION,
    rules_slots,
};

ProcessOnce rules_type_once;

// A new Rules object holding `tables`; it takes over `loaded`, `source`,
// `checksum` and `version` (any of which may be null: then it is made null
// on failure too). Null with the interpreter's exception set.
PyObject* new_rules(const RuleTables* tables, list_file::LoadedList* loaded, PyObject* source,
                    PyObject* checksum, PyObject* version, std::size_t rule_count,
                    std::size_t twin_count) {
    std::unique_ptr<list_file::LoadedList> owned(loaded);
    PyTypeObject* type = rules_type();
    RulesObject* rules =
        type != nullptr && checksum != nullptr && version != nullptr
            ? PyObject_New(RulesObject, type)
            : nullptr;
    if (rules == nullptr) {
        Py_XDECREF(source);
        Py_XDECREF(checksum);
        Py_XDECREF(version);
        return nullptr;
    }
    rules->tables = tables;
    rules->loaded = owned.release();
    rules->source = source;
    rules->checksum = checksum;
    rules->version = version;
    rules->rule_count = rule_count;
    rules->twin_count = twin_count;
    return reinterpret_cast<PyObject*>(rules);
}

PyObject* optional_str(const char* text) {
    return text != nullptr ? PyUnicode_FromString(text) : Py_NewRef(Py_None);
}

constexpr std::string_view kLoadParameters[] = {"data"};
constexpr FunctionSignature kLoadRules = positional_only("_load_rules", kLoadParameters);
constexpr FunctionSignature kCompiledRules = positional_only("_compiled_rules", {});

// _load_rules(data, /): the Rules of a list file's bytes.
PyObject* load_rules(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_frame([&](PyError& error) -> PyObject* {
        PyObject* slots[1] = {};
        if (!extract_arguments(kLoadRules, args, nargs, kwnames, slots, error)) return nullptr;
        std::string_view data;
        if (!extract_bytes(slots[0], kLoadParameters[0], data, error)) return nullptr;
        list_file::LoadOutcome outcome;
        try {
            const WithoutInterpreterLock unlocked;
            outcome = list_file::load_list(data);
        } catch (const std::bad_alloc&) {
            error = PyError::with_message(PyExc_MemoryError,
                                          "out of memory for the rules of a list");
            return nullptr;
        }
        if (outcome.list == nullptr) {
            error = value_error(list_file::refusal_message(outcome.errors));
            return nullptr;
        }
        const list_file::LoadedList& list = *outcome.list;
        PyObject* version = list.version ? new_str(*list.version, false) : Py_NewRef(Py_None);
        PyObject* rules = new_rules(&list.tables.tables(), outcome.list.get(), Py_NewRef(slots[0]),
                                    new_str(list.checksum, true), version, list.rule_count,
                                    list.twin_count);
        outcome.list.release();  // new_rules took it over, made or not
        if (rules == nullptr) error = take_pending_exception();
        return rules;
    });
}

ProcessOnce compiled_rules_once;

// _compiled_rules(): the Rules of the list compiled into vexlo._lookup, one
// object for the process.
PyObject* compiled_rules(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_frame([&](PyError& error) -> PyObject* {
        if (!extract_arguments(kCompiledRules, args, nargs, kwnames, {}, error)) return nullptr;
        PyObject* rules = compiled_rules_once.get([]() -> PyObject* {
            const ProcessServices& services = process_services();
            const CompiledList& list = *services.compiled_list;
            return new_rules(services.compiled_tables, nullptr, nullptr,
                             PyUnicode_FromString(list.checksum), optional_str(list.version),
                             list.rule_count, list.twin_count);
        });
        if (rules == nullptr) {
            error = take_pending_exception();
            return nullptr;
        }
        return Py_NewRef(rules);
    });
}

PyMethodDef function_records[] = {
    {"_load_rules", as_cfunction(load_rules), kCallFlags,
     "_load_rules(data, /)\n--\n\n"
     "The Rules of the bytes of a list file; ValueError naming the first faulty\n"
     "line when the file is not a list vexlo can hold."},
    {"_compiled_rules", as_cfunction(compiled_rules), kCallFlags,
     "_compiled_rules()\n--\n\n"
     "The Rules of the list compiled into vexlo, the same object every time."},
};

}  // namespace

PyTypeObject* rules_type() noexcept {
    return reinterpret_cast<PyTypeObject*>(
        rules_type_once.get([] { return PyType_FromSpec(&rules_spec); }));
}

bool extract_rules(PyObject* object, std::string_view parameter, const RuleTables*& tables,
                   PyError& error) {
    if (object == Py_None) {
        tables = process_services().compiled_tables;
        return true;
    }
    PyTypeObject* type = rules_type();
    if (type == nullptr) {
        error = take_pending_exception();
        return false;
    }
    if (Py_TYPE(object) != type) {
        error = annotate_argument_error(parameter, not_an_instance(object, "vexlo.Rules"));
        return false;
    }
    tables = as_rules(object)->tables;
    return true;
}

std::span<PyMethodDef> rules_functions() { return function_records; }

}  // namespace vexlo::python
