#include "python/questions/extracted_record.h"

#include <cstddef>
#include <utility>

#include "python/process_once.h"
#include "python/py_error.h"
#include "python/results.h"
#include "extract/fields.h"

namespace vexlo::python {
namespace {

// In the order of extract/fields.h's ExtractField.
PyStructSequence_Field kFields[] = {
    {"host", "the host name in the text, lowercase unless keep_case, without its root dot"},
    {"prefix", "the labels left of the private suffix ('www.shop'), '' when there are none"},
    {"domain", "the one label left of the public suffix"},
    {"publicsuffix", "the public suffix, as vexlo.publicsuffix gives it"},
    {"privatesuffix", "the private suffix, as vexlo.privatesuffix gives it"},
    {"section", "'icann' or 'private': the section of the rule that decided"},
    {"rule", "the rule that decided, as the list writes it ('*' for the implicit rule)"},
    {"icann_publicsuffix", "the public suffix with icann_only=True"},
    {"icann_privatesuffix", "the private suffix with icann_only=True"},
    {nullptr, nullptr},
};
static_assert(std::size(kFields) == kExtractFieldCount + 1);

PyStructSequence_Desc kDescription = {
    "vexlo.Extracted",
    "Every part of the host name of a URL, an e-mail address or a host name, and\n"
    "why its answers are what they are: what vexlo.extract() and Rules.extract()\n"
    "return. An immutable tuple of nine fields, None where the text has no such\n"
    "part.",
    kFields,
    static_cast<int>(kExtractFieldCount),
};

ProcessOnce type_once;

constexpr char kIcann[] = "icann";
constexpr char kPrivate[] = "private";
static_assert(kIcannSection == kIcann && kPrivateSection == kPrivate);

// The two sections' texts, made once and shared by every record. A section
// is one of two words of different lengths.
PyObject* section_str(std::string_view section) {
    static_assert(kIcannSection.size() != kPrivateSection.size());
    return Py_XNewRef(section.size() == kIcannSection.size() ? interned<kIcann>()
                                                              : interned<kPrivate>());
}

// The tuple layout that new_record fills in. From CPython 3.14 on a tuple
// caches its hash between its header and its items, and takes a cache it
// finds set (not -1) for the hash. A layout with any other field there stops
// the build rather than leave that field unset.
#if PY_VERSION_HEX >= 0x030E0000
static_assert(offsetof(PyTupleObject, ob_item) == sizeof(PyVarObject) + sizeof(Py_hash_t));
#else
static_assert(offsetof(PyTupleObject, ob_item) == sizeof(PyVarObject));
#endif

// A record with every item null, as PyStructSequence_New makes it. That
// function reads the type's field counts from its dictionary on every call,
// which costs as much as the rest of the record; this type's counts are
// known: nine fields, all visible and named, so the record is a tuple of
// nine (not tracked by the collector: it holds only strs and None).
PyObject* new_record(PyTypeObject* type) {
    PyStructSequence* record =
        PyObject_GC_NewVar(PyStructSequence, type, static_cast<Py_ssize_t>(kExtractFieldCount));
    if (record == nullptr) return nullptr;
#if PY_VERSION_HEX >= 0x030E0000
    record->ob_hash = -1;  // not computed yet
#endif
    for (std::size_t i = 0; i < kExtractFieldCount; ++i) record->ob_item[i] = nullptr;
    return reinterpret_cast<PyObject*>(record);
}

}  // namespace

PyTypeObject* extracted_type() noexcept {
    return reinterpret_cast<PyTypeObject*>(type_once.get(
        [] { return reinterpret_cast<PyObject*>(PyStructSequence_NewType(&kDescription)); }));
}

namespace {

// The earlier fields whose text a field's may be, to the byte and in place:
// a suffix may be the whole host, a plain rule the public suffix, and an
// ICANN-only suffix the suffix of the full view. -1: none.
constexpr int kMaySharePlace[kExtractFieldCount][2] = {
    {-1, -1},                                                                  // host
    {-1, -1},                                                                  // prefix
    {-1, -1},                                                                  // domain
    {0, -1},                                                                   // publicsuffix
    {0, -1},                                                                   // privatesuffix
    {-1, -1},                                                                  // section
    {static_cast<int>(ExtractField::kPublicSuffix), -1},                       // rule
    {static_cast<int>(ExtractField::kPublicSuffix), 0},                        // icann_publicsuffix
    {static_cast<int>(ExtractField::kPrivateSuffix), 0},                       // icann_privatesuffix
};

using FieldTexts = std::optional<std::string_view>[kExtractFieldCount];

// Whether fields i and j are the same view.
inline bool same_place(const FieldTexts& fields, std::size_t i, int j) {
    if (j < 0) return false;
    const std::optional<std::string_view>& other = fields[static_cast<std::size_t>(j)];
    return other && other->data() == fields[i]->data() && other->size() == fields[i]->size();
}

// Item I of the record (a new reference), the items before it already made;
// null with the interpreter's exception set when it cannot be made. A
// template, so that which fields it may share with is known when compiling.
template <std::size_t I>
[[gnu::always_inline]] inline PyObject* record_item(const FieldTexts& fields, const bool (&ascii)[9],
                                                    PyObject* const* items) {
    if (!fields[I]) return Py_NewRef(Py_None);
    if constexpr (I == static_cast<std::size_t>(ExtractField::kSection)) {
        return section_str(*fields[I]);
    } else {
        // A field that is the very text of an earlier one shares its str.
        if (same_place(fields, I, kMaySharePlace[I][0])) return Py_NewRef(items[kMaySharePlace[I][0]]);
        if (same_place(fields, I, kMaySharePlace[I][1])) return Py_NewRef(items[kMaySharePlace[I][1]]);
        return new_str(*fields[I], ascii[I]);
    }
}

template <std::size_t... I>
[[gnu::always_inline]] inline bool fill_record(const FieldTexts& fields, const bool (&ascii)[9],
                                               PyObject** items, std::index_sequence<I...>) {
    // In order, each item after the ones it may share; the first that cannot
    // be made stops the rest.
    return (((items[I] = record_item<I>(fields, ascii, items)) != nullptr) && ...);
}

}  // namespace

PyObject* extracted_record(const std::optional<std::string_view> (&fields)[9], const bool (&ascii)[9]) {
    PyTypeObject* type = extracted_type();
    if (type == nullptr) object_creation_failed();
    PyObject* record = created(new_record(type));
    // The record is this function's until it is returned: its items are
    // written in place, each a new reference.
    PyObject** const items = reinterpret_cast<PyTupleObject*>(record)->ob_item;
    if (!fill_record(fields, ascii, items, std::make_index_sequence<kExtractFieldCount>())) {
        Py_DECREF(record);
        object_creation_failed();
    }
    return record;
}

}  // namespace vexlo::python
