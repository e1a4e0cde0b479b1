// The scalar path's answer for each element, and a column result held to it
// element by element: what the tests of answer_column and answer_dictionary
// compare with; the corpus and the requests they ask.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "arrow_builders.h"
#include "columns/result_column.h"
#include "host/find_host.h"
#include "normalize/utf8_check.h"
#include "query/answers.h"
#include "query/match.h"
#include "rules/compiled_tables.h"
#include "test_names.h"

namespace vexlo::testing_answers {

using testing_arrow::Element;
using testing_arrow::Layout;

constexpr std::uint64_t kMaxDepth = std::numeric_limits<std::uint64_t>::max();

struct Expected {
    bool null = true;
    bool truth = false;
    std::string text;
    std::vector<std::string> parts;
};

// The scalar path's answer; bytes that are not UTF-8 never reach it (Python
// strings are UTF-8), and count as an invalid name.
inline Expected scalar(const Element& element, const ColumnRequest& r) {
    Expected e;
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
    if (is_utf8(*element)) {
        matched = match_domain(*element, compiled_tables(), {r.accept_unknown, r.icann_only});
    }
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

inline void expect_equal(const ResultColumn& result, const std::vector<Element>& elements,
                  const ColumnRequest& r, const std::string& where) {
    ASSERT_EQ(result.length, static_cast<std::int64_t>(elements.size())) << where;
    std::int64_t nulls = 0;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const auto k = static_cast<std::int64_t>(i);
        const Expected e = scalar(elements[i], r);
        const std::string at = where + " element " + std::to_string(i) + " '" +
                               elements[i].value_or("<null>") + "'";
        ASSERT_EQ(result.is_null(k), e.null) << at;
        nulls += e.null;
        if (e.null) continue;
        switch (result.kind) {
            case ResultColumn::Kind::kBool: ASSERT_EQ(result.truth(k), e.truth) << at; break;
            case ResultColumn::Kind::kText: ASSERT_EQ(result.text(k), e.text) << at; break;
            case ResultColumn::Kind::kParts: {
                const PartsView parts = result.parts(k);
                ASSERT_EQ(parts.size(), e.parts.size()) << at;
                for (std::size_t j = 0; j < parts.size(); ++j) ASSERT_EQ(parts[j], e.parts[j]) << at;
                break;
            }
            case ResultColumn::Kind::kDictionary:
                ASSERT_LT(result.index(k), result.dictionary->length) << at;
                ASSERT_EQ(result.dictionary->text(result.index(k)), e.text) << at;
                break;
        }
    }
    EXPECT_EQ(result.null_count, nulls) << where;
    EXPECT_EQ(result.validity.empty(), nulls == 0) << where;
}

inline std::vector<Element> corpus() {
    std::vector<Element> elements;
    std::size_t k = 0;
    for (const std::string& name : testing_names::mixed_names(1200, 11)) {
        if (++k % 9 == 0) elements.emplace_back(std::nullopt);
        elements.emplace_back(name);
    }
    for (const std::string& name : testing_names::awkward_names()) elements.emplace_back(name);
    for (const std::string& name : testing_names::non_utf8_names()) elements.emplace_back(name);
    // URLs and addresses, whose hosts are slices of them (or copies without
    // TAB and LF), IP literals, and bytes that are not UTF-8 after a host.
    for (const std::string& name : testing_names::mixed_names(200, 5)) {
        elements.emplace_back("https://user:pw@" + name + ":8443/p?q#f");
        elements.emplace_back("Alice <alice@" + name + ">");
    }
    for (const char* url : {"http://[::1]:80/", "http://0x7f.1/", "2001:db8::1", "h\ttp://a\tb.com/",
                            "http://ex\nample.com\t", "http://a.com/\xff", "http://1.2.3.4.5/", ""}) {
        elements.emplace_back(url);
    }
    return elements;
}

inline std::vector<ColumnRequest> requests(Question question) {
    std::vector<ColumnRequest> all;
    if (question == Question::kHost) {
        for (const bool keep_ip : {false, true}) {
            ColumnRequest r{question};
            r.keep_ip = keep_ip;
            all.push_back(r);
        }
        return all;
    }
    const std::vector<std::uint64_t> depths =
        question == Question::kSubdomain ? std::vector<std::uint64_t>{0, 1, 2, kMaxDepth}
                                         : std::vector<std::uint64_t>{0};
    for (const bool accept_unknown : {true, false}) {
        for (const bool icann_only : {false, true}) {
            for (const bool keep_case : {false, true}) {
                for (const std::uint64_t depth : depths) {
                    ColumnRequest r{question};
                    r.accept_unknown = accept_unknown;
                    r.icann_only = icann_only;
                    r.keep_case = keep_case;
                    r.depth = depth;
                    all.push_back(r);
                }
            }
        }
    }
    return all;
}

inline std::string describe(const ColumnRequest& r, Layout layout, std::int64_t offset) {
    return "question " + std::to_string(static_cast<int>(r.question)) + " layout " +
           std::to_string(static_cast<int>(layout)) + " offset " + std::to_string(offset) +
           " accept_unknown " + std::to_string(r.accept_unknown) + " icann_only " +
           std::to_string(r.icann_only) + " keep_case " + std::to_string(r.keep_case) +
           " depth " + std::to_string(r.depth) + " keep_ip " + std::to_string(r.keep_ip) +
           " threads " + std::to_string(r.threads);
}

}  // namespace vexlo::testing_answers
