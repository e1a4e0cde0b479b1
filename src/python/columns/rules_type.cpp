#include "python/columns/rules_type.h"

#include <array>
#include <cstddef>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "list_file/loaded_list.h"
#include "python/arguments.h"
#include "python/columns/functions.h"
#include "python/process_once.h"
#include "python/questions/extract_question.h"
#include "python/questions/question_functions.h"
#include "python/results.h"
#include "python/scopes.h"
#include "python/shared_services.h"
#include "rules/compiled_shape.h"

namespace vexlo::python {
namespace {

struct RulesObject {
    PyObject_HEAD
    const RuleTables* tables;
    // Tables built at run time, owned: a list loaded, or extra rules on top
    // of the compiled list. Null for the compiled list alone, whose tables
    // vexlo._lookup holds.
    list_file::LoadedList* loaded;
    PyObject* source;    // the list file's bytes; null for the compiled list
    PyObject* extra;     // tuple of the extra rules (str) on top of the list's
    PyObject* checksum;  // str: of the list file's bytes
    PyObject* version;   // str, or None
    Py_ssize_t rule_count;
    Py_ssize_t twin_count;
    Py_ssize_t node_count;
};

RulesObject* as_rules(PyObject* self) { return reinterpret_cast<RulesObject*>(self); }

// The methods answer from the rules they are called on. The search of a
// root with as many edges as the compiled list's runs unrolled, as the
// module functions' does: the compiled tables' root (columns/module.cpp
// makes sure), and that of any list loaded with as many top-level rules,
// such as a copy of the compiled list.
struct RulesOfSelf {
    template <Question Q>
    [[gnu::always_inline]] static PyObject* call(PyObject* self, PyObject* const* args,
                                                 Py_ssize_t nargs, PyObject* kwnames) {
        const RuleTables& tables = *as_rules(self)->tables;
        if (tables.nodes[0].edge_count == kCompiledRootEdgeCount) {
            return questions::answer_call<Q, kCompiledRootEdgeCount>(tables, args, nargs, kwnames);
        }
        return questions::answer_call<Q, 0>(tables, args, nargs, kwnames);
    }
};

// extract(text, *, keep_ip=False, accept_unknown=True, keep_case=False)
PyObject* rules_extract(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return questions::call_extract(*as_rules(self)->tables, args, nargs, kwnames);
}

constexpr auto kExtractDoc =
    docstring<questions::kExtract, true, questions::kExtractText.size()>(questions::kExtractText);

// A loaded list pickles as its bytes, loaded again when unpickled; the
// compiled list as its checksum, which the unpickling process's own compiled
// list must have. Extra rules travel with either, and are put on top again.
PyObject* rules_reduce(PyObject* self, PyObject*) {
    const RulesObject* rules = as_rules(self);
    const bool loaded = rules->source != nullptr;
    const Owned module(PyImport_ImportModule("vexlo.rules"));
    PyObject* function = module.get() == nullptr ? nullptr
                         : PyObject_GetAttrString(module.get(), loaded ? "_loaded_rules_with"
                                                                       : "_compiled_rules_like");
    if (function == nullptr) return nullptr;
    return Py_BuildValue("(N(OO))", function, loaded ? rules->source : rules->checksum,
                         rules->extra);
}

PyObject* with_rules(PyObject* self, PyObject* rules);

auto records = method_records<questions::kQuestions<RulesOfSelf>, true>(
    PyMethodDef{"extract", as_cfunction(rules_extract), kCallFlags, kExtractDoc.data()},
    PyMethodDef{"with_rules", with_rules, METH_O,
                "with_rules($self, rules, /)\n--\n\n"
                "These rules with *rules* on top, as a new Rules: an iterable of rules\n"
                "(str), each written as on a line of a list file, added in the PRIVATE\n"
                "section. The result answers as the list file with them appended would.\n"
                "ValueError names a faulty rule by its place (\"extra rule 2: ...\")."},
    PyMethodDef{"__reduce__", rules_reduce, METH_NOARGS,
                "Pickle as the list's bytes (the compiled list as its checksum) and the\n"
                "extra rules, loaded again by vexlo.load_rules()."},
    PyMethodDef{nullptr, nullptr, 0, nullptr});

PyMemberDef members[] = {
    {"checksum", Py_T_OBJECT_EX, offsetof(RulesObject, checksum), Py_READONLY,
     "The lowercase hexadecimal SHA-256 of the list file's bytes (extra rules\n"
     "aside)."},
    {"extra", Py_T_OBJECT_EX, offsetof(RulesObject, extra), Py_READONLY,
     "The extra rules on top of the list's, as given: a tuple of str."},
    {"version", Py_T_OBJECT_EX, offsetof(RulesObject, version), Py_READONLY,
     "Which list this is: its own VERSION header; for the compiled list, its date and commit, or \"custom list\" and its checksum; None when a loaded list names none."},
    {"rule_count", Py_T_PYSSIZET, offsetof(RulesObject, rule_count), Py_READONLY,
     "The rules: the rule lines of the list and the extra rules."},
    {"twin_count", Py_T_PYSSIZET, offsetof(RulesObject, twin_count), Py_READONLY,
     "The rules added in the other spelling of their internationalised labels."},
    {"node_count", Py_T_PYSSIZET, offsetof(RulesObject, node_count), Py_READONLY,
     "The nodes of the rule trie, the root included."},
    {nullptr, 0, 0, 0, nullptr},
};

void rules_dealloc(PyObject* self) {
    RulesObject* rules = as_rules(self);
    delete rules->loaded;
    Py_XDECREF(rules->source);
    Py_XDECREF(rules->extra);
    Py_XDECREF(rules->checksum);
    Py_XDECREF(rules->version);
    PyTypeObject* type = Py_TYPE(self);
    PyObject_Free(self);
    Py_DECREF(type);
}

PyObject* rules_repr(PyObject* self) {
    const RulesObject* rules = as_rules(self);
    const char* compiled = rules->source == nullptr ? ", compiled" : "";
    const Py_ssize_t extra = PyTuple_GET_SIZE(rules->extra);
    if (extra == 0) {
        return PyUnicode_FromFormat("<vexlo.Rules %zd rules, checksum %U%s>", rules->rule_count,
                                    rules->checksum, compiled);
    }
    return PyUnicode_FromFormat("<vexlo.Rules %zd rules (%zd extra), checksum %U%s>",
                                rules->rule_count, extra, rules->checksum, compiled);
}

// Two sets of rules are equal when they come from the same list file (the
// compiled list is equal to a loaded copy of its file) with the same extra
// rules in the same order: then they answer alike.
PyObject* rules_compare(PyObject* self, PyObject* other, int op) {
    if ((op != Py_EQ && op != Py_NE) || Py_TYPE(other) != Py_TYPE(self)) Py_RETURN_NOTIMPLEMENTED;
    const RulesObject *a = as_rules(self), *b = as_rules(other);
    int same = PyObject_RichCompareBool(a->checksum, b->checksum, Py_EQ);
    if (same == 1) same = PyObject_RichCompareBool(a->extra, b->extra, Py_EQ);
    if (same < 0) return nullptr;
    return PyBool_FromLong((op == Py_EQ) == (same == 1));
}

Py_hash_t rules_hash(PyObject* self) {
    const Owned key(PyTuple_Pack(2, as_rules(self)->checksum, as_rules(self)->extra));
    return key.get() != nullptr ? PyObject_Hash(key.get()) : -1;
}

constexpr const char* kRulesDoc =
    "The rules of a Public Suffix List, to answer from: the list compiled into\n"
    "vexlo (vexlo.compiled_rules()) or a list file loaded at run time\n"
    "(vexlo.load_rules()), with any extra rules on top (with_rules(), or\n"
    "load_rules(..., extra=...)). Its methods answer exactly as the module\n"
    "functions of the same names do for the compiled list. Immutable; any\n"
    "number of threads may share one. It pickles as the list's bytes and its\n"
    "extra rules.";

PyType_Slot rules_slots[] = {
    {Py_tp_doc, const_cast<char*>(kRulesDoc)},
    {Py_tp_dealloc, reinterpret_cast<void*>(rules_dealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(rules_repr)},
    {Py_tp_richcompare, reinterpret_cast<void*>(rules_compare)},
    {Py_tp_hash, reinterpret_cast<void*>(rules_hash)},
    {Py_tp_methods, records.data()},
    {Py_tp_members, members},
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

// A new Rules object holding `tables`, taking over `loaded` and the objects;
// null with the interpreter's exception set, as when any of them is null.
PyObject* new_rules(const RuleTables* tables, std::unique_ptr<list_file::LoadedList> loaded,
                    PyObject* source, Owned extra, Owned checksum, Owned version,
                    std::size_t rule_count, std::size_t twin_count) {
    PyTypeObject* type = rules_type();
    if (type == nullptr || extra.get() == nullptr || checksum.get() == nullptr ||
        version.get() == nullptr) {
        return nullptr;
    }
    RulesObject* rules = PyObject_New(RulesObject, type);
    if (rules == nullptr) return nullptr;
    rules->tables = tables;
    rules->loaded = loaded.release();
    rules->source = Py_XNewRef(source);
    rules->extra = extra.release();
    rules->checksum = checksum.release();
    rules->version = version.release();
    rules->rule_count = static_cast<Py_ssize_t>(rule_count);
    rules->twin_count = static_cast<Py_ssize_t>(twin_count);
    rules->node_count = static_cast<Py_ssize_t>(tables->node_count);
    return reinterpret_cast<PyObject*>(rules);
}

// The rules of `before` (a tuple of extra rules already taken, or null)
// followed by those of `object`, an iterable of str: a new tuple of them,
// whose items `texts` view. An extra rule is named by its place in the whole
// tuple, from 1.
Owned extra_rules_argument(PyObject* object, std::string_view parameter, PyObject* before,
                           std::vector<std::string_view>& texts) {
    // A str is an iterable of one-letter rules, which no one means.
    if (PyUnicode_Check(object) || PyBytes_Check(object) || PyByteArray_Check(object)) {
        argument_error(parameter,
                       type_error("the extra rules must be an iterable of str, not a " +
                                  qualified_type_name(Py_TYPE(object)) + " (give [rule] for one)"));
    }
    Owned rules(PySequence_Tuple(object));
    if (rules.get() == nullptr) argument_error(parameter, take_pending_exception());
    if (before != nullptr && PyTuple_GET_SIZE(before) != 0) {
        rules = Owned(PySequence_Concat(before, rules.get()));
        if (rules.get() == nullptr) argument_error(parameter, take_pending_exception());
    }
    try {
        str_items(rules.get(), "extra rule", 1, texts);
    } catch (PyError& error) {
        argument_error(parameter, std::move(error));
    }
    return rules;
}

// The Rules of a list file's bytes `source` (or, when null, of the compiled
// list) with the extra rules `extra` (a tuple, which `texts` view) on top.
PyObject* rules_with(PyObject* source, const Owned& extra,
                     const std::vector<std::string_view>& texts) {
    const SharedServices& services = shared_services();
    list_file::LoadOutcome outcome;
    try {
        const WithoutInterpreterLock unlocked;
        if (source != nullptr) {
            const std::string_view data(PyBytes_AS_STRING(source),
                                        static_cast<std::size_t>(PyBytes_GET_SIZE(source)));
            outcome = list_file::load_list(data, texts);
        } else {
            outcome = list_file::extend_list(*services.compiled_tables, *services.compiled_list,
                                             texts);
        }
    } catch (const std::bad_alloc&) {
        throw PyError::with_message(PyExc_MemoryError, "out of memory for the rules of a list");
    }
    if (outcome.list == nullptr) throw value_error(list_file::refusal_message(outcome.errors));
    const list_file::LoadedList& list = *outcome.list;
    Owned version(list.version ? new_str(*list.version, false) : Py_NewRef(Py_None));
    // new_rules takes the list over, made or not.
    return checked(new_rules(&list.tables.tables(), std::move(outcome.list), source,
                             Owned(Py_NewRef(extra.get())), Owned(new_str(list.checksum, true)),
                             std::move(version), list.rule_count, list.twin_count));
}

// Rules.with_rules(rules, /): the extra rules given after those the rules
// already have, on top of the list's own (its file, or the compiled list).
PyObject* with_rules(PyObject* self, PyObject* argument) {
    return call_frame([&] {
        const RulesObject* rules = as_rules(self);
        std::vector<std::string_view> texts;
        const Owned extra = extra_rules_argument(argument, "rules", rules->extra, texts);
        if (PyTuple_GET_SIZE(extra.get()) == PyTuple_GET_SIZE(rules->extra)) {
            return Py_NewRef(self);  // nothing added
        }
        return rules_with(rules->source, extra, texts);
    });
}

ProcessOnce compiled_rules_once;

}  // namespace

// _load_rules(data, extra, /): the Rules of a list file's bytes with extra
// rules on top.
PyObject* load_rules(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_frame([&] {
        PyObject* slots[2] = {};
        extract_arguments(kLoadRules, args, nargs, kwnames, slots);
        bytes_argument(slots[0], kLoadRulesParameters[0]);
        std::vector<std::string_view> texts;
        const Owned extra = extra_rules_argument(slots[1], kLoadRulesParameters[1], nullptr, texts);
        return rules_with(slots[0], extra, texts);
    });
}

// _compiled_rules(): the Rules of the list compiled into vexlo._lookup, one
// object for the process.
PyObject* compiled_rules(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return call_frame([&] {
        extract_arguments(kCompiledRules, args, nargs, kwnames, {});
        return Py_NewRef(checked(compiled_rules_once.get([]() -> PyObject* {
            const SharedServices& services = shared_services();
            const CompiledList& list = *services.compiled_list;
            return new_rules(services.compiled_tables, nullptr, nullptr, Owned(PyTuple_New(0)),
                             Owned(PyUnicode_FromString(list.checksum)),
                             Owned(list.version != nullptr ? PyUnicode_FromString(list.version)
                                                           : Py_NewRef(Py_None)),
                             list.rule_count, list.twin_count);
        })));
    });
}

PyTypeObject* rules_type() noexcept {
    return reinterpret_cast<PyTypeObject*>(
        rules_type_once.get([] { return PyType_FromSpec(&rules_spec); }));
}

const RuleTables& rules_argument(PyObject* object, std::string_view parameter) {
    if (object == Py_None) return *shared_services().compiled_tables;
    PyTypeObject* type = rules_type();
    if (type == nullptr) throw_pending_exception();
    if (Py_TYPE(object) != type) argument_error(parameter, not_an_instance(object, "vexlo.Rules"));
    return *as_rules(object)->tables;
}

}  // namespace vexlo::python
