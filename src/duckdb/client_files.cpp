#include "duckdb/client_files.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace vexlo::duckdb {
namespace {

// DuckDB's name for each type of error that opening or reading a file may
// raise, as its own messages begin ("IO Error: ...").
const char* type_name(duckdb_error_type type) noexcept {
    switch (type) {
        case DUCKDB_ERROR_PERMISSION: return "Permission";
        case DUCKDB_ERROR_IO: return "IO";
        case DUCKDB_ERROR_HTTP: return "HTTP";
        case DUCKDB_ERROR_INVALID_INPUT: return "Invalid Input";
        case DUCKDB_ERROR_NOT_IMPLEMENTED: return "Not implemented";
        case DUCKDB_ERROR_OUT_OF_MEMORY: return "Out of Memory";
        case DUCKDB_ERROR_INTERRUPT: return "INTERRUPT";
        case DUCKDB_ERROR_CONNECTION: return "Connection";
        case DUCKDB_ERROR_NETWORK: return "Network";
        case DUCKDB_ERROR_MISSING_EXTENSION: return "Missing Extension";
        case DUCKDB_ERROR_AUTOLOAD: return "Extension Autoloading";
        case DUCKDB_INVALID_CONFIGURATION: return "Invalid Configuration";
        case DUCKDB_ERROR_INTERNAL: return "INTERNAL";
        default: return nullptr;
    }
}

// Takes the error, which the caller owned.
std::string taken_error_text(duckdb_error_data error) {
    std::string text = error_text(error);
    duckdb_destroy_error_data(&error);
    return text.empty() ? "DuckDB gave no reason" : text;
}

// Files are read this many bytes at a time, so that a small file takes
// little room while a large one is not copied again and again.
constexpr std::size_t kFirstRead = std::size_t{1} << 16;

}  // namespace

std::optional<std::string> taken_text(duckdb_value value) {
    std::optional<std::string> text;
    if (!duckdb_is_null_value(value)) {
        if (char* chars = duckdb_get_varchar(value)) {
            text.emplace(chars);
            duckdb_free(chars);
        }
    }
    duckdb_destroy_value(&value);
    return text;
}

std::string error_text(duckdb_error_data error) {
    if (error == nullptr || !duckdb_error_data_has_error(error)) return {};
    const char* message = duckdb_error_data_message(error);
    std::string text;
    if (const char* type = type_name(duckdb_error_data_error_type(error))) {
        text = std::string(type) + " Error: ";
    }
    text += message != nullptr ? message : "";
    return text;
}

std::string read_file(duckdb_file_handle file, std::size_t limit, std::string& data) {
    data.clear();
    // Regular files say their size; growing stops at `limit` either way.
    const std::int64_t size = duckdb_file_handle_size(file);
    std::size_t room = size >= 0 ? static_cast<std::size_t>(size) + 1 : kFirstRead;
    data.resize(std::min(std::max(room, kFirstRead), limit));
    std::size_t filled = 0;
    while (true) {
        if (filled == data.size()) {
            if (filled == limit) break;
            data.resize(std::min(limit, data.size() * 2));
        }
        const std::int64_t got = duckdb_file_handle_read(file, data.data() + filled,
                                                         static_cast<std::int64_t>(data.size() - filled));
        if (got < 0) return taken_error_text(duckdb_file_handle_error_data(file));
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    data.resize(filled);
    return {};
}

ClientFiles::ClientFiles(duckdb_bind_info info) {
    duckdb_table_function_get_client_context(info, &context_);
    if (context_ != nullptr) files_ = duckdb_client_context_get_file_system(context_);
}

ClientFiles::~ClientFiles() {
    if (files_ != nullptr) duckdb_destroy_file_system(&files_);
    if (context_ != nullptr) duckdb_destroy_client_context(&context_);
}

std::string ClientFiles::setting(const char* name, bool* truth) const {
    if (context_ == nullptr) return {};
    duckdb_config_option_scope scope = DUCKDB_CONFIG_OPTION_SCOPE_INVALID;
    duckdb_value value = duckdb_client_context_get_config_option(context_, name, &scope);
    if (value == nullptr) return {};
    if (truth != nullptr && !duckdb_is_null_value(value)) *truth = duckdb_get_bool(value);
    return taken_text(value).value_or("");
}

bool ClientFiles::external_access() const {
    bool open = false;
    setting("enable_external_access", &open);
    return open;
}

std::string ClientFiles::home_directory() const {
    std::string home = setting("home_directory");
    if (home.empty()) {
        if (const char* variable = std::getenv("HOME")) home = variable;
    }
    return home;
}

ClientFile ClientFiles::open(const std::string& path, std::string& error) {
    if (files_ == nullptr) {
        error = "DuckDB gave no file system to read with";
        return {};
    }
    duckdb_file_open_options options = duckdb_create_file_open_options();
    if (options == nullptr) throw std::bad_alloc();
    duckdb_file_handle handle = nullptr;
    const bool opened = duckdb_file_open_options_set_flag(options, DUCKDB_FILE_FLAG_READ, true) == DuckDBSuccess &&
                        duckdb_file_system_open(files_, path.c_str(), options, &handle) == DuckDBSuccess;
    duckdb_destroy_file_open_options(&options);
    if (opened && handle != nullptr) return ClientFile(handle);
    if (handle != nullptr) duckdb_destroy_file_handle(&handle);
    error = taken_error_text(duckdb_file_system_error_data(files_));
    return {};
}

}  // namespace vexlo::duckdb
