// A column result held to the single call's answer (scalar_answer.h) element
// by element: what the tests of answer_column and answer_dictionary compare
// with; the corpus and the requests they ask.
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
#include "query/answers.h"
#include "rules/compiled_tables.h"
#include "scalar_answer.h"
#include "test_names.h"

namespace vexlo::testing_answers {

using testing_arrow::Element;
using testing_arrow::Layout;

constexpr std::uint64_t kMaxDepth = std::numeric_limits<std::uint64_t>::max();

inline void expect_equal(const ResultColumn& result, const std::vector<Element>& elements,
                  const ColumnRequest& r, const std::string& where) {
    ASSERT_EQ(result.length, static_cast<std::int64_t>(elements.size())) << where;
    std::int64_t nulls = 0;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const auto k = static_cast<std::int64_t>(i);
        const testing_names::ScalarAnswer e = testing_names::scalar_answer(elements[i], r);
        const std::string at = where + " element " + std::to_string(i) + " '" +
                               elements[i].value_or("<null>") + "'";
        ASSERT_EQ(result.is_null(k), e.null) << at;
        nulls += e.null;
        if (e.null) continue;
        switch (result.type.kind) {
            case ResultType::Kind::kBool: ASSERT_EQ(result.truth(k), e.truth) << at; break;
            case ResultType::Kind::kText: ASSERT_EQ(result.text(k), e.text) << at; break;
            case ResultType::Kind::kParts: {
                const PartsView parts = result.parts(k);
                ASSERT_EQ(parts.size(), e.parts.size()) << at;
                for (std::size_t j = 0; j < parts.size(); ++j) ASSERT_EQ(parts[j], e.parts[j]) << at;
                break;
            }
            case ResultType::Kind::kDictionary:
                ASSERT_LT(result.index(k), result.dictionary->length) << at;
                ASSERT_EQ(result.dictionary->text(result.index(k)), e.text) << at;
                break;
            case ResultType::Kind::kStruct:
                FAIL() << at << ": records are answer_extract_test.cpp's";
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
