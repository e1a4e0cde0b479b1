// The extension's entry point, vexlo_init_c_api: DuckDB finds it by the
// file's name (vexlo.duckdb_extension), takes the API version it asks for,
// and calls it once for each database that loads the file.
#include <string>

#define DUCKDB_EXTENSION_NAME vexlo
#include "duckdb/duckdb_api.h"
#include "duckdb/register_functions.h"

DUCKDB_EXTENSION_ENTRYPOINT(duckdb_connection connection, duckdb_extension_info info,
                            duckdb_extension_access* access) {
    std::string error;
    if (vexlo::duckdb::register_functions(connection, error)) return true;
    access->set_error(info, ("vexlo: " + error).c_str());
    return false;
}
