// The C++ source of a set of rule tables, and the header of their shape, as
// the build compiles them into the module.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "list_file/build_tables.h"

namespace vexlo::tools {

// "10239 rules (+459 twins), 11103 nodes, ..., checksum ...".
std::string summary_line(const list_file::ListTables& tables);

// The source file that defines compiled_rules(), compiled_edge_keys() and
// LIST_CHECKSUM. The paths are those given on the command line; they are
// written into its comments (and `remake` with them), and the shape header
// is included relative to the source file's folder. The version the tables
// carry is written in as it stands.
std::string rule_tables_source(const list_file::ListTables& tables, std::string_view remake,
                               std::string_view list_path, std::string_view output_path,
                               const std::optional<std::string>& header_path,
                               const std::optional<std::string>& provenance_path);

// The header with kCompiledRootEdgeCount.
std::string shape_header(const list_file::ListTables& tables, std::string_view list_path);

}  // namespace vexlo::tools
