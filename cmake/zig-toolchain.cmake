# Builds with zig's clang and libc++ for another processor or an older C
# library: zig targets the glibc version named in the target, so what it links
# needs no newer glibc than that (what manylinux_2_17 wheels promise).
#
#   cmake -S . -B build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/zig-toolchain.cmake \
#       -DVEXLO_ZIG_TARGET=aarch64-linux-gnu.2.17 \
#       -DCMAKE_CROSSCOMPILING_EMULATOR="qemu-aarch64-static;-L;/path/to/arm64-root" \
#       -DPython3_INCLUDE_DIR=... -DPython3_SOABI=cpython-313-aarch64-linux-gnu
#
# VEXLO_ZIG is the zig program (default: `zig` on PATH; pip's `ziglang` has
# it in its package folder). Both may come from the environment instead, as
# scripts/wheels passes them. The build is always a cross build (the module
# is for a Python named by its headers, not the one running CMake), so the
# build's own tools run through CMAKE_CROSSCOMPILING_EMULATOR when they are
# for another processor, and directly when they are for this one.

if(NOT VEXLO_ZIG_TARGET)
  set(VEXLO_ZIG_TARGET "$ENV{VEXLO_ZIG_TARGET}")
endif()
if(NOT VEXLO_ZIG)
  set(VEXLO_ZIG "$ENV{VEXLO_ZIG}")
endif()
if(NOT VEXLO_ZIG)
  find_program(VEXLO_ZIG zig REQUIRED)
endif()
if(NOT VEXLO_ZIG_TARGET MATCHES "^(x86_64|aarch64)-linux-gnu(\\.[0-9.]+)?$")
  message(FATAL_ERROR "VEXLO_ZIG_TARGET: give ARCH-linux-gnu.GLIBC, e.g. aarch64-linux-gnu.2.17, "
    "not '${VEXLO_ZIG_TARGET}'")
endif()
# The try_compile projects that CMake makes read this file again.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VEXLO_ZIG_TARGET VEXLO_ZIG)

set(CMAKE_SYSTEM_NAME Linux)
string(REGEX MATCH "^[^-]+" CMAKE_SYSTEM_PROCESSOR "${VEXLO_ZIG_TARGET}")
set(CMAKE_C_COMPILER "${VEXLO_ZIG}" cc -target "${VEXLO_ZIG_TARGET}")
set(CMAKE_CXX_COMPILER "${VEXLO_ZIG}" c++ -target "${VEXLO_ZIG_TARGET}")
# zig writes debug information unless told not to, and the DuckDB extension
# is installed as built (the modules are stripped on install): linked
# stripped, it is a tenth of the size. The exported symbols stay.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-s")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-s")

# The archiver must be one program: a two-line script per tool, beside the
# build's files.
set(_zig_tools "${CMAKE_BINARY_DIR}/zig-tools")
foreach(_tool ar ranlib)
  file(WRITE "${_zig_tools}/${_tool}" "#!/bin/sh\nexec '${VEXLO_ZIG}' ${_tool} \"$@\"\n")
  file(CHMOD "${_zig_tools}/${_tool}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
       GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endforeach()
set(CMAKE_AR "${_zig_tools}/ar" CACHE FILEPATH "zig's archiver" FORCE)
set(CMAKE_RANLIB "${_zig_tools}/ranlib" CACHE FILEPATH "zig's ranlib" FORCE)

# Headers and libraries come from zig and the paths given, never from this
# machine's /usr.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
