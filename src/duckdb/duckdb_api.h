// DuckDB's C extension API, as the extension sees it: pinned at v1.2.0, the
// first version of the stable API, so that the one file loads into every
// DuckDB from 1.2 on. Declaring the version first leaves every later call out
// of the headers: a call that a 1.2 DuckDB cannot serve does not compile.
// Every call goes through the table of function pointers that DuckDB hands
// over when loading (duckdb_ext_api, defined by the entry point); the
// extension links nothing of DuckDB.
#pragma once

#define DUCKDB_EXTENSION_API_VERSION_MAJOR 1
#define DUCKDB_EXTENSION_API_VERSION_MINOR 2
#define DUCKDB_EXTENSION_API_VERSION_PATCH 0
#include "duckdb_extension.h"

DUCKDB_EXTENSION_EXTERN
