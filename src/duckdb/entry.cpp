// The extension's entry point, vexlo_init_c_api: DuckDB finds it by the
// file's name (vexlo.duckdb_extension), takes the API version it asks for,
// and calls it once for each database that loads the file.
#include <memory>
#include <new>
#include <string>

#define DUCKDB_EXTENSION_NAME vexlo
#include "duckdb/duckdb_api.h"
#include "duckdb/loaded_lists.h"
#include "duckdb/register_functions.h"

namespace {

// Every function of one database shares its loaded lists; they go when the
// last function holding them does, with the database.
bool register_everything(duckdb_connection connection, std::string& error) {
    try {
        const auto lists = std::make_shared<vexlo::duckdb::LoadedLists>();
        return vexlo::duckdb::register_question_functions(connection, lists, error) &&
               vexlo::duckdb::register_load_rules(connection, lists, error);
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return false;
    }
}

}  // namespace

DUCKDB_EXTENSION_ENTRYPOINT(duckdb_connection connection, duckdb_extension_info info,
                            duckdb_extension_access* access) {
    std::string error;
    if (register_everything(connection, error)) return true;
    access->set_error(info, ("vexlo: " + error).c_str());
    return false;
}
