# Shared by the scripts in this folder: the Debian packages a machine needs,
# the interpreter to build for, the project's virtual environment, and the list
# file to compile in.
# shellcheck shell=bash

VEXLO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# When the outermost script started: the scripts it runs count from there too.
VEXLO_STARTED=${VEXLO_STARTED:-$(date +%s)}
export VEXLO_STARTED
VENV=${VEXLO_VENV:-$VEXLO_ROOT/.venv}
# The installer itself; everything it installs is pinned in pyproject.toml.
PIP_VERSION=26.3
# One generator for every build folder, whatever tools happen to be on PATH.
export CMAKE_GENERATOR="Unix Makefiles"
CMAKE_BUILD_PARALLEL_LEVEL=$(nproc)
export CMAKE_BUILD_PARALLEL_LEVEL

# stage TEXT...: one line saying what comes next and how long the run has
# taken so far, so that a long run is never silent for minutes.
stage() {
    local elapsed=$(($(date +%s) - VEXLO_STARTED))
    printf '== [%d:%02d] %s\n' $((elapsed / 60)) $((elapsed % 60)) "$*" >&2
}

# Installs the Debian packages given that are not installed yet.
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}" >&2
    local sudo=
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
}

# The C++ side comes from Debian; Python packages come from the package index
# into the virtual environment. Debian's list (publicsuffix) is the tests'
# second real list.
BUILD_PACKAGES=(cmake g++ make libgtest-dev libgmock-dev publicsuffix)
# libFuzzer comes with clang's runtime libraries.
FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev)
# Spark's JVM, for the engine examples and their tests (PySpark comes from the
# package index with the `engines` dependency group).
ENGINE_PACKAGES=(openjdk-17-jre-headless)

# The tests of the questions, of vexlo.host and vexlo.extract, of loaded
# lists and of the column functions, which scripts/test runs once more with
# every test made by several threads at once (pytest-run-parallel).
THREADED_TESTS=(
    tests/python/test_queries.py tests/python/test_arguments.py tests/python/test_call_shapes.py
    tests/python/test_model.py tests/python/test_psl_vectors.py tests/python/test_hostile_input.py
    tests/python/test_hosts.py tests/python/test_extract.py tests/python/test_rules.py
    tests/python/test_columns.py
)

# JAVA_HOME for PySpark when it is not set: Debian's Java 17, which may not be
# the default `java` of a machine with several.
ensure_java_home() {
    [ -n "${JAVA_HOME:-}" ] && return 0
    local home
    home=/usr/lib/jvm/java-17-openjdk-$(dpkg --print-architecture)
    if [ -x "$home/bin/java" ]; then
        export JAVA_HOME=$home
    fi
}

# CPython 3.13 or later: $PYTHON if set, else pyenv's 3.13, else python3.13 on PATH.
find_python() {
    if [ -n "${PYTHON:-}" ]; then
        echo "$PYTHON"
    elif command -v pyenv >/dev/null && PYENV_VERSION=3.13.0 pyenv which python3.13 >/dev/null 2>&1; then
        PYENV_VERSION=3.13.0 pyenv which python3.13
    elif command -v python3.13 >/dev/null; then
        command -v python3.13
    else
        echo "No CPython 3.13 found: set PYTHON=/path/to/python3.13" >&2
        return 1
    fi
}

# The list compiled in: $VEXLO_PSL_FILE if set, else the list vendored in psl/.
find_psl_file() {
    echo "${VEXLO_PSL_FILE:-$VEXLO_ROOT/psl/public_suffix_list.dat}"
}

# ensure_venv GROUP...: the project's virtual environment, made from $PYTHON
# (again when $PYTHON has changed), with the pinned installer and the given
# dependency groups of pyproject.toml. Nothing is reinstalled while neither
# the interpreter nor pyproject.toml nor the groups have changed.
ensure_venv() {
    local base
    base=$("$PYTHON" -c 'import sys; print(sys.executable)')
    local stamp="$VENV/.vexlo-setup"
    local want
    want="$base $* $(sha256sum "$VEXLO_ROOT/pyproject.toml" | cut -d' ' -f1)"
    if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ]; then
        return 0
    fi
    if [ ! -x "$VENV/bin/python" ] || [ "$(cat "$VENV/.vexlo-python" 2>/dev/null)" != "$base" ]; then
        echo "Making $VENV from $base" >&2
        "$PYTHON" -m venv --clear "$VENV"
        echo "$base" >"$VENV/.vexlo-python"
    fi
    "$VENV/bin/python" -m pip install -q --disable-pip-version-check "pip==$PIP_VERSION" >&2
    local groups=()
    local group
    for group in "$@"; do groups+=(--group "$group"); done
    (cd "$VEXLO_ROOT" && "$VENV/bin/python" -m pip install -q "${groups[@]}") >&2
    echo "$want" >"$stamp"
}

