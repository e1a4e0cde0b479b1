// Every element of answer_column equals the scalar answer under the same
// switches (for kHost, the host finder's), for every layout of the input and
// any number of threads.
#include "columns/answer_column.h"
#include "columns/arrow_export.h"
#include "columns/arrow_import.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "arrow_builders.h"
#include "scalar_answers.h"
#include "common/thread_count.h"
#include "host/find_host.h"
#include "normalize/utf8_check.h"
#include "query/match.h"
#include "rules/compiled_tables.h"
#include "test_names.h"

namespace vexlo {
namespace {

using testing_answers::corpus;
using testing_answers::describe;
using testing_answers::expect_equal;
using testing_answers::requests;
using testing_arrow::Element;
using testing_arrow::Layout;

class EveryElement : public testing::TestWithParam<std::tuple<Question, Layout, std::int64_t>> {};

TEST_P(EveryElement, EqualsTheScalarAnswer) {
    const auto [question, layout, offset] = GetParam();
    static const std::vector<Element> elements = corpus();
    const auto array = testing_arrow::build(elements, layout, offset);
    ColumnImport imported = import_column(array->schema, array->array);
    ASSERT_TRUE(std::holds_alternative<StringColumn>(imported));
    const StringColumn& column = std::get<StringColumn>(imported);
    for (ColumnRequest r : requests(question)) {
        r.wide_offsets = column.large();
        r.threads = 1;
        const ResultColumn single = answer_column(column, r, compiled_tables());
        expect_equal(single, elements, r, describe(r, layout, offset));
        const bool text = single.type.kind != ResultType::Kind::kBool;
        EXPECT_EQ(single.type.wide_offsets, text && layout == Layout::kLargeString);
        for (const unsigned threads : {2u, 3u}) {
            r.threads = threads;
            expect_equal(answer_column(column, r, compiled_tables()), elements, r,
                         describe(r, layout, offset));
        }
    }
}

std::string every_element_name(const testing::TestParamInfo<EveryElement::ParamType>& info) {
    constexpr const char* kQuestions[] = {"publicsuffix", "privatesuffix", "is_public", "is_private",
                                          "privateparts", "subdomain",     "host"};
    constexpr const char* kLayouts[] = {"string", "large_string", "string_view"};
    const auto [question, layout, offset] = info.param;
    return std::string(kQuestions[static_cast<int>(question)]) + "_" +
           kLayouts[static_cast<int>(layout)] + "_offset_" + std::to_string(offset);
}

INSTANTIATE_TEST_SUITE_P(
    AllQuestionsAndLayouts, EveryElement,
    testing::Combine(testing::Values(Question::kPublicSuffix, Question::kPrivateSuffix,
                                     Question::kIsPublic, Question::kIsPrivate,
                                     Question::kPrivateParts, Question::kSubdomain, Question::kHost),
                     testing::Values(Layout::kString, Layout::kLargeString, Layout::kStringView),
                     testing::Values(std::int64_t{0}, std::int64_t{13})),
    every_element_name);

TEST(AnswerColumn, AnEmptyColumnGivesAnEmptyResult) {
    for (const Layout layout : {Layout::kString, Layout::kLargeString, Layout::kStringView}) {
        const auto array = testing_arrow::build({}, layout, 3);
        ColumnImport imported = import_column(array->schema, array->array);
        ASSERT_TRUE(std::holds_alternative<StringColumn>(imported));
        for (const Question q : {Question::kPrivateSuffix, Question::kIsPublic, Question::kPrivateParts}) {
            const ResultColumn result = answer_column(std::get<StringColumn>(imported),
                                                      {q, true, false, false, 0, 4}, compiled_tables());
            EXPECT_EQ(result.length, 0);
            EXPECT_EQ(result.null_count, 0);
            EXPECT_FALSE(result.values.empty());
        }
    }
}

TEST(AnswerColumn, AllNullColumn) {
    const std::vector<Element> nulls(100, std::nullopt);
    const StringColumn column = [&] {
        static std::vector<std::string_view> texts(100);
        static std::vector<std::uint8_t> mask(100, 1);
        return StringColumn(texts, mask);
    }();
    for (const Question q : {Question::kPublicSuffix, Question::kIsPrivate, Question::kPrivateParts}) {
        ColumnRequest r{q};
        r.threads = 2;
        expect_equal(answer_column(column, r, compiled_tables()), nulls, r, "all null");
    }
}

TEST(AnswerColumn, TextsWithANullMaskAnswerLikeArrays) {
    const std::vector<Element> elements = corpus();
    std::vector<std::string_view> texts;
    std::vector<std::uint8_t> mask;
    for (const Element& e : elements) {
        texts.push_back(e ? std::string_view(*e) : std::string_view("not.used.example"));
        mask.push_back(!e);
    }
    const StringColumn column(texts, mask);
    for (const Question q : {Question::kPrivateSuffix, Question::kIsPublic, Question::kPrivateParts,
                             Question::kSubdomain, Question::kHost}) {
        for (ColumnRequest r : requests(q)) {
            r.threads = 3;
            expect_equal(answer_column(column, r, compiled_tables()), elements, r, "texts");
        }
    }
    // No mask: nothing is null.
    std::vector<std::string_view> valid(texts.begin(), texts.begin() + 50);
    const StringColumn unmasked(valid, {});
    EXPECT_EQ(answer_column(unmasked, {Question::kIsPrivate}, compiled_tables()).null_count, 0);
}

TEST(AnswerColumn, LargeStringResultsStayLarge) {
    const auto array = testing_arrow::build({Element("a.example.co.uk")}, Layout::kString);
    ColumnImport imported = import_column(array->schema, array->array);
    ColumnRequest r{Question::kPrivateSuffix};
    r.wide_offsets = true;
    const ResultColumn result = answer_column(std::get<StringColumn>(imported), r, compiled_tables());
    EXPECT_STREQ(result.type.format(), "U");
    EXPECT_EQ(result.text(0), "example.co.uk");
    r.question = Question::kPrivateParts;
    const ResultColumn parts = answer_column(std::get<StringColumn>(imported), r, compiled_tables());
    EXPECT_STREQ(parts.type.format(), "+l");
    EXPECT_TRUE(parts.type.wide_offsets);  // "U" items
    r.question = Question::kHost;
    const ResultColumn hosts = answer_column(std::get<StringColumn>(imported), r, compiled_tables());
    EXPECT_STREQ(hosts.type.format(), "U");
    EXPECT_EQ(hosts.text(0), "a.example.co.uk");
}

TEST(DefaultThreadCount, AllUsableCoresFromSixtyFiveThousandNames) {
    EXPECT_EQ(default_thread_count(0), 1u);
    EXPECT_EQ(default_thread_count(65535), 1u);
    EXPECT_EQ(default_thread_count(65536), usable_cores());
}

}  // namespace
}  // namespace vexlo
