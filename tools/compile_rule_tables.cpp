// Compiles a Public Suffix List file into vexlo's rule tables, at build time.
//
//   compile_rule_tables LIST_FILE --output FILE.cpp [--header FILE.h]
//                       [--provenance FILE]
//       write the C++ source of the tables (and the header of their shape);
//       the provenance file (psl/PROVENANCE) names the list's date and
//       commit in the compiled list's version when its checksum is the list's
//   compile_rule_tables LIST_FILE --summary-only
//       only check the list and print the summary
//
// Either way one summary line goes to standard output. A line that the tables
// cannot hold faithfully is refused with "FILE:LINE: reason" on standard
// error and exit status 1; nothing is dropped or rewritten, and no output
// file is left behind. The list is read by src/list_file, as a list loaded at
// run time is.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "list_file/build_tables.h"
#include "list_file/limits.h"
#include "list_provenance.h"
#include "rule_tables_source.h"

namespace {

using vexlo::list_file::BuiltTables;

constexpr std::string_view kUsage =
    "usage: compile_rule_tables LIST_FILE (--output FILE.cpp [--header FILE.h] "
    "[--provenance FILE] | --summary-only)\n";

struct Arguments {
    std::string list;
    std::optional<std::string> output;
    std::optional<std::string> header;
    std::optional<std::string> provenance;
    bool summary_only = false;
};

[[noreturn]] void usage_error(const std::string& message) {
    std::fprintf(stderr, "%.*scompile_rule_tables: error: %s\n", static_cast<int>(kUsage.size()),
                 kUsage.data(), message.c_str());
    std::exit(2);
}

Arguments parse_arguments(int argc, char** argv) {
    Arguments args;
    bool have_list = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage.data(), stdout);
            std::exit(0);
        }
        if (arg == "--summary-only") {
            args.summary_only = true;
            continue;
        }
        std::optional<std::string>* target = nullptr;
        std::string_view name;
        for (auto [option, slot] : {std::pair{std::string_view("--output"), &args.output},
                                    std::pair{std::string_view("--header"), &args.header},
                                    std::pair{std::string_view("--provenance"), &args.provenance}}) {
            if (arg == option || arg.starts_with(std::string(option) + "=")) {
                target = slot;
                name = option;
            }
        }
        if (target != nullptr) {
            if (arg.size() > name.size()) {
                *target = std::string(arg.substr(name.size() + 1));
            } else if (i + 1 < argc) {
                *target = argv[++i];
            } else {
                usage_error("argument " + std::string(name) + ": expected one argument");
            }
        } else if (arg.starts_with("-") && arg != "-") {
            usage_error("unrecognized arguments: " + std::string(arg));
        } else if (!have_list) {
            args.list = arg;
            have_list = true;
        } else {
            usage_error("unrecognized arguments: " + std::string(arg));
        }
    }
    if (!have_list) usage_error("the following arguments are required: list_file");
    if (!args.output && !args.summary_only) usage_error("give --output FILE.cpp or --summary-only");
    if (args.summary_only) {
        args.output.reset();
        args.header.reset();
    }
    return args;
}

// The file's bytes, or the error number. A file larger than any list may be
// is read only as far as needed to tell.
std::optional<std::string> read_list(const std::string& path, int& error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = errno;
        return std::nullopt;
    }
    std::string data;
    char buffer[1 << 16];
    while (data.size() <= vexlo::list_file::kMaxFileBytes) {
        const std::size_t got = std::fread(buffer, 1, sizeof buffer, file);
        data.append(buffer, got);
        if (got < sizeof buffer) break;
    }
    error = std::ferror(file) ? errno : 0;
    std::fclose(file);
    if (error != 0) return std::nullopt;
    return data;
}

// Writes `text` to a new file beside `path` and renames it over `path`, so
// that no reader ever sees half a file. False, with errno set, on failure.
bool write_atomically(const std::string& path, const std::string& text) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    std::error_code ignored;
    if (target.has_parent_path()) fs::create_directories(target.parent_path(), ignored);
    std::string temp = path + ".XXXXXX.tmp";
    const int fd = mkstemps(temp.data(), 4);
    if (fd < 0) return false;
    bool written = fchmod(fd, 0644) == 0;
    for (std::size_t at = 0; written && at < text.size();) {
        const ssize_t n = write(fd, text.data() + at, text.size() - at);
        if (n < 0 && errno == EINTR) continue;
        written = n > 0;
        if (written) at += static_cast<std::size_t>(n);
    }
    const int saved = errno;
    written = close(fd) == 0 && written;
    if (written && std::rename(temp.c_str(), path.c_str()) == 0) return true;
    const int failure = written ? errno : saved;
    unlink(temp.c_str());
    errno = failure;
    return false;
}

// Tables from an earlier list must not survive a failed run and get compiled in.
void discard(const Arguments& args) {
    for (const auto& path : {args.output, args.header}) {
        if (path) unlink(path->c_str());
    }
}

// How to run this program again from anywhere: the build runs it by a path
// relative to its own folder.
std::string remake_command(const char* argv0) {
    const std::string_view program(argv0);
    if (program.find('/') == std::string_view::npos) return std::string(program);
    return std::filesystem::absolute(std::filesystem::path(program)).lexically_normal().string();
}

}  // namespace

int main(int argc, char** argv) {
    const Arguments args = parse_arguments(argc, argv);
    int read_error = 0;
    const std::optional<std::string> data = read_list(args.list, read_error);
    if (!data) {
        std::fprintf(stderr, "%s: cannot read the list: %s\n", args.list.c_str(),
                     std::strerror(read_error));
        discard(args);
        return 1;
    }
    BuiltTables built = vexlo::list_file::compile_list(*data);
    if (!built.errors.empty()) {
        for (const auto& error : built.errors.first) {
            if (error.line != 0) {
                std::fprintf(stderr, "%s:%zu: %s\n", args.list.c_str(), error.line,
                             error.reason.c_str());
            } else {
                std::fprintf(stderr, "%s: %s\n", args.list.c_str(), error.reason.c_str());
            }
        }
        discard(args);
        return 1;
    }
    std::optional<vexlo::tools::ListProvenance> provenance;
    if (args.provenance) {
        const std::optional<std::string> text = read_list(*args.provenance, read_error);
        if (!text) {
            std::fprintf(stderr, "%s: cannot read the provenance: %s\n", args.provenance->c_str(),
                         std::strerror(read_error));
            discard(args);
            return 1;
        }
        const vexlo::tools::ProvenanceOrError parsed = vexlo::tools::parse_provenance(*text);
        if (!parsed.provenance) {
            std::fprintf(stderr, "%s: %s\n", args.provenance->c_str(), parsed.error.c_str());
            discard(args);
            return 1;
        }
        provenance = parsed.provenance;
    }
    built.tables.version = vexlo::tools::compiled_version(built.tables, provenance);
    const auto write = [&](const std::string& path, const std::string& text) {
        if (write_atomically(path, text)) return true;
        std::fprintf(stderr, "%s: cannot write: %s\n", path.c_str(), std::strerror(errno));
        discard(args);
        return false;
    };
    using vexlo::tools::rule_tables_source;
    using vexlo::tools::shape_header;
    if (args.header && !write(*args.header, shape_header(built.tables, args.list))) return 1;
    if (args.output) {
        const std::string source = rule_tables_source(built.tables, remake_command(argv[0]),
                                                      args.list, *args.output, args.header,
                                                      args.provenance);
        if (!write(*args.output, source)) return 1;
    }
    std::printf("%s\n", vexlo::tools::summary_line(built.tables).c_str());
    return 0;
}
