// SHA-256 (FIPS 180-4) of a list file's bytes, which names the list that a
// set of tables was made from (LIST_CHECKSUM; `sha256sum` gives the same).
#pragma once

#include <string>
#include <string_view>

namespace vexlo::list_file {

// The 64 lowercase hexadecimal digits of the digest of `data`.
std::string sha256_hex(std::string_view data);

}  // namespace vexlo::list_file
