// What is known of the list compiled in, beside its tables: the record
// itself, which code that reaches the compiled tables through another module
// reads too (rules/compiled_tables.h declares the one the build makes).
#pragma once

#include <cstddef>

namespace vexlo {

struct CompiledList {
    const char* checksum;    // LIST_CHECKSUM
    const char* version;     // its date and commit, or "custom list" and its checksum
    std::size_t rule_count;  // rule lines of the list
    std::size_t twin_count;  // rules added in the other spelling
};

}  // namespace vexlo
