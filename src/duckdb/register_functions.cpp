#include "duckdb/register_functions.h"

#include <cstddef>
#include <cstring>
#include <new>
#include <span>
#include <string_view>

#include "duckdb/answer_chunk.h"
#include "duckdb/logical_type.h"
#include "extract/fields.h"
#include "rules/compiled_tables.h"

namespace vexlo::duckdb {
namespace {

void delete_function_info(void* info) { delete static_cast<FunctionInfo*>(info); }

// extract's record: a STRUCT of its fields, each a VARCHAR, named and
// ordered as vexlo.Extracted's.
LogicalType extract_record(const LogicalType& text) {
    duckdb_logical_type types[kExtractFieldCount];
    const char* names[kExtractFieldCount];
    for (std::size_t i = 0; i < kExtractFieldCount; ++i) {
        types[i] = text.get();
        names[i] = kExtractFieldNames[i].data();
    }
    return LogicalType(duckdb_create_struct_type(types, names, kExtractFieldCount));
}

// The types of a form's arguments and result.
struct Types {
    LogicalType text = logical_type(DUCKDB_TYPE_VARCHAR);
    LogicalType truth = logical_type(DUCKDB_TYPE_BOOLEAN);
    LogicalType integer = logical_type(DUCKDB_TYPE_BIGINT);
    LogicalType texts{duckdb_create_list_type(text.get())};
    LogicalType record = extract_record(text);

    duckdb_logical_type argument(const Form& form, std::int8_t at) const noexcept {
        if (at == 0 || at == form.rules) return text.get();
        if (at == form.depth) return integer.get();
        return truth.get();
    }
    duckdb_logical_type result(const Form& form) const noexcept {
        switch (form.question) {
            case Question::kExtract:
                return record.get();
            case Question::kIsPublic:
            case Question::kIsPrivate:
                return truth.get();
            case Question::kPrivateParts:
                return texts.get();
            default:
                return text.get();
        }
    }
};

// Registers the function set `name`: `overload(function, i)` describes the
// i-th of its `count` overloads, each a new scalar function that the set
// copies.
template <class Overload>
bool register_set(duckdb_connection connection, const char* name, std::size_t count,
                  std::string& error, Overload&& overload) {
    duckdb_scalar_function_set set = duckdb_create_scalar_function_set(name);
    for (std::size_t i = 0; i < count; ++i) {
        duckdb_scalar_function function = duckdb_create_scalar_function();
        duckdb_scalar_function_set_name(function, name);
        overload(function, i);
        duckdb_add_scalar_function_to_set(set, function);
        duckdb_destroy_scalar_function(&function);
    }
    const bool registered = duckdb_register_scalar_function_set(connection, set) == DuckDBSuccess;
    duckdb_destroy_scalar_function_set(&set);
    if (!registered) error = std::string("DuckDB refused the function ") + name;
    return registered;
}

// psl_list_checksum(): the checksum of the compiled list, which names it
// where a function takes `rules`.
void list_checksum(duckdb_function_info, duckdb_data_chunk input, duckdb_vector output) {
    const std::string_view checksum = compiled_list.checksum;
    for (idx_t row = 0; row < duckdb_data_chunk_get_size(input); ++row) {
        duckdb_vector_assign_string_element_len(output, row, checksum.data(), checksum.size());
    }
}

bool register_question_functions(duckdb_connection connection,
                                 const std::shared_ptr<LoadedLists>& lists, std::string& error) {
    const Types types;
    const std::span<const Form> forms = sql_forms();
    // The forms of one function stand together.
    for (std::size_t first = 0; first < forms.size();) {
        std::size_t end = first + 1;
        while (end < forms.size() && std::strcmp(forms[end].name, forms[first].name) == 0) ++end;
        const auto overload = [&](duckdb_scalar_function function, std::size_t i) {
            const Form& form = forms[first + i];
            for (std::int8_t at = 0; at < form.argument_count; ++at) {
                duckdb_scalar_function_add_parameter(function, types.argument(form, at));
            }
            duckdb_scalar_function_set_return_type(function, types.result(form));
            duckdb_scalar_function_set_extra_info(function, new FunctionInfo{&form, lists},
                                                  delete_function_info);
            duckdb_scalar_function_set_function(function, answer_chunk);
        };
        if (!register_set(connection, forms[first].name, end - first, error, overload)) {
            return false;
        }
        first = end;
    }
    return register_set(connection, "psl_list_checksum", 1, error,
                        [&](duckdb_scalar_function function, std::size_t) {
                            duckdb_scalar_function_set_return_type(function, types.text.get());
                            duckdb_scalar_function_set_function(function, list_checksum);
                        });
}

}  // namespace

bool register_functions(duckdb_connection connection, std::string& error) {
    try {
        // Every function of one database shares its loaded lists; they go
        // when the last function holding them does, with the database.
        const auto lists = std::make_shared<LoadedLists>();
        return register_question_functions(connection, lists, error) &&
               register_load_rules(connection, lists, error);
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return false;
    }
}

}  // namespace vexlo::duckdb
