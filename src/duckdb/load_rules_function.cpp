// psl_load_rules(path): a table function of one row (checksum, version,
// rule_count) that reads a list file into the database's loaded lists, by the
// same reader and with the same checks and messages as vexlo.load_rules. The
// file is read when the query is bound, so a refused file fails the query
// before it runs. It is a table function because DuckDB's stable C API lets
// only those see their arguments before the query runs and fail it with a
// message of their own.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "duckdb/logical_type.h"
#include "duckdb/register_functions.h"
#include "duckdb/vectors.h"
#include "list_file/limits.h"
#include "list_file/loaded_list.h"

namespace vexlo::duckdb {
namespace {

constexpr const char* kName = "psl_load_rules";

struct LoadedRow {
    std::string checksum;
    std::optional<std::string> version;
    std::int64_t rule_count;
};

// Reads up to kMaxFileBytes + 1 bytes of the file at `path` into `data`, so
// that a larger file is refused as vexlo.load_rules refuses it. Returns the
// system's reason when the file cannot be read, nothing when it was.
std::optional<std::string> read_list_file(const char* path, std::string& data) {
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return std::strerror(errno);
    data.resize(list_file::kMaxFileBytes + 1);
    std::size_t size = 0;
    while (size < data.size()) {
        const std::size_t got = std::fread(data.data() + size, 1, data.size() - size, file);
        if (got == 0) break;
        size += got;
    }
    const int failure = std::ferror(file) ? errno : 0;
    std::fclose(file);
    if (failure != 0) return std::strerror(failure);
    data.resize(size);
    return std::nullopt;
}

// The path argument, copied; empty when it is NULL.
std::optional<std::string> path_argument(duckdb_bind_info info) {
    duckdb_value value = duckdb_bind_get_parameter(info, 0);
    std::optional<std::string> path;
    if (!duckdb_is_null_value(value)) {
        char* text = duckdb_get_varchar(value);
        if (text != nullptr) {
            path.emplace(text);
            duckdb_free(text);
        }
    }
    duckdb_destroy_value(&value);
    return path;
}

void bind_error(duckdb_bind_info info, const std::string& message) {
    duckdb_bind_set_error(info, message.c_str());
}

void delete_row(void* row) { delete static_cast<LoadedRow*>(row); }

void bind(duckdb_bind_info info) {
    try {
        auto& lists = **static_cast<std::shared_ptr<LoadedLists>*>(duckdb_bind_get_extra_info(info));
        const std::optional<std::string> path = path_argument(info);
        if (!path) return bind_error(info, std::string(kName) + "(): the path is NULL");
        const std::string shown = std::string(kName) + "('" + *path + "')";
        std::string data;
        if (const std::optional<std::string> reason = read_list_file(path->c_str(), data)) {
            return bind_error(info, shown + ": cannot read the file: " + *reason);
        }
        list_file::LoadOutcome outcome = list_file::load_list(data);
        if (outcome.list == nullptr) {
            return bind_error(info, shown + ": " + list_file::refusal_message(outcome.errors));
        }
        const list_file::LoadedList& kept = lists.keep(std::move(outcome.list));
        auto row = std::make_unique<LoadedRow>(
            LoadedRow{kept.checksum, kept.version, static_cast<std::int64_t>(kept.rule_count)});

        const LogicalType text(DUCKDB_TYPE_VARCHAR);
        const LogicalType count(DUCKDB_TYPE_BIGINT);
        duckdb_bind_add_result_column(info, "checksum", text.get());
        duckdb_bind_add_result_column(info, "version", text.get());
        duckdb_bind_add_result_column(info, "rule_count", count.get());
        duckdb_bind_set_cardinality(info, 1, true);
        duckdb_bind_set_bind_data(info, row.release(), delete_row);
    } catch (const std::bad_alloc&) {
        duckdb_bind_set_error(info, "psl_load_rules(): out of memory for the rules of a list");
    } catch (const std::exception& error) {
        char message[512];
        std::snprintf(message, sizeof message, "psl_load_rules(): %s", error.what());
        duckdb_bind_set_error(info, message);
    }
}

void delete_flag(void* flag) { delete static_cast<bool*>(flag); }

// Whether the row has been given yet, for each scan.
void init(duckdb_init_info info) {
    bool* given = new (std::nothrow) bool(false);
    if (given == nullptr) return duckdb_init_set_error(info, "psl_load_rules(): out of memory");
    duckdb_init_set_init_data(info, given, delete_flag);
}

void scan(duckdb_function_info info, duckdb_data_chunk output) {
    bool& given = *static_cast<bool*>(duckdb_function_get_init_data(info));
    if (given) {
        duckdb_data_chunk_set_size(output, 0);
        return;
    }
    given = true;
    const auto& row = *static_cast<const LoadedRow*>(duckdb_function_get_bind_data(info));
    try {
        LongTexts long_texts;
        TextResult checksum(duckdb_data_chunk_get_vector(output, 0), long_texts);
        checksum.put(0, row.checksum);
        checksum.finish();
        TextResult version(duckdb_data_chunk_get_vector(output, 1), long_texts);
        if (row.version) {
            version.put(0, *row.version);
        } else {
            version.put_null(0);
        }
        version.finish();
        static_cast<std::int64_t*>(duckdb_vector_get_data(duckdb_data_chunk_get_vector(output, 2)))[0] =
            row.rule_count;
        duckdb_data_chunk_set_size(output, 1);
    } catch (const std::bad_alloc&) {
        duckdb_function_set_error(info, "psl_load_rules(): out of memory");
    }
}

void delete_lists(void* lists) { delete static_cast<std::shared_ptr<LoadedLists>*>(lists); }

}  // namespace

bool register_load_rules(duckdb_connection connection, const std::shared_ptr<LoadedLists>& lists,
                         std::string& error) {
    duckdb_table_function function = duckdb_create_table_function();
    duckdb_table_function_set_name(function, kName);
    const LogicalType text(DUCKDB_TYPE_VARCHAR);
    duckdb_table_function_add_parameter(function, text.get());
    duckdb_table_function_set_extra_info(function, new std::shared_ptr<LoadedLists>(lists),
                                         delete_lists);
    duckdb_table_function_set_bind(function, bind);
    duckdb_table_function_set_init(function, init);
    duckdb_table_function_set_function(function, scan);
    const bool registered = duckdb_register_table_function(connection, function) == DuckDBSuccess;
    duckdb_destroy_table_function(&function);
    if (!registered) error = "DuckDB refused the function psl_load_rules";
    return registered;
}

}  // namespace vexlo::duckdb
