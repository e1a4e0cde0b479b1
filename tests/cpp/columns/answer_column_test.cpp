// Every element of answer_column equals the scalar answer under the same
// switches (for kHost, the host finder's), for every layout of the input and
// any number of threads.
#include "columns/answer_column.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "arrow_builders.h"
#include "host/find_host.h"
#include "normalize/utf8_check.h"
#include "query/match.h"
#include "rules/compiled_tables.h"
#include "scalar_answer.h"
#include "test_names.h"

namespace vexlo {
namespace {

using testing_arrow::Element;
using testing_arrow::Layout;

constexpr std::uint64_t kMaxDepth = std::numeric_limits<std::uint64_t>::max();

void expect_equal(const ResultColumn& result, const std::vector<Element>& elements,
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
        switch (result.kind) {
            case ResultColumn::Kind::kBool: ASSERT_EQ(result.truth(k), e.truth) << at; break;
            case ResultColumn::Kind::kText: ASSERT_EQ(result.text(k), e.text) << at; break;
            case ResultColumn::Kind::kParts: {
                const PartsView parts = result.parts(k);
                ASSERT_EQ(parts.size(), e.parts.size()) << at;
                for (std::size_t j = 0; j < parts.size(); ++j) ASSERT_EQ(parts[j], e.parts[j]) << at;
                break;
            }
        }
    }
    EXPECT_EQ(result.null_count, nulls) << where;
    EXPECT_EQ(result.validity.empty(), nulls == 0) << where;
}

std::vector<Element> corpus() {
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

std::vector<ColumnRequest> requests(Question question) {
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

std::string describe(const ColumnRequest& r, Layout layout, std::int64_t offset) {
    return "question " + std::to_string(static_cast<int>(r.question)) + " layout " +
           std::to_string(static_cast<int>(layout)) + " offset " + std::to_string(offset) +
           " accept_unknown " + std::to_string(r.accept_unknown) + " icann_only " +
           std::to_string(r.icann_only) + " keep_case " + std::to_string(r.keep_case) +
           " depth " + std::to_string(r.depth) + " keep_ip " + std::to_string(r.keep_ip) +
           " threads " + std::to_string(r.threads);
}

class EveryElement : public testing::TestWithParam<std::tuple<Question, Layout, std::int64_t>> {};

TEST_P(EveryElement, EqualsTheScalarAnswer) {
    const auto [question, layout, offset] = GetParam();
    static const std::vector<Element> elements = corpus();
    const auto array = testing_arrow::build(elements, layout, offset);
    ImportResult imported = import_string_column(array->schema, array->array);
    ASSERT_TRUE(std::holds_alternative<StringColumn>(imported));
    const StringColumn& column = std::get<StringColumn>(imported);
    for (ColumnRequest r : requests(question)) {
        r.large_text = column.large();
        r.threads = 1;
        const ResultColumn single = answer_column(column, r, compiled_tables());
        expect_equal(single, elements, r, describe(r, layout, offset));
        const bool text = single.kind != ResultColumn::Kind::kBool;
        EXPECT_EQ(single.wide_offsets, text && layout == Layout::kLargeString);
        for (const unsigned threads : {2u, 3u}) {
            r.threads = threads;
            expect_equal(answer_column(column, r, compiled_tables()), elements, r,
                         describe(r, layout, offset));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllQuestionsAndLayouts, EveryElement,
    testing::Combine(testing::Values(Question::kPublicSuffix, Question::kPrivateSuffix,
                                     Question::kIsPublic, Question::kIsPrivate,
                                     Question::kPrivateParts, Question::kSubdomain, Question::kHost),
                     testing::Values(Layout::kString, Layout::kLargeString, Layout::kStringView),
                     testing::Values(std::int64_t{0}, std::int64_t{13})));

TEST(AnswerColumn, AnEmptyColumnGivesAnEmptyResult) {
    for (const Layout layout : {Layout::kString, Layout::kLargeString, Layout::kStringView}) {
        const auto array = testing_arrow::build({}, layout, 3);
        ImportResult imported = import_string_column(array->schema, array->array);
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
    ImportResult imported = import_string_column(array->schema, array->array);
    ColumnRequest r{Question::kPrivateSuffix};
    r.large_text = true;
    const ResultColumn result = answer_column(std::get<StringColumn>(imported), r, compiled_tables());
    EXPECT_STREQ(result.format(), "U");
    EXPECT_EQ(result.text(0), "example.co.uk");
    r.question = Question::kPrivateParts;
    const ResultColumn parts = answer_column(std::get<StringColumn>(imported), r, compiled_tables());
    EXPECT_STREQ(parts.format(), "+l");
    EXPECT_STREQ(parts.item_format(), "U");
    r.question = Question::kHost;
    const ResultColumn hosts = answer_column(std::get<StringColumn>(imported), r, compiled_tables());
    EXPECT_STREQ(hosts.format(), "U");
    EXPECT_EQ(hosts.text(0), "a.example.co.uk");
}

TEST(DefaultThreadCount, AllCoresFromSixtyFiveThousandNames) {
    EXPECT_EQ(default_thread_count(0), 1u);
    EXPECT_EQ(default_thread_count(65535), 1u);
    EXPECT_GE(default_thread_count(65536), 1u);
    EXPECT_EQ(default_thread_count(65536), std::max(1u, std::thread::hardware_concurrency()));
}

}  // namespace
}  // namespace vexlo
