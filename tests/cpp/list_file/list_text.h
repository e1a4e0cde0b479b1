// Small list files for the tests, and the lists on disk.
#pragma once

#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

namespace vexlo::testing {

inline constexpr std::string_view kIcannBegin = "// ===BEGIN ICANN DOMAINS===\n";
inline constexpr std::string_view kIcannEnd = "// ===END ICANN DOMAINS===\n";
inline constexpr std::string_view kPrivateBegin = "// ===BEGIN PRIVATE DOMAINS===\n";
inline constexpr std::string_view kPrivateEnd = "// ===END PRIVATE DOMAINS===\n";

// An ICANN section of `rules`, one a line from line 2, and a PRIVATE
// section after it when `private_rules` are given.
inline std::string icann_list(std::initializer_list<std::string_view> rules,
                              std::initializer_list<std::string_view> private_rules = {}) {
    std::string text(kIcannBegin);
    for (std::string_view rule : rules) (text += rule) += '\n';
    text += kIcannEnd;
    if (private_rules.size() != 0) {
        text += kPrivateBegin;
        for (std::string_view rule : private_rules) (text += rule) += '\n';
        text += kPrivateEnd;
    }
    return text;
}

inline std::optional<std::string> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// The pinned list of the shared data folder, which the figures below are of.
inline std::string pinned_list_path() {
    const char* from_environment = std::getenv("VEXLO_SHARED_DIR");
    return std::string(from_environment != nullptr ? from_environment : VEXLO_SHARED_DIR) +
           "/psl/public_suffix_list.dat";
}

inline constexpr const char* kSystemListPath = "/usr/share/publicsuffix/public_suffix_list.dat";

}  // namespace vexlo::testing
