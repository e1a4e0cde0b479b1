#include "list_provenance.h"

#include <algorithm>

namespace vexlo::tools {

namespace {

std::string_view trimmed(std::string_view text) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && space(text.front())) text.remove_prefix(1);
    while (!text.empty() && space(text.back())) text.remove_suffix(1);
    return text;
}

bool lowercase_hex(std::string_view text, std::size_t length) {
    return text.size() == length && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

bool iso_date(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
    for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    return true;
}

}  // namespace

ProvenanceOrError parse_provenance(std::string_view text) {
    ListProvenance found;
    std::string* const slots[] = {&found.commit, &found.date, &found.sha256};
    constexpr std::string_view kKeys[] = {"commit", "date", "sha256"};
    std::size_t number = 0;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        ++number;
        if (line.empty() || line.front() == '#') continue;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            return {std::nullopt, "line " + std::to_string(number) + ": not a 'key: value' line"};
        }
        const std::string_view key = trimmed(line.substr(0, colon));
        const std::string_view value = trimmed(line.substr(colon + 1));
        for (std::size_t k = 0; k < std::size(kKeys); ++k) {
            if (key != kKeys[k]) continue;
            if (!slots[k]->empty()) {
                return {std::nullopt, "line " + std::to_string(number) + ": " +
                                          std::string(key) + " given twice"};
            }
            *slots[k] = value;
        }
    }
    if (!lowercase_hex(found.commit, 40)) return {std::nullopt, "commit: not 40 hex digits"};
    if (!iso_date(found.date)) return {std::nullopt, "date: not YYYY-MM-DD"};
    if (!lowercase_hex(found.sha256, 64)) return {std::nullopt, "sha256: not 64 hex digits"};
    return {found, ""};
}

std::string compiled_version(const list_file::ListTables& tables,
                             const std::optional<ListProvenance>& provenance) {
    if (provenance && provenance->sha256 == tables.checksum) {
        return provenance->date + ", commit " + provenance->commit.substr(0, 8);
    }
    if (tables.version) return *tables.version;
    return "custom list, SHA-256 " + tables.checksum;
}

}  // namespace vexlo::tools
