// Exported results describe themselves correctly and free everything when
// released; owners release what they took exactly once, whatever fails.
#include "columns/arrow_export.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "arrow_builders.h"
#include "columns/answer_column.h"
#include "columns/arrow_owned.h"
#include "columns/arrow_import.h"
#include "failing_memory.h"
#include "rules/compiled_tables.h"

namespace vexlo {
namespace {

using testing_arrow::Element;
using testing_arrow::Layout;

const std::vector<Element> kElements = {Element("a.b.example.co.uk"), std::nullopt,
                                        Element("co.uk"), Element("Shop.Example.COM"),
                                        Element("")};

ResultColumn answer(Question question, bool large = false, unsigned threads = 1) {
    static const auto array = testing_arrow::build(kElements, Layout::kString);
    const ColumnImport imported = import_column(array->schema, array->array);
    ColumnRequest request{question};
    request.wide_offsets = large;
    request.threads = threads;
    return answer_column(std::get<StringColumn>(imported), request, compiled_tables());
}

ResultType chunks_type(Question question, bool large) {
    ColumnRequest request{question};
    request.wide_offsets = large;
    return answer_type(request, std::nullopt);
}

std::string text_at(const ArrowArray& array, std::int64_t i, bool wide) {
    const auto* data = static_cast<const char*>(array.buffers[2]);
    const std::int64_t k = array.offset + i;
    std::int64_t begin, end;
    if (wide) {
        begin = static_cast<const std::int64_t*>(array.buffers[1])[k];
        end = static_cast<const std::int64_t*>(array.buffers[1])[k + 1];
    } else {
        begin = static_cast<const std::int32_t*>(array.buffers[1])[k];
        end = static_cast<const std::int32_t*>(array.buffers[1])[k + 1];
    }
    return std::string(data + begin, static_cast<std::size_t>(end - begin));
}

bool valid_at(const ArrowArray& array, std::int64_t i) {
    const auto* bits = static_cast<const std::uint8_t*>(array.buffers[0]);
    return bits == nullptr || ((bits[i / 8] >> (i % 8)) & 1);
}

TEST(Export, TextResultAsStringArray) {
    for (const bool large : {false, true}) {
        OwnedArray array;
        OwnedSchema schema;
        {
            ArrowArray a;
            ArrowSchema s;
            export_result(answer(Question::kPrivateSuffix, large), &a, &s);
            array = OwnedArray(&a);
            schema = OwnedSchema(&s);
            EXPECT_EQ(a.release, nullptr);
        }
        EXPECT_STREQ(schema->format, large ? "U" : "u");
        EXPECT_EQ(schema->flags, ARROW_FLAG_NULLABLE);
        EXPECT_EQ(schema->n_children, 0);
        ASSERT_EQ(array->length, 5);
        EXPECT_EQ(array->n_buffers, 3);
        EXPECT_EQ(array->null_count, 3);
        EXPECT_EQ(text_at(*array, 0, large), "example.co.uk");
        EXPECT_EQ(text_at(*array, 3, large), "example.com");
        EXPECT_FALSE(valid_at(*array, 1));
        EXPECT_FALSE(valid_at(*array, 2));
        EXPECT_FALSE(valid_at(*array, 4));
        // And it reads back through import like any other string array.
        const ColumnImport again = import_column(*schema, *array);
        ASSERT_TRUE(std::holds_alternative<StringColumn>(again));
        EXPECT_EQ(std::get<StringColumn>(again).value(3), "example.com");
    }
}

TEST(Export, PredicateAsBoolArrayWithoutValidityWhenNothingIsNull) {
    ArrowArray a;
    ArrowSchema s;
    ResultColumn result = answer(Question::kIsPrivate);
    EXPECT_EQ(result.null_count, 1);
    export_result(std::move(result), &a, &s);
    EXPECT_STREQ(s.format, "b");
    EXPECT_EQ(a.n_buffers, 2);
    const auto bits = static_cast<const std::uint8_t*>(a.buffers[1])[0];
    EXPECT_EQ(bits & 0x1F, 0b01001);  // a.b.example.co.uk and Shop.Example.COM
    a.release(&a);
    s.release(&s);
    EXPECT_EQ(a.release, nullptr);
    EXPECT_EQ(s.release, nullptr);
}

TEST(Export, PartsAsListOfStringsWithAnItemChild) {
    ArrowArray a;
    ArrowSchema s;
    export_result(answer(Question::kPrivateParts), &a, &s);
    EXPECT_STREQ(s.format, "+l");
    ASSERT_EQ(s.n_children, 1);
    EXPECT_STREQ(s.children[0]->format, "u");
    EXPECT_STREQ(s.children[0]->name, "item");
    ASSERT_EQ(a.n_children, 1);
    ArrowArray* items = a.children[0];
    const auto* lists = static_cast<const std::int32_t*>(a.buffers[1]);
    EXPECT_EQ(lists[0], 0);
    EXPECT_EQ(lists[1], 3);
    EXPECT_EQ(lists[4], 5);
    EXPECT_EQ(items->length, 5);
    EXPECT_EQ(items->null_count, 0);
    EXPECT_EQ(text_at(*items, 0, false), "a");
    EXPECT_EQ(text_at(*items, 2, false), "example.co.uk");
    EXPECT_EQ(text_at(*items, 3, false), "shop");
    EXPECT_EQ(text_at(*items, 4, false), "example.com");
    // A consumer may move a child out and release it on its own.
    OwnedArray child(items);
    a.release(&a);
    EXPECT_FALSE(child.empty());
    EXPECT_EQ(text_at(*child, 1, false), "b");
    child.reset();
    EXPECT_TRUE(child.empty());
    s.release(&s);
}

TEST(ExportStream, GivesEveryChunkThenTheEnd) {
    std::vector<ResultColumn> chunks;
    chunks.push_back(answer(Question::kPublicSuffix));
    chunks.push_back(answer(Question::kPublicSuffix, false, 2));
    ArrowArrayStream stream;
    export_stream(std::move(chunks), answer_type({Question::kPublicSuffix}, std::nullopt), &stream);
    OwnedStream owned(&stream);
    ArrowSchema schema;
    ASSERT_EQ(owned->get_schema(owned.get(), &schema), 0);
    EXPECT_STREQ(schema.format, "u");
    schema.release(&schema);
    for (int k = 0; k < 2; ++k) {
        ArrowArray chunk;
        ASSERT_EQ(owned->get_next(owned.get(), &chunk), 0);
        ASSERT_NE(chunk.release, nullptr);
        EXPECT_EQ(text_at(chunk, 3, false), "com");
        chunk.release(&chunk);
    }
    ArrowArray end;
    ASSERT_EQ(owned->get_next(owned.get(), &end), 0);
    EXPECT_EQ(end.release, nullptr);
    EXPECT_EQ(owned->get_last_error(owned.get()), nullptr);
}

TEST(ExportStream, UnreadChunksAreFreed) {
    std::vector<ResultColumn> chunks;
    chunks.push_back(answer(Question::kPrivateParts, true));
    chunks.push_back(answer(Question::kPrivateParts, true));
    ArrowArrayStream stream;
    export_stream(std::move(chunks), chunks_type(Question::kPrivateParts, true), &stream);
    ArrowSchema schema;
    ASSERT_EQ(stream.get_schema(&stream, &schema), 0);
    EXPECT_STREQ(schema.format, "+l");
    EXPECT_STREQ(schema.children[0]->format, "U");
    schema.release(&schema);
    ArrowArray first;
    ASSERT_EQ(stream.get_next(&stream, &first), 0);
    EXPECT_EQ(text_at(*first.children[0], 2, true), "example.co.uk");
    first.release(&first);
    stream.release(&stream);  // the second chunk was never read
    EXPECT_EQ(stream.release, nullptr);
}

TEST(ExportStream, NoChunksStillHaveASchema) {
    ArrowArrayStream stream;
    ColumnRequest request{Question::kSubdomain};
    request.wide_offsets = true;
    export_stream({}, answer_type(request, std::nullopt), &stream);
    ArrowSchema schema;
    ASSERT_EQ(stream.get_schema(&stream, &schema), 0);
    EXPECT_STREQ(schema.format, "U");
    schema.release(&schema);
    ArrowArray end;
    ASSERT_EQ(stream.get_next(&stream, &end), 0);
    EXPECT_EQ(end.release, nullptr);
    stream.release(&stream);
}

// Runs `body` with the k-th allocation failing, for every k until one run
// needs no more than k - 1 allocations; returns how many runs failed.
template <class Body>
int with_each_allocation_failing(Body body) {
    int failures = 0;
    for (long k = 1;; ++k) {
        testing::fail_allocation_after(k);
        bool failed = false;
        try {
            body();
        } catch (const std::bad_alloc&) {
            failed = true;
            ++failures;
        }
        testing::fail_allocation_after(0);
        if (!failed) return failures;
    }
}

TEST(AllocationFailure, AnsweringReleasesTheImportedArrayExactlyOnce) {
    for (const Question q : {Question::kPrivateSuffix, Question::kIsPublic, Question::kPrivateParts}) {
        for (const unsigned threads : {1u, 3u}) {
            std::vector<Element> elements;
            for (int i = 0; i < 300; ++i) elements.push_back(kElements[i % kElements.size()]);
            const int failures = with_each_allocation_failing([&] {
                auto t = testing_arrow::build(elements, Layout::kStringView);
                {
                    OwnedArray array(&t->array);
                    OwnedSchema schema(&t->schema);
                    EXPECT_EQ(t->array.release, nullptr);  // moved into the owner
                    try {
                        const ColumnImport imported = import_column(*schema, *array);
                        ColumnRequest request{q};
                        request.threads = threads;
                        ResultColumn result = answer_column(std::get<StringColumn>(imported),
                                                            request, compiled_tables());
                        ArrowArray out;
                        ArrowSchema out_schema;
                        export_result(std::move(result), &out, &out_schema);
                        out.release(&out);
                        out_schema.release(&out_schema);
                    } catch (...) {
                        EXPECT_EQ(t->releases, 0);
                        throw;
                    }
                }
                EXPECT_EQ(t->releases, 1);
                EXPECT_EQ(t->schema_releases, 1);
            });
            EXPECT_GT(failures, 2);
        }
    }
}

TEST(AllocationFailure, ExportLeavesTheOutStructsUntouched) {
    for (const Question q : {Question::kPrivateSuffix, Question::kIsPublic, Question::kPrivateParts}) {
        for (long k = 1; k <= 3; ++k) {
            ResultColumn result = answer(q);
            testing::fail_allocation_after(k);
            ArrowArray a;
            ArrowSchema s;
            a.release = nullptr;
            s.release = nullptr;
            try {
                export_result(std::move(result), &a, &s);
            } catch (const std::bad_alloc&) {
                testing::fail_allocation_after(0);
                EXPECT_EQ(a.release, nullptr);
                EXPECT_EQ(s.release, nullptr);
                EXPECT_EQ(result.length, 5);  // still the caller's, freed with it
                continue;
            }
            testing::fail_allocation_after(0);
            a.release(&a);
            s.release(&s);
        }
        // The stream, with get_next failing once and then succeeding.
        std::vector<ResultColumn> chunks;
        chunks.push_back(answer(q));
        ArrowArrayStream stream;
        export_stream(std::move(chunks), answer_type({q}, std::nullopt), &stream);
        ArrowArray chunk;
        testing::fail_allocation_after(1);
        EXPECT_NE(stream.get_next(&stream, &chunk), 0);
        EXPECT_NE(stream.get_last_error(&stream), nullptr);
        testing::fail_allocation_after(0);
        ASSERT_EQ(stream.get_next(&stream, &chunk), 0);
        ASSERT_NE(chunk.release, nullptr);
        chunk.release(&chunk);
        stream.release(&stream);
    }
}

TEST(AllocationFailure, ARecordChunkIsWholeWhenAskedForAgain) {
    // The struct and its fields are made in one piece: a chunk whose export
    // failed, at whichever allocation, is exported whole the next time.
    for (long k = 1; k <= static_cast<long>(kExtractFieldCount) + 2; ++k) {
        std::vector<ResultColumn> chunks;
        chunks.push_back(answer(Question::kExtract));
        ArrowArrayStream stream;
        export_stream(std::move(chunks), answer_type({Question::kExtract}, std::nullopt), &stream);
        ArrowArray chunk;
        testing::fail_allocation_after(k);
        const int first = stream.get_next(&stream, &chunk);
        testing::fail_allocation_after(0);
        if (first != 0) {
            ASSERT_EQ(stream.get_next(&stream, &chunk), 0) << k;
        }
        ASSERT_EQ(chunk.n_children, static_cast<std::int64_t>(kExtractFieldCount));
        for (std::int64_t c = 0; c < chunk.n_children; ++c) {
            EXPECT_NE(chunk.children[c]->buffers[1], nullptr) << k << " " << c;
        }
        const ArrowArray& suffix = *chunk.children[static_cast<std::size_t>(ExtractField::kPrivateSuffix)];
        EXPECT_EQ(text_at(suffix, 0, false), "example.co.uk") << k;
        chunk.release(&chunk);
        stream.release(&stream);
    }
}

TEST(Owners, ReleaseOnceAndMove) {
    auto t = testing_arrow::build(kElements, Layout::kString);
    OwnedArray first(&t->array);
    OwnedArray second(std::move(first));
    EXPECT_TRUE(first.empty());
    OwnedArray third;
    third = std::move(second);
    third = std::move(third);
    EXPECT_EQ(t->releases, 0);
    ArrowArray moved_out;
    third.move_to(&moved_out);
    EXPECT_TRUE(third.empty());
    OwnedArray fourth(&moved_out);
    fourth.reset();
    fourth.reset();
    EXPECT_EQ(t->releases, 1);
}

}  // namespace
}  // namespace vexlo
