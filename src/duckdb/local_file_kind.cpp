#include "duckdb/local_file_kind.h"

#include <sys/stat.h>

#include <algorithm>
#include <iterator>

namespace vexlo::duckdb {
namespace {

FileKind kind_at(const std::string& path) {
    struct stat status {};
    if (path.empty() || ::stat(path.c_str(), &status) != 0) return FileKind::kNothing;
    if (S_ISREG(status.st_mode)) return FileKind::kRegular;
    if (S_ISDIR(status.st_mode)) return FileKind::kDirectory;
    if (S_ISFIFO(status.st_mode)) return FileKind::kFifo;
    if (S_ISSOCK(status.st_mode)) return FileKind::kSocket;
    if (S_ISBLK(status.st_mode)) return FileKind::kBlockDevice;
    return FileKind::kCharacterDevice;
}

// How much a kind weighs when spellings disagree: the larger wins.
int weight(FileKind kind) noexcept { return std::min(static_cast<int>(kind), 3); }

// The path that a `file:` URL names, as DuckDB reads it, or "" for a path
// that is not one. Repeated slashes name what one names.
std::string url_path(std::string_view path) {
    constexpr std::string_view kScheme = "file:/";
    constexpr std::string_view kLocalHost = "//localhost/";
    if (!path.starts_with(kScheme)) return {};
    path.remove_prefix(kScheme.size() - 1);
    if (path.starts_with(kLocalHost)) path.remove_prefix(kLocalHost.size() - 1);
    return std::string(path);
}

}  // namespace

FileKind local_file_kind(std::string_view path, std::string_view home) {
    std::string spellings[] = {std::string(path), url_path(path), {}};
    if (path.starts_with('~') && !home.empty()) spellings[2] = std::string(home) + std::string(path.substr(1));
    FileKind found = FileKind::kNothing;
    for (const std::string& spelling : spellings) {
        const FileKind kind = kind_at(spelling);
        if (weight(kind) > weight(found)) found = kind;
    }
    return found;
}

bool may_open(FileKind kind) noexcept { return weight(kind) < 3; }

const char* kind_name(FileKind kind) noexcept {
    constexpr const char* kNames[] = {"nothing",  "a regular file",     "a directory",   "a FIFO",
                                      "a socket", "a character device", "a block device"};
    static_assert(std::size(kNames) == static_cast<std::size_t>(FileKind::kBlockDevice) + 1);
    return kNames[static_cast<std::size_t>(kind)];
}

}  // namespace vexlo::duckdb
