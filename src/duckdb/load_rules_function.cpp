// psl_load_rules(path): a table function of one row (checksum, version,
// rule_count) that reads a list file into the database's loaded lists, by the
// same reader and with the same checks and messages as vexlo.load_rules. The
// file is read when the query is bound, so a refused file fails the query
// before it runs. It is a table function because DuckDB's stable C API lets
// only those see their arguments before the query runs and fail it with a
// message of their own.
//
// The file is opened and read through DuckDB's own file system, from the
// query's client context (client_files.h): a path that DuckDB refuses the
// query fails it with DuckDB's error, and nothing of the file is read. Only
// a regular file is read; a FIFO or a device, whose opening may block or
// act, is refused before anything opens it (local_file_kind.h). Seeing that
// a path names one means looking at it before DuckDB has allowed the query
// to: in a database closed to the file system (enable_external_access
// false), such a path is refused with the words DuckDB refuses a path it
// does not allow, so that the answer tells nothing of what lies there.
#include <cstdio>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "duckdb/client_files.h"
#include "duckdb/local_file_kind.h"
#include "duckdb/logical_type.h"
#include "duckdb/register_functions.h"
#include "list_file/limits.h"
#include "list_file/loaded_list.h"
#include "list_file/message_text.h"

namespace vexlo::duckdb {
namespace {

constexpr const char* kName = "psl_load_rules";

// The longest path taken: longer than any file's (4,096 bytes on Linux) with
// room for the URLs of extensions' file systems; a longer one is refused
// before anything looks for it.
constexpr std::size_t kMaxPathBytes = std::size_t{1} << 16;

struct LoadedRow {
    std::string checksum;
    std::optional<std::string> version;
    std::int64_t rule_count;
};

// Why the file at `path` is not read, or "" once its bytes (kMaxFileBytes + 1
// at most, so that a larger file is refused as vexlo.load_rules refuses it)
// are in `data`.
std::string read_list_file(duckdb_bind_info info, const std::string& path, std::string& data) {
    ClientFiles files(info);
    const FileKind kind = local_file_kind(path, files.home_directory());
    if (!may_open(kind)) {
        if (!files.external_access()) {
            return "Permission Error: Cannot access file \"" + path +
                   "\" - file system operations are disabled by configuration";
        }
        return std::string("the path names ") + kind_name(kind) + ", not a regular file";
    }
    std::string error;
    const ClientFile file = files.open(path, error);
    if (!file) return error;
    // DuckDB allowed the query to open it: what it is may be said.
    if (kind == FileKind::kDirectory) return "the path names a directory, not a regular file";
    return read_file(file.get(), list_file::kMaxFileBytes + 1, data);
}

void bind_error(duckdb_bind_info info, const std::string& message) {
    duckdb_bind_set_error(info, message.c_str());
}

void delete_row(void* row) { delete static_cast<LoadedRow*>(row); }

void bind(duckdb_bind_info info) {
    try {
        auto& lists = **static_cast<std::shared_ptr<LoadedLists>*>(duckdb_bind_get_extra_info(info));
        const std::optional<std::string> path = taken_text(duckdb_bind_get_parameter(info, 0));
        if (!path) return bind_error(info, std::string(kName) + "(): the path is NULL");
        if (path->size() > kMaxPathBytes) {
            return bind_error(info, std::string(kName) + "(): the path has " + list_file::with_thousands(path->size()) +
                                        " bytes, more than the " + list_file::with_thousands(kMaxPathBytes) +
                                        " a path may have");
        }
        const std::string shown = std::string(kName) + "(" + list_file::quoted(*path) + ")";
        if (path->empty()) return bind_error(info, shown + ": the path is empty");
        std::string data;
        if (const std::string refused = read_list_file(info, *path, data); !refused.empty()) {
            return bind_error(info, shown + ": " + refused);
        }
        list_file::LoadOutcome outcome = list_file::load_list(data);
        if (outcome.list == nullptr) {
            return bind_error(info, shown + ": " + list_file::refusal_message(outcome.errors));
        }
        const list_file::LoadedList& kept = lists.keep(std::move(outcome.list));
        auto row = std::make_unique<LoadedRow>(
            LoadedRow{kept.checksum, kept.version, static_cast<std::int64_t>(kept.rule_count)});

        const LogicalType text = logical_type(DUCKDB_TYPE_VARCHAR);
        const LogicalType count = logical_type(DUCKDB_TYPE_BIGINT);
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
    duckdb_data_chunk_set_size(output, given ? 0 : 1);
    if (given) return;
    given = true;
    const auto& row = *static_cast<const LoadedRow*>(duckdb_function_get_bind_data(info));
    const duckdb_vector checksum = duckdb_data_chunk_get_vector(output, 0);
    const duckdb_vector version = duckdb_data_chunk_get_vector(output, 1);
    duckdb_vector_assign_string_element_len(checksum, 0, row.checksum.data(), row.checksum.size());
    if (row.version) {
        duckdb_vector_assign_string_element_len(version, 0, row.version->data(),
                                                row.version->size());
    } else {
        duckdb_vector_ensure_validity_writable(version);
        duckdb_validity_set_row_invalid(duckdb_vector_get_validity(version), 0);
    }
    static_cast<std::int64_t*>(duckdb_vector_get_data(duckdb_data_chunk_get_vector(output, 2)))[0] =
        row.rule_count;
}

void delete_lists(void* lists) { delete static_cast<std::shared_ptr<LoadedLists>*>(lists); }

}  // namespace

bool register_load_rules(duckdb_connection connection, const std::shared_ptr<LoadedLists>& lists,
                         std::string& error) {
    duckdb_table_function function = duckdb_create_table_function();
    duckdb_table_function_set_name(function, kName);
    const LogicalType text = logical_type(DUCKDB_TYPE_VARCHAR);
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
