// The answer of the single call for one element: the reference that the
// paths answering many names at once (columns, DuckDB's chunks) are compared
// with. For kHost, the host finder's; bytes that are not UTF-8 never reach
// the single call (Python strings are UTF-8), and count as an invalid name.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "columns/result_column.h"
#include "host/find_host.h"
#include "normalize/utf8_check.h"
#include "query/match.h"
#include "rules/compiled_tables.h"

namespace vexlo::testing_names {

struct ScalarAnswer {
    bool null = true;
    bool truth = false;
    std::string text;
    std::vector<std::string> parts;

    bool operator==(const ScalarAnswer&) const = default;
};

inline ScalarAnswer scalar_answer(const std::optional<std::string>& element, const ColumnRequest& r,
                                  const RuleTables& tables = compiled_tables()) {
    ScalarAnswer e;
    if (!element) return e;
    if (r.question == Question::kHost) {
        const host::FoundHost found = host::find_host(*element);
        e.null = !host::is_answer(found, r.keep_ip) || !is_utf8(*element);
        for (const char c : e.null ? std::string_view() : found.text()) {
            if (c != '\t' && c != '\n' && c != '\r') e.text += c;
        }
        return e;
    }
    const bool predicate = r.question == Question::kIsPublic || r.question == Question::kIsPrivate;
    std::optional<Match> matched;
    if (is_utf8(*element)) matched = match_domain(*element, tables, {r.accept_unknown, r.icann_only});
    if (!matched) {
        e.null = !predicate;
        return e;
    }
    const MatchView match = matched->view();
    auto text = [&](std::optional<std::string_view> t) {
        e.null = !t;
        if (t) e.text = std::string(*t);
    };
    switch (r.question) {
        case Question::kIsPublic: e.null = false, e.truth = is_public(match); break;
        case Question::kIsPrivate: e.null = false, e.truth = is_private(match); break;
        case Question::kPublicSuffix: text(publicsuffix(match, r.keep_case)); break;
        case Question::kPrivateSuffix: text(privatesuffix(match, r.keep_case)); break;
        case Question::kSubdomain: text(subdomain(match, r.depth, r.keep_case)); break;
        case Question::kHost: break;
        case Question::kPrivateParts: {
            const auto parts = privateparts(match, r.keep_case);
            e.null = !parts;
            if (!parts) break;
            std::string_view rest = parts->subdomains;
            for (std::size_t s = 0; s < parts->subdomain_count; ++s) {
                const std::size_t dot = rest.find('.');
                e.parts.emplace_back(rest.substr(0, dot));
                rest = dot == rest.npos ? std::string_view() : rest.substr(dot + 1);
            }
            e.parts.emplace_back(parts->private_suffix);
            break;
        }
    }
    return e;
}

}  // namespace vexlo::testing_names
