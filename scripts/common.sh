# Shared by the scripts in this folder: the packages a machine needs, the
# interpreter to build for, and the list file to compile in.
# shellcheck shell=bash

VEXLO_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
DEBIAN_DIST_PACKAGES=/usr/lib/python3/dist-packages

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

BUILD_PACKAGES=(cmake g++ make libgtest-dev libgmock-dev python3-pytest publicsuffix)
# libFuzzer comes with clang's runtime libraries.
FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev)

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

# The list compiled in: $VEXLO_PSL_FILE if set, else the pinned list of the
# shared data folder when present, else Debian's system list.
find_psl_file() {
    if [ -n "${VEXLO_PSL_FILE:-}" ]; then
        echo "$VEXLO_PSL_FILE"
    elif [ -f "$VEXLO_ROOT/../shared/psl/public_suffix_list.dat" ]; then
        (cd "$VEXLO_ROOT/../shared/psl" && echo "$PWD/public_suffix_list.dat")
    else
        echo /usr/share/publicsuffix/public_suffix_list.dat
    fi
}

# configure_and_build BUILD_DIR [extra cmake arguments...]
configure_and_build() {
    local dir=$1
    shift
    cmake -S "$VEXLO_ROOT" -B "$dir" -DPython3_EXECUTABLE="$PYTHON" \
        -DVEXLO_PSL_FILE="$VEXLO_PSL_FILE" "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}

# Runs the built package's interpreter with Debian's pure-Python packages
# (pytest among them) importable.
run_python() {
    PYTHONPATH="$VEXLO_ROOT${PYTHONPATH:+:$PYTHONPATH}:$DEBIAN_DIST_PACKAGES" "$PYTHON" "$@"
}
