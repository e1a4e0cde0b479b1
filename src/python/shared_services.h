// What the two extension modules share, once for the process: the
// PanicException class, so that both raise the one class, and the compiled
// list, so that its tables are in memory once. vexlo._lookup holds them and
// hands them out through its module definition; vexlo._columns imports its
// sibling and borrows them (columns/module.cpp).
//
// The table crosses from one shared object into the other, and each links its
// own C++ runtime: its functions are noexcept and report failure as null with
// the interpreter's exception set, never by throwing.
#pragma once

#include <Python.h>

#include "rules/compiled_list.h"
#include "rules/rule_tables.h"

namespace vexlo::python {

struct SharedServices {
    // First, in every build: compared before anything else is read.
    const char* build_stamp;
    // Borrowed, made on first use and kept for the process.
    PyObject* (*panic_exception_type)() noexcept;
    const RuleTables* compiled_tables;
    const CompiledList* compiled_list;
};

// The services of this module: its own in vexlo._lookup, its sibling's in
// vexlo._columns. Each module defines it.
const SharedServices& shared_services() noexcept;

// The version and the layout of SharedServices: two modules agree on it only
// when they can share the table. The number grows whenever the table changes.
inline constexpr char kBuildStamp[] = "vexlo " VEXLO_VERSION " services 4";

// vexlo._lookup's definition, its slots right behind it, then its services.
// A definition whose m_slots point just behind it has this layout, so that a
// definition of another layout is never read past its end.
struct LookupDefinition {
    PyModuleDef definition;
    PyModuleDef_Slot slots[3];
    const SharedServices* services;
};

}  // namespace vexlo::python
