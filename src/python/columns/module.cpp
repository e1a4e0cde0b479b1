// The definition of vexlo._columns, its one method table and its exec step,
// which first borrows vexlo._lookup's shared services, then adds the
// functions, the types (vexlo.tldextract's base class, Rules and Extracted)
// and _MAX_LIST_BYTES, each listed in __all__ as in vexlo._lookup. The module
// keeps no state of its own.
#include <Python.h>

#include <atomic>
#include <cstddef>
#include <cstring>
#include <utility>

#include "list_file/limits.h"
#include "python/boundary.h"
#include "python/columns/functions.h"
#include "python/columns/rules_type.h"
#include "python/module_setup.h"
#include "python/py_error.h"
#include "python/questions/extract_question.h"
#include "python/questions/extracted_record.h"
#include "python/scopes.h"
#include "python/shared_services.h"
#include "rules/compiled_shape.h"

namespace vexlo::python {
namespace {

std::atomic<const SharedServices*> borrowed{nullptr};

// The services of `definition` when it is vexlo._lookup's from this build,
// else null. The methods of the compiled rules search the root unrolled for
// the edge count this module was built with, so the tables must have it.
const SharedServices* services_of(const PyModuleDef* definition) noexcept {
    if (definition == nullptr || definition->m_name == nullptr ||
        std::strcmp(definition->m_name, "_lookup") != 0) {
        return nullptr;
    }
    // Only the address is computed: a definition of another layout is never
    // read past its end.
    const char* const behind =
        reinterpret_cast<const char*>(definition) + offsetof(LookupDefinition, slots);
    if (reinterpret_cast<const char*>(definition->m_slots) != behind) return nullptr;
    const SharedServices* services = reinterpret_cast<const LookupDefinition*>(definition)->services;
    if (services == nullptr || std::strcmp(services->build_stamp, kBuildStamp) != 0 ||
        services->compiled_tables->nodes[0].edge_count != kCompiledRootEdgeCount) {
        return nullptr;
    }
    return services;
}

// Imports the sibling (the module `_lookup` of this module's own package:
// vexlo._lookup for vexlo._columns) and borrows its services. False with an
// exception set: the import's own, or an ImportError. Throws nothing and
// needs no services.
bool borrow_services(PyObject* module) noexcept {
    const Owned own_name(PyModule_GetNameObject(module));
    if (own_name.get() == nullptr) return false;
    const Py_ssize_t dot = PyUnicode_FindChar(own_name.get(), '.', 0, PY_SSIZE_T_MAX, -1);
    const Owned package(dot < -1 ? nullptr : PyUnicode_Substring(own_name.get(), 0, dot + 1));
    const Owned name(package.get() == nullptr ? nullptr
                                              : PyUnicode_FromFormat("%U_lookup", package.get()));
    // The shared object stays loaded for the life of the process.
    const Owned sibling(name.get() == nullptr ? nullptr : PyImport_Import(name.get()));
    if (sibling.get() == nullptr) return false;
    const SharedServices* services =
        services_of(PyModule_Check(sibling.get()) ? PyModule_GetDef(sibling.get()) : nullptr);
    if (services == nullptr) {
        PyErr_Format(PyExc_ImportError, "%U is not the module built together with %U", name.get(),
                     own_name.get());
        return false;
    }
    borrowed.store(services, std::memory_order_release);
    return true;
}

// vexlo.extract(text, *, keep_ip=False, accept_unknown=True, keep_case=False),
// from the compiled list; the Rules method of the same name shares its entry.
PyObject* extract_function(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    return questions::call_extract(*shared_services().compiled_tables, args, nargs, kwnames);
}

constexpr FunctionDeclaration kFunctions[] = {
    {kAddColumnFunctions, add_column_functions,
     "Makes the column functions *module*'s own (vexlo.columns)."},
    {kLineFormat, line_format,
     "The row format of the vexlo command, for _answer_lines and _answer_name.\n"
     "With *urls* each name is a URL or an e-mail address, answered for its host."},
    {kAnswerLines, answer_lines,
     "Rows for the whole lines at the start of *block* (bytes), made by up to\n"
     "*threads* threads (None: every usable core), as a tuple\n"
     "(rows, consumed, lines, bad_lines). Without *at_end* the bytes after the\n"
     "last newline are not answered: *consumed* stops before them. *bad_lines*\n"
     "holds (line, byte, row_offset) for each line that is not UTF-8: its index\n"
     "in the block, its first bad byte counted from 1, and where its row starts."},
    {kAnswerName, answer_name,
     "The row for *name* (bytes), taken whole, as a tuple (row, bad_byte):\n"
     "bad_byte is None, or the first byte that is not UTF-8 counted from 1."},
    {kLoadRules, load_rules,
     "The Rules of the bytes of a list file, with the *extra* rules (an\n"
     "iterable of str) on top; ValueError naming the first faulty line (or\n"
     "extra rule) when the file is not a list vexlo can hold."},
    {kCompiledRules, compiled_rules,
     "The Rules of the list compiled into vexlo, the same object every time."},
    {kHost, host_function,
     "Return the host name in *text*, a URL, an e-mail address or a host name,\n"
     "as written there, or None if it has none. An IP address is None too,\n"
     "unless *keep_ip* (an IPv6 address without its brackets)."},
    {questions::kExtract, extract_function, questions::kExtractText},
    {kTLDExtractRules, tldextract_rules,
     "What a vexlo.tldextract extractor answers from: the *rules* (a Rules, or\n"
     "None for the compiled list) with the *extra_suffixes* (a tuple of str,\n"
     "written as lines of a list file) on top, answering with instances of\n"
     "*result_type*; ValueError naming a faulty extra suffix."},
    {kTLDExtractIpVersion, tldextract_ip_version,
     "4 when *text* looks like an IPv4 address to tldextract, 6 when like an\n"
     "IPv6 one, else 0."},
    {kTLDExtractSuffixes, tldextract_suffixes,
     "The rules of *rules* (a Rules, or None for the compiled list) as the list\n"
     "writes them, those of its ICANN section only unless\n"
     "*include_psl_private_domains*."},
};

auto methods = method_records<kFunctions>();

int module_exec(PyObject* module) noexcept {
    // Before anything that could raise a PanicException: it must be the
    // class vexlo._lookup raises.
    if (!borrow_services(module)) return -1;
    return exec_frame([module] {
        add_functions(module, methods);
        using MakeType = PyTypeObject* (*)() noexcept;
        const std::pair<const char*, MakeType> types[] = {
            {"_TLDExtractBase", tldextract_base_type},
            {"Rules", rules_type},
            {"Extracted", extracted_type}};
        for (const auto& [name, make] : types) {
            Owned type(Py_NewRef(checked(reinterpret_cast<PyObject*>(make()))));
            add_owned(module, Owned(created(PyUnicode_FromString(name))), std::move(type));
        }
        Owned name(created(PyUnicode_FromString("_MAX_LIST_BYTES")));
        add_owned(module, std::move(name), Owned(created(PyLong_FromSize_t(list_file::kMaxFileBytes))));
    });
}

PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(module_exec)},
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
    {0, nullptr},
};

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT,
    "_columns",
    "Public Suffix List answers for many names at once.",
    0,
    nullptr,
    module_slots,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace

const SharedServices& shared_services() noexcept {
    return *borrowed.load(std::memory_order_acquire);
}

}  // namespace vexlo::python

PyMODINIT_FUNC PyInit__columns(void) {
    return PyModuleDef_Init(&vexlo::python::module_definition);
}
