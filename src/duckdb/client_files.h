// Files read through DuckDB's own file system, from the client context of
// the query that asks: whatever DuckDB allows or refuses that query
// (enable_external_access, allowed_directories and allowed_paths, a file
// system that an extension adds, such as httpfs's URLs), the reading allows
// or refuses, and a refusal is DuckDB's own error.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>

#include "duckdb/duckdb_api.h"

namespace vexlo::duckdb {

struct CloseFile {
    void operator()(duckdb_file_handle file) const noexcept { duckdb_destroy_file_handle(&file); }
};
// A file opened through ClientFiles::open; closed when it goes.
using ClientFile = std::unique_ptr<std::remove_pointer_t<duckdb_file_handle>, CloseFile>;

// Reads `file` from its start into `data`, `limit` bytes at most. Returns
// DuckDB's error, or "" once read.
std::string read_file(duckdb_file_handle file, std::size_t limit, std::string& data);

class ClientFiles {
public:
    // The file system of the query being bound.
    explicit ClientFiles(duckdb_bind_info info);
    ClientFiles(const ClientFiles&) = delete;
    ClientFiles& operator=(const ClientFiles&) = delete;
    ~ClientFiles();

    // Whether the database is open to the file system: its
    // enable_external_access setting, false when that cannot be read.
    bool external_access() const;
    // The folder that DuckDB reads a path beginning with `~` from: its
    // home_directory setting when set, else $HOME.
    std::string home_directory() const;

    // Opens `path` to be read. A file that cannot be opened, or may not be,
    // gives an empty ClientFile and DuckDB's error in `error`.
    ClientFile open(const std::string& path, std::string& error);

private:
    // The setting `name` as text, "" when it is unset or cannot be read;
    // `truth` receives a BOOLEAN setting's value.
    std::string setting(const char* name, bool* truth = nullptr) const;

    duckdb_client_context context_ = nullptr;
    duckdb_file_system files_ = nullptr;
};

// The text of `value`, which is taken (destroyed); none when it is NULL.
std::optional<std::string> taken_text(duckdb_value value);

// "Permission Error: Cannot access file ..." for DuckDB's error `error`,
// named by its type as DuckDB names it; "" when there is none.
std::string error_text(duckdb_error_data error);

}  // namespace vexlo::duckdb
