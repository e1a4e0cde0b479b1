// DuckDB's C extension API, as the extension sees it: pinned at v1.5.6, the
// first stable version with a table function's client context and DuckDB's
// file system (psl_load_rules reads through them, so that the database's
// sandbox holds), so that the one file loads into every DuckDB from 1.5.6
// on. Declaring the version first leaves every later call out of the
// headers: a call that a 1.5.6 DuckDB cannot serve does not compile. Every
// call goes through the table of function pointers that DuckDB hands over
// when loading (duckdb_ext_api, defined by the entry point); the extension
// links nothing of DuckDB.
#pragma once

#define DUCKDB_EXTENSION_API_VERSION_MAJOR 1
#define DUCKDB_EXTENSION_API_VERSION_MINOR 5
#define DUCKDB_EXTENSION_API_VERSION_PATCH 6
#include "duckdb_extension.h"

DUCKDB_EXTENSION_EXTERN
