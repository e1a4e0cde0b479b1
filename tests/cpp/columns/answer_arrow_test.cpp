// A column as Arrow hands it over, answered in one way whatever its form:
// the chunks of a column and a stream read to its end each give a chunk of
// answers per array, all of one type, every element as the single call
// answers it; nothing is answered unless every array is sound.
#include "columns/answer_arrow.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "arrow_builders.h"
#include "columns/answer_column.h"
#include "rules/compiled_tables.h"
#include "scalar_answers.h"

namespace vexlo {
namespace {

using testing_arrow::Element;
using testing_arrow::Layout;
using testing_arrow::TestArray;

const std::vector<std::vector<Element>> kChunks = {
    {Element("www.Example.co.uk"), std::nullopt, Element("a..b")},
    {},
    {Element("alice.github.io"), Element("x.unknowntld"), Element("co.uk")},
};

// The arrays of kChunks in `layout`, and a column holding them (the schema is
// the first array's; each array is released once, by the column).
struct Built {
    std::vector<std::unique_ptr<TestArray>> arrays;
    ArrowColumn column;
};

Built build(Layout layout) {
    Built built;
    for (const std::vector<Element>& elements : kChunks) {
        built.arrays.push_back(testing_arrow::build(elements, layout));
        built.column.arrays.emplace_back(&built.arrays.back()->array);
    }
    built.column.schema = OwnedSchema(&built.arrays.front()->schema);
    return built;
}

// A stream over `built`'s arrays, failing with `code` after `good` arrays
// (never, for -1).
struct TestStream {
    Built built;
    std::size_t next = 0;
    std::size_t good = static_cast<std::size_t>(-1);
    int code = 0;
};

ArrowArrayStream stream_of(TestStream& test) {
    ArrowArrayStream stream{};
    stream.private_data = &test;
    stream.get_schema = [](ArrowArrayStream* s, ArrowSchema* out) {
        static_cast<TestStream*>(s->private_data)->built.column.schema.move_to(out);
        return 0;
    };
    stream.get_next = [](ArrowArrayStream* s, ArrowArray* out) {
        auto& test = *static_cast<TestStream*>(s->private_data);
        if (test.next == test.good) return test.code;
        if (test.next == test.built.column.arrays.size()) {
            out->release = nullptr;
            return 0;
        }
        test.built.column.arrays[test.next++].move_to(out);
        return 0;
    };
    stream.get_last_error = [](ArrowArrayStream*) -> const char* { return nullptr; };
    stream.release = [](ArrowArrayStream* s) { s->release = nullptr; };
    return stream;
}

// Extract's records are held to the single call in answer_extract_test.cpp.
void expect_answers(const ArrowAnswers& answers, const ColumnRequest& request) {
    ASSERT_EQ(answers.chunks.size(), kChunks.size());
    for (std::size_t c = 0; c < kChunks.size(); ++c) {
        EXPECT_EQ(answers.chunks[c].type, answers.type) << c;
        if (request.question == Question::kExtract) continue;
        testing_answers::expect_equal(answers.chunks[c], kChunks[c], request, "chunk " + std::to_string(c));
    }
}

TEST(AnswerArrow, EveryChunkOfAColumnAsTheSingleCallWithOneType) {
    for (const Question q : {Question::kPrivateSuffix, Question::kIsPrivate, Question::kPrivateParts,
                             Question::kHost, Question::kExtract}) {
        for (const Layout layout : {Layout::kString, Layout::kLargeString, Layout::kStringView}) {
            Built built = build(layout);
            ColumnRequest request{q};
            request.threads = 0;  // the default for the whole column
            const ArrowAnswers answers = answer_arrow(built.column, request, compiled_tables());
            const bool text = q != Question::kIsPrivate;
            EXPECT_EQ(answers.type.wide_offsets, text && layout == Layout::kLargeString);
            request.wide_offsets = answers.type.wide_offsets;
            expect_answers(answers, request);
        }
    }
}

TEST(AnswerArrow, AStreamIsReadToItsEnd) {
    TestStream test{build(Layout::kString)};
    ArrowColumn column;
    ArrowArrayStream stream = stream_of(test);
    column.stream = OwnedStream(&stream);
    const ColumnRequest request{Question::kPublicSuffix};
    expect_answers(answer_arrow(column, request, compiled_tables()), request);
    EXPECT_EQ(column.arrays.size(), kChunks.size());
    column = ArrowColumn();
    for (const auto& array : test.built.arrays) EXPECT_EQ(array->releases, 1);
}

TEST(AnswerArrow, RefusalsSayWhichError) {
    const auto error_of = [](ArrowColumn& column) {
        try {
            answer_arrow(column, {Question::kPrivateSuffix}, compiled_tables());
        } catch (const ColumnError& error) {
            return error;
        }
        return ColumnError{ColumnError::Kind::kValue, "nothing"};
    };
    Built other = build(Layout::kString);
    other.column.schema->format = "i";
    EXPECT_EQ(error_of(other.column).kind, ColumnError::Kind::kType);
    // The last array is unsound: nothing is answered.
    Built unsound = build(Layout::kString);
    unsound.arrays.back()->offsets32[1] = -1;
    const ColumnError value = error_of(unsound.column);
    EXPECT_EQ(value.kind, ColumnError::Kind::kValue);
    EXPECT_NE(value.message.find("invalid Arrow string array"), std::string::npos) << value.message;
    for (const int code : {EIO, ENOMEM}) {
        TestStream test{build(Layout::kString), 0, 1, code};
        ArrowColumn column;
        ArrowArrayStream stream = stream_of(test);
        column.stream = OwnedStream(&stream);
        const ColumnError failed = error_of(column);
        EXPECT_EQ(failed.kind, code == ENOMEM ? ColumnError::Kind::kStreamMemory
                                              : ColumnError::Kind::kStream);
        EXPECT_EQ(failed.message.rfind("the Arrow stream failed to give its next array: ", 0), 0u)
            << failed.message;
    }
}

TEST(AnswerArrow, DictionaryChunksOfOneColumnShareTheirRowsType) {
    const std::vector<Element> values = {"a.b.example.co.uk", "c.example.com", std::nullopt};
    std::vector<std::unique_ptr<testing_arrow::TestDictionary>> chunks;
    ArrowColumn column;
    using Rows = std::vector<std::optional<std::int64_t>>;
    for (const Rows& rows : {Rows{0, 1}, Rows{2, std::nullopt, 0}}) {
        chunks.push_back(testing_arrow::build_dictionary(values, rows, IndexType::kInt8));
        column.arrays.emplace_back(&chunks.back()->array);
    }
    column.schema = OwnedSchema(&chunks.front()->schema);
    const ArrowAnswers answers = answer_arrow(column, {Question::kPrivateParts}, compiled_tables());
    ASSERT_EQ(answers.chunks.size(), 2u);
    for (const ResultColumn& chunk : answers.chunks) EXPECT_EQ(chunk.type, answers.type);
    EXPECT_EQ(answers.type.kind, ResultType::Kind::kParts);
    EXPECT_EQ(answers.chunks[1].parts(2)[0], "a");
}

}  // namespace
}  // namespace vexlo
