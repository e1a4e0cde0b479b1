// What the process holds once for both extension modules: the PanicException
// class, the interned names and the compiled rule tables. vexlo._lookup owns
// them; vexlo._columns finds vexlo._lookup's table through its module
// definition, so that a PanicException raised by either module is the same
// class, and the tables are in memory once.
//
// The table crosses from one shared object into the other, and each links its
// own C++ runtime: its functions are noexcept and report failure as null with
// the interpreter's exception set, never by throwing.
#pragma once

#include <Python.h>

#include <cstddef>

#include "rules/compiled_list.h"
#include "rules/rule_tables.h"

namespace vexlo::python {

enum class InternedName : unsigned { kAll, kName, kAddNote, kAnswer };

struct ProcessServices {
    // First, in every build: it is compared before anything else is read.
    const char* build_stamp;
    // Borrowed references, made on first use and kept for the process.
    PyObject* (*panic_exception_type)() noexcept;
    PyObject* (*interned)(InternedName name) noexcept;
    const RuleTables* compiled_tables;
    const CompiledList* compiled_list;
};

// The table this module uses: its own in vexlo._lookup, vexlo._lookup's in
// vexlo._columns. Each module defines it.
const ProcessServices& process_services() noexcept;

// The version and the layout of ProcessServices, linked into both modules:
// two modules agree on it only when they can share the table.
extern const char kBuildStamp[];

inline constexpr const char* kLookupModuleName = "_lookup";

// vexlo._lookup's module definition, and after it what the interpreter does
// not read: `doc` is the definition's m_doc (the empty string), so a
// definition whose m_doc points just behind it, at `doc`, has this layout.
struct LookupModuleDef {
    PyModuleDef definition;
    char doc[1];
    const ProcessServices* services;
};

// The services of a module definition that is vexlo._lookup's from this
// build, or null. Reads nothing beyond `definition` unless its layout is
// LookupModuleDef.
const ProcessServices* lookup_services(const PyModuleDef& definition) noexcept;

}  // namespace vexlo::python
