// What lies at a path on this machine, looked at without opening it. Opening
// a FIFO waits for a writer, and opening a device may wait or act (a tape
// rewinds, a terminal takes the line), so psl_load_rules looks first and
// opens only a regular file or a directory. DuckDB's local file system reads
// `~/x` from the home folder and `file:///x` (`file:/x`,
// `file://localhost/x`) as `/x`; those spellings are looked at too.
#pragma once

#include <string>
#include <string_view>

namespace vexlo::duckdb {

// In the order in which they win when spellings disagree (local_file_kind),
// the last four alike.
enum class FileKind {
    kNothing,  // nothing there, or nothing this machine can look at (a URL)
    kRegular,
    kDirectory,
    kFifo,
    kSocket,
    kCharacterDevice,
    kBlockDevice,
};

// The kind at `path`, following symbolic links, as DuckDB's local file
// system would open it with `home` as the home folder. When two spellings
// name different things, the one that may not be opened wins, then a
// directory, then a regular file.
FileKind local_file_kind(std::string_view path, std::string_view home);

// Whether a file of this kind may be opened to be read: anything but a FIFO,
// a socket or a device.
bool may_open(FileKind kind) noexcept;

// "a FIFO", "a directory", ...
const char* kind_name(FileKind kind) noexcept;

}  // namespace vexlo::duckdb
