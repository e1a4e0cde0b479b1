// Dictionary-encoded columns: imported with every index type, refused when
// an index of a row lies outside the dictionary or the description disagrees
// with the buffers; each row answered as the scalar path answers its entry,
// text answers kept encoded over distinct answers, and exported so.
#include "columns/answer_dictionary.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "arrow_builders.h"
#include "columns/answer_column.h"
#include "columns/arrow_export.h"
#include "columns/arrow_owned.h"
#include "columns/arrow_import.h"
#include "rules/compiled_tables.h"
#include "scalar_answers.h"

namespace vexlo {
namespace {

using testing_arrow::build_dictionary;
using testing_arrow::Element;
using testing_arrow::Layout;
using Rows = std::vector<std::optional<std::int64_t>>;

// The answers of a column of one chunk.
ResultColumn answer_dictionary(const DictionaryColumn& column, ColumnRequest request,
                               const RuleTables& tables) {
    const ResultColumn entries = answer_column(column.values(), request, tables);
    widen_for_rows(column, entries, request);
    return spread_answers(column, entries, request);
}

constexpr IndexType kEveryIndexType[] = {IndexType::kInt8,   IndexType::kUInt8, IndexType::kInt16,
                                         IndexType::kUInt16, IndexType::kInt32, IndexType::kUInt32,
                                         IndexType::kInt64,  IndexType::kUInt64};

const std::vector<Element> kValues = {"www.example.co.uk", "shop.example.co.uk", std::nullopt,
                                      "a..b",              "Example.CO.UK",      "co.uk",
                                      "alice.github.io",   "\xff.example.com",   "x.unknowntld"};

// Each entry a few times in a shuffled order, and null rows.
Rows some_rows() {
    Rows rows;
    for (std::int64_t i = 0; i < 60; ++i) {
        rows.push_back(i % 11 == 4 ? std::nullopt
                                   : std::optional<std::int64_t>((i * 7) % static_cast<std::int64_t>(kValues.size())));
    }
    return rows;
}

std::vector<Element> expanded(const std::vector<Element>& values, const Rows& rows) {
    std::vector<Element> elements;
    for (const auto& row : rows) elements.push_back(row ? values[static_cast<std::size_t>(*row)] : std::nullopt);
    return elements;
}

ColumnImport imported(const testing_arrow::TestDictionary& t, std::span<const std::int64_t> sizes = {}) {
    return import_column(t.schema, t.array, sizes);
}

TEST(DictionaryImport, ReadsEveryIndexTypeWithItsOffsetAndNulls) {
    const Rows rows = some_rows();
    for (const IndexType type : kEveryIndexType) {
        for (const Layout layout : {Layout::kString, Layout::kLargeString, Layout::kStringView}) {
            const auto t = build_dictionary(kValues, rows, type, layout, 3);
            const ColumnImport result = imported(*t);
            ASSERT_TRUE(std::holds_alternative<DictionaryColumn>(result)) << index_format(type);
            const DictionaryColumn& column = std::get<DictionaryColumn>(result);
            EXPECT_EQ(column.index_type(), type);
            EXPECT_EQ(column.values().size(), static_cast<std::int64_t>(kValues.size()));
            ASSERT_EQ(column.size(), static_cast<std::int64_t>(rows.size()));
            for (std::size_t i = 0; i < rows.size(); ++i) {
                ASSERT_EQ(column.is_null(static_cast<std::int64_t>(i)), !rows[i]) << i;
                if (rows[i]) {
                    EXPECT_EQ(column.index(static_cast<std::int64_t>(i)), *rows[i]) << i;
                }
            }
        }
    }
}

TEST(DictionaryImport, PlainColumnsStayPlain) {
    const auto t = testing_arrow::build({"a.com", std::nullopt}, Layout::kString);
    EXPECT_TRUE(std::holds_alternative<StringColumn>(import_column(t->schema, t->array)));
}

struct Refusal {
    const char* what;
    bool type_problem;
    const char* words;  // in the message
};

void expect_refused(const ColumnImport& result, const Refusal& r) {
    ASSERT_TRUE(std::holds_alternative<ImportProblem>(result)) << r.what;
    const ImportProblem& problem = std::get<ImportProblem>(result);
    EXPECT_EQ(problem.is_type_error, r.type_problem) << r.what;
    EXPECT_NE(problem.message.find(r.words), std::string::npos) << r.what << ": " << problem.message;
}

TEST(DictionaryImport, IndicesOutsideTheDictionaryAreRefusedBeforeAnythingIsRead) {
    const auto size = static_cast<std::int64_t>(kValues.size());
    for (const IndexType type : kEveryIndexType) {
        const bool is_signed = static_cast<unsigned>(type) % 2 == 0;
        for (const std::int64_t bad : {size, size + 1, std::int64_t{127}, std::int64_t{-1}}) {
            if (!is_signed && bad < 0) continue;
            const auto t = build_dictionary(kValues, {0, 1, bad, 2}, type);
            expect_refused(imported(*t), {"index outside", false, "of row 2 lies outside the dictionary of 9 values"});
        }
        // Only rows that are not null are read: a null row's index may be anything.
        const auto nulls = build_dictionary(kValues, {0, std::nullopt, 8}, type);
        EXPECT_TRUE(std::holds_alternative<DictionaryColumn>(imported(*nulls))) << index_format(type);
    }
    // The largest 64-bit unsigned index is not read as -1.
    const auto huge = build_dictionary(kValues, {0, -1}, IndexType::kUInt64);
    expect_refused(imported(*huge), {"uint64", false, "the index 18446744073709551615 of row 1"});
    // Nor is a dictionary of none an exception.
    const auto empty = build_dictionary({}, {std::nullopt, 0}, IndexType::kInt32);
    expect_refused(imported(*empty), {"no values", false, "of row 1 lies outside the dictionary of 0 values"});
    const auto only_nulls = build_dictionary({}, {std::nullopt}, IndexType::kInt32);
    EXPECT_TRUE(std::holds_alternative<DictionaryColumn>(imported(*only_nulls)));
}

TEST(DictionaryImport, DescriptionsThatDisagreeAreRefused) {
    const auto check = [](const char* what, bool type_problem, const char* words, auto&& spoil,
                          std::vector<std::int64_t> sizes = {}) {
        auto t = build_dictionary(kValues, {0, std::nullopt, 3, 4}, IndexType::kInt16);
        spoil(*t);
        expect_refused(import_column(t->schema, t->array, sizes), {what, type_problem, words});
    };
    using T = testing_arrow::TestDictionary;
    check("float indices", true, "got a dictionary-encoded column with float32 indices",
          [](T& t) { t.schema.format = "f"; });
    check("values of int64", true, "got a dictionary of int64 values",
          [](T& t) { t.values->schema.format = "l"; });
    check("dictionary of dictionaries", true, "got a dictionary of dictionary-encoded values",
          [](T& t) { t.values->schema.dictionary = &t.schema; });
    check("no dictionary array", false, "has no dictionary", [](T& t) { t.array.dictionary = nullptr; });
    check("three buffers", false, "2 buffers, this one has 3", [](T& t) { t.array.n_buffers = 3; });
    check("nulls without a bitmap", false, "no validity bitmap", [](T& t) { t.buffers[0] = nullptr; });
    check("no indices", false, "indices buffer is missing", [](T& t) { t.buffers[1] = nullptr; });
    check("negative length", false, "negative length", [](T& t) { t.array.length = -1; });
    check("children", false, "no children", [](T& t) { t.array.n_children = 1; });
    check("short indices", false, "the indices buffer holds 6 bytes", [](T&) {},
          std::vector<std::int64_t>{1, 6});
    check("short bitmap", false, "the validity bitmap holds 0 bytes", [](T&) {},
          std::vector<std::int64_t>{0, 8});
    check("the dictionary's own fault", false, "its dictionary is an invalid Arrow string array",
          [](T& t) { t.values->offsets32[2] = 1; });
    check("the dictionary's own sizes", false, "its dictionary is an invalid Arrow string array",
          [](T&) {}, std::vector<std::int64_t>{1, 8, -1, 4});
}

TEST(DictionaryAnswers, EveryRowAsTheScalarPathAnswersItsEntry) {
    const Rows rows = some_rows();
    for (const Question question : {Question::kPublicSuffix, Question::kPrivateSuffix, Question::kIsPublic,
                                    Question::kIsPrivate, Question::kPrivateParts, Question::kSubdomain,
                                    Question::kHost}) {
        for (const IndexType type : {IndexType::kInt8, IndexType::kUInt16, IndexType::kInt64}) {
            for (const Layout layout : {Layout::kString, Layout::kLargeString, Layout::kStringView}) {
                const auto t = build_dictionary(kValues, rows, type, layout, 5);
                const DictionaryColumn column = std::get<DictionaryColumn>(imported(*t));
                for (ColumnRequest r : testing_answers::requests(question)) {
                    r.wide_offsets = column.values().large();
                    const ResultColumn result = answer_dictionary(column, r, compiled_tables());
                    const std::string where = testing_answers::describe(r, layout, 5) + " indices " +
                                              index_format(type);
                    testing_answers::expect_equal(result, expanded(kValues, rows), r, where);
                    if (result.type.kind != ResultType::Kind::kDictionary) {
                        const bool bits = question == Question::kIsPublic || question == Question::kIsPrivate;
                        EXPECT_EQ(result.type.kind, bits ? ResultType::Kind::kBool : ResultType::Kind::kParts)
                            << where;
                        continue;
                    }
                    // The answers are distinct and none is null; the indices keep their type.
                    EXPECT_EQ(result.type.index_type, type) << where;
                    const ResultColumn& answers = *result.dictionary;
                    EXPECT_EQ(answers.null_count, 0) << where;
                    EXPECT_TRUE(answers.validity.empty()) << where;
                    EXPECT_EQ(answers.type.wide_offsets, layout == Layout::kLargeString) << where;
                    std::set<std::string_view> seen;
                    for (std::int64_t a = 0; a < answers.length; ++a) {
                        EXPECT_TRUE(seen.insert(answers.text(a)).second) << where << " answer " << a;
                    }
                }
            }
        }
    }
}

TEST(DictionaryAnswers, ManyRowsOfFewEntries) {
    Rows rows;
    for (std::int64_t i = 0; i < 5000; ++i) rows.push_back(i % 3);
    const auto t = build_dictionary({"b.example.com", "a.example.com", "example.org"}, rows, IndexType::kUInt8);
    const DictionaryColumn column = std::get<DictionaryColumn>(imported(*t));
    const ResultColumn result = answer_dictionary(column, {Question::kPrivateSuffix}, compiled_tables());
    ASSERT_EQ(result.dictionary->length, 2);  // example.com once, example.org
    EXPECT_EQ(result.dictionary->text(0), "example.com");
    EXPECT_EQ(result.dictionary->text(1), "example.org");
    EXPECT_TRUE(result.validity.empty());
    for (std::int64_t i = 0; i < 5000; ++i) ASSERT_EQ(result.index(i), i % 3 == 2 ? 1 : 0) << i;
}

TEST(DictionaryExport, EncodedAnswersDescribeThemselvesAndAreReleasedOnce) {
    const auto t = build_dictionary(kValues, some_rows(), IndexType::kUInt32, Layout::kLargeString);
    const DictionaryColumn column = std::get<DictionaryColumn>(imported(*t));
    ColumnRequest r{Question::kPrivateSuffix};
    r.wide_offsets = true;
    ResultColumn result = answer_dictionary(column, r, compiled_tables());
    const std::int64_t distinct = result.dictionary->length;
    OwnedArray array;
    OwnedSchema schema;
    export_result(std::move(result), array.get(), schema.get());
    EXPECT_STREQ(schema->format, "I");
    ASSERT_NE(schema->dictionary, nullptr);
    EXPECT_STREQ(schema->dictionary->format, "U");
    EXPECT_EQ(schema->flags & ARROW_FLAG_DICTIONARY_ORDERED, 0);
    ASSERT_NE(array->dictionary, nullptr);
    EXPECT_EQ(array->dictionary->length, distinct);
    EXPECT_EQ(array->dictionary->null_count, 0);
    EXPECT_EQ(array->n_buffers, 2);
    // The exported pair reads back as the same dictionary column.
    const ColumnImport again = import_column(*schema, *array);
    ASSERT_TRUE(std::holds_alternative<DictionaryColumn>(again));
    EXPECT_EQ(std::get<DictionaryColumn>(again).size(), column.size());
    array.reset();
    schema.reset();
}

TEST(DictionaryExport, AStreamOfEncodedChunks) {
    std::vector<ResultColumn> chunks;
    ColumnRequest r{Question::kPublicSuffix};
    r.wide_offsets = true;
    for (int k = 0; k < 2; ++k) {
        const auto t = build_dictionary(kValues, some_rows(), IndexType::kInt16, Layout::kLargeString);
        chunks.push_back(answer_dictionary(std::get<DictionaryColumn>(imported(*t)), r, compiled_tables()));
    }
    OwnedStream stream;
    export_stream(std::move(chunks), answer_type(r, IndexType::kInt16), stream.get());
    OwnedSchema schema;
    ASSERT_EQ(stream->get_schema(stream.get(), schema.get()), 0);
    EXPECT_STREQ(schema->format, "s");
    EXPECT_STREQ(schema->dictionary->format, "U");
    for (int k = 0; k < 2; ++k) {
        OwnedArray chunk;
        ASSERT_EQ(stream->get_next(stream.get(), chunk.get()), 0);
        ASSERT_FALSE(chunk.empty());
        const ColumnImport back = import_column(*schema, *chunk);
        ASSERT_TRUE(std::holds_alternative<DictionaryColumn>(back)) << k;
        EXPECT_TRUE(std::get<DictionaryColumn>(back).values().large()) << k;
    }
}

}  // namespace
}  // namespace vexlo
