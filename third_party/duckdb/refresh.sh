#!/usr/bin/env bash
# Remakes the files of this folder from DuckDB's source distribution on the
# package index: the `duckdb` sdist of the version below, whose
# external/duckdb/ holds DuckDB's own sources. Only the C extension API's two
# headers, the script that writes an extension's footer and its one-byte input
# are taken, with DuckDB's licence. Each text file gets a first line saying
# where it came from. Nothing of DuckDB is built.
#
#   third_party/duckdb/refresh.sh [VERSION]
#
# Runs the project's .venv python (scripts/run makes it): pip reads the
# sdist's metadata on the way, which needs the build backend installed there.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
version=${1:-2.0.1}
python=${PYTHON:-$root/.venv/bin/python}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$python" -m pip download --quiet --disable-pip-version-check --no-deps --no-binary :all: \
    --no-build-isolation -d "$work" "duckdb==$version"
tar -xzf "$work/duckdb-$version.tar.gz" -C "$work"
source_dir=$work/duckdb-$version/external/duckdb

# take FILE-IN-SOURCE NAME COMMENT-START [COMMENT-END]
take() {
    local from=$1 name=$2 open=$3 close=${4:-}
    {
        printf '%s Vendored from the duckdb %s sdist (external/duckdb/%s) by third_party/duckdb/refresh.sh; remake with it.%s\n' \
            "$open" "$version" "$from" "$close"
        cat "$source_dir/$from"
    } >"$here/$name"
}
take src/include/duckdb.h duckdb.h '//'
take src/include/duckdb_extension.h duckdb_extension.h '//'
take scripts/append_metadata.cmake append_metadata.cmake '#'
# Exactly one zero byte, as append_metadata.cmake reads it: no comment line.
cp "$source_dir/scripts/null.txt" "$here/null.txt"
cp "$source_dir/LICENSE" "$here/LICENSE"
printf '%s\n' "$version" >"$here/VERSION"
echo "third_party/duckdb: refreshed from the duckdb $version sdist"