# install_project BUILD_DIR [cmake defines...]: builds the project in
# BUILD_DIR (kept between runs, so rebuilds are incremental) and installs it
# into the virtual environment in editable mode: Python sources are used from
# the checkout, the compiled modules from the build.
install_project() {
    local dir=$1
    shift
    local settings=(-Cbuild-dir="$dir" -Ccmake.define.VEXLO_PSL_FILE="$VEXLO_PSL_FILE")
    local define
    for define in "$@"; do settings+=(-Ccmake.define."$define"); done
    (cd "$VEXLO_ROOT" && "$VENV/bin/python" -m pip install -q --no-build-isolation --no-deps \
        "${settings[@]}" -e .) >&2
}

# configure_and_build BUILD_DIR [extra cmake arguments...]: a plain CMake
# build, for the sanitized, fuzzing and benchmark builds.
configure_and_build() {
    local dir=$1
    shift
    cmake -S "$VEXLO_ROOT" -B "$dir" -DPython3_EXECUTABLE="$PYTHON" \
        -DVEXLO_PSL_FILE="$VEXLO_PSL_FILE" "$@" >/dev/null
    cmake --build "$dir"
}

# The Debian mirror of this machine's apt sources.
debian_mirror() {
    local mirror
    mirror=$(grep -hsE '^(URIs:|deb )' /etc/apt/sources.list /etc/apt/sources.list.d/*.sources \
                 /etc/apt/sources.list.d/*.list |
             grep -oE 'https?://[^ ]*/debian/?' | grep -v security | head -n 1)
    echo "${mirror:-http://deb.debian.org/debian}"
}

# sid_extract_root ARCH: the folder of a Debian sid root for ARCH (amd64,
# arm64) holding CPython 3.13 and 3.14 with their headers (and the C++ runtime
# that test dependencies such as pyarrow need), made once and kept
# in $VEXLO_EXTRACT_ROOTS (default /var/cache/vexlo/sid-extract). It is only
# unpacked (mmdebstrap --variant=extract), so nothing in it ran: the links
# that make /lib, /bin and /sbin point into /usr are made here. Wheels are
# built against its headers; qemu runs its interpreters (qemu-aarch64-static
# -L ROOT ROOT/usr/bin/python3.14). Needs root (or sudo) to make.
sid_extract_root() {
    local arch=$1
    local root=${VEXLO_EXTRACT_ROOTS:-/var/cache/vexlo/sid-extract}/$arch
    local packages=python3.13-dev,python3.14-dev,libstdc++6
    local sudo=
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    if [ "$(cat "$root/.vexlo-root" 2>/dev/null)" != "$packages" ]; then
        $sudo mkdir -p "$(dirname "$root")"
        (
            flock 9
            if [ "$(cat "$root/.vexlo-root" 2>/dev/null)" != "$packages" ]; then
                echo "Unpacking Debian sid's $packages for $arch into $root" >&2
                $sudo rm -rf "$root.new" "$root"
                # A mirror that lags behind serves an index whose Valid-Until
                # has passed.
                $sudo mmdebstrap --quiet --arch="$arch" --variant=extract \
                    --aptopt='Acquire::Check-Valid-Until "false"' --include="$packages" \
                    sid "$root.new" "$(debian_mirror)" >&2
                local dir
                for dir in bin sbin lib lib64; do
                    [ -d "$root.new/usr/$dir" ] && $sudo ln -sfn "usr/$dir" "$root.new/$dir"
                done
                echo "$packages" | $sudo tee "$root.new/.vexlo-root" >/dev/null
                $sudo mv "$root.new" "$root"
            fi
        ) 9>"$root.lock"
    fi
    echo "$root"
}

# The site-packages folder of the virtual environment, for runs of another
# interpreter that need its packages but not the project installed there.
venv_site_packages() {
    "$VENV/bin/python" -c 'import sysconfig; print(sysconfig.get_path("purelib"))'
}

# pytest_in_two FOLDER FILE... -- COMMAND... : runs COMMAND, a pytest command
# line with pytest's arguments, twice at once, on the test files named and on
# the rest of FOLDER, so that both cores work; the run of the files named
# shows its output after the other's. It fails when either run fails, or
# when both select no test (pytest's 5, "no tests collected", is no failure
# in one of them alone: the arguments may select tests of one only).
pytest_in_two() {
    local folder=$1
    shift
    local -a files=() ignored=()
    while [ "$1" != -- ]; do
        files+=("$1")
        ignored+=("--ignore=$1")
        shift
    done
    shift
    local log
    log=$(mktemp)
    "$@" "${files[@]}" >"$log" 2>&1 &
    local second=$! status=0 second_status=0
    "$@" "$folder" "${ignored[@]}" || status=$?
    wait "$second" || second_status=$?
    echo "== ${files[*]##*/}, run beside the others:"
    cat "$log"
    rm -f "$log"
    local code
    for code in "$status" "$second_status"; do
        if [ "$code" -ne 0 ] && [ "$code" -ne 5 ]; then return 1; fi
    done
    [ "$status" -ne 5 ] || [ "$second_status" -ne 5 ]
}
