// What the build knows of the list it compiles beyond its bytes: the
// provenance file kept beside the vendored list (psl/PROVENANCE), and the
// version text that the compiled list carries because of it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "list_file/build_tables.h"

namespace vexlo::tools {

struct ListProvenance {
    std::string commit;  // the list repository's commit, 40 hex digits
    std::string date;    // YYYY-MM-DD
    std::string sha256;  // of the list file's bytes
};

// The provenance in `text` ("key: value" lines, '#' comments), or the reason
// it is not one: a line of another form, a key twice, or commit, date or
// sha256 missing or malformed.
struct ProvenanceOrError {
    std::optional<ListProvenance> provenance;
    std::string error;
};
ProvenanceOrError parse_provenance(std::string_view text);

// The compiled list's version: "DATE, commit SHORT" when the provenance is
// that of these tables' list (same SHA-256), else the list's own VERSION
// line, else "custom list, SHA-256 CHECKSUM".
std::string compiled_version(const list_file::ListTables& tables,
                             const std::optional<ListProvenance>& provenance);

}  // namespace vexlo::tools
