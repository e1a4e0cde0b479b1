// extract over a whole column: every field of every element is what one
// text's record gives, for each Arrow layout, on one thread and on several,
// with every field or a few in the caller's order; nulls and elements that
// are not UTF-8; and the struct as Arrow consumers read it.
#include "columns/answer_extract.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "arrow_builders.h"
#include "columns/arrow_export.h"
#include "columns/arrow_owned.h"
#include "columns/arrow_import.h"
#include "extract/text_extraction.h"
#include "normalize/utf8_check.h"
#include "rules/compiled_tables.h"
#include "test_names.h"

namespace vexlo {
namespace {

using testing_arrow::Element;
using testing_arrow::Layout;

std::vector<Element> corpus() {
    std::vector<Element> elements;
    std::size_t k = 0;
    for (const std::string& name : testing_names::mixed_names(300, 3)) {
        if (++k % 11 == 0) elements.emplace_back(std::nullopt);
        elements.emplace_back(name);
        elements.emplace_back("https://u@" + name + ":8443/p?q#f");
    }
    for (const std::string& name : testing_names::awkward_names()) elements.emplace_back(name);
    for (const std::string& name : testing_names::non_utf8_names()) elements.emplace_back(name);
    for (const char* text : {"http://[::1]:80/", "http://0X7F.1/", "h\ttp://a\tB.com/", "mailto:x@A..B",
                             "http://a.com/\xff", "www.xn--55qx5d.cn", "urn:x", ""}) {
        elements.emplace_back(text);
    }
    return elements;
}

std::optional<std::string> child_text(const ResultColumn& child, std::int64_t i) {
    if (child.is_null(i)) return std::nullopt;
    return std::string(child.text(i));
}

std::optional<std::string> expected(const Element& element, ExtractField field,
                                    const ExtractOptions& options) {
    if (!element) return std::nullopt;
    const TextExtraction extraction(*element, compiled_tables(), options);
    const std::optional<std::string_view> text = extraction.field(field);
    return text ? std::optional<std::string>(*text) : std::nullopt;
}

ExtractFields fields_of(std::initializer_list<ExtractField> chosen) {
    ExtractFields fields;
    for (const ExtractField field : chosen) fields.order[fields.count++] = field;
    return fields;
}

struct ExtractCase {
    const char* name;
    Layout layout;
    unsigned threads;
    ExtractOptions options;
    ExtractFields fields;
};

class ColumnRecords : public ::testing::TestWithParam<ExtractCase> {};

TEST_P(ColumnRecords, AreTheOneTextRecords) {
    const ExtractCase& c = GetParam();
    const std::vector<Element> elements = corpus();
    const auto array = testing_arrow::build(elements, c.layout);
    const ColumnImport imported = import_column(array->schema, array->array);
    ColumnRequest request{Question::kExtract};
    request.threads = c.threads;
    request.keep_ip = c.options.keep_ip;
    request.accept_unknown = c.options.accept_unknown;
    request.keep_case = c.options.keep_case;
    request.fields = c.fields;
    request.wide_offsets = c.layout == Layout::kLargeString;
    const ResultColumn result = answer_extract(std::get<StringColumn>(imported), request, compiled_tables());
    ASSERT_EQ(result.type.kind, ResultType::Kind::kStruct);
    ASSERT_EQ(result.length, static_cast<std::int64_t>(elements.size()));
    ASSERT_EQ(result.children.size(), c.fields.count);
    EXPECT_EQ(result.type.wide_offsets, c.layout == Layout::kLargeString);
    std::int64_t nulls = 0;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const auto k = static_cast<std::int64_t>(i);
        ASSERT_EQ(result.is_null(k), !elements[i]) << i;
        nulls += !elements[i];
        // An element that is not UTF-8 holds no host: its record is empty.
        const bool utf8 = elements[i] && is_utf8(*elements[i]);
        for (std::size_t f = 0; f < c.fields.count; ++f) {
            const ExtractField field = c.fields.order[f];
            const std::optional<std::string> want =
                utf8 ? expected(elements[i], field, c.options) : std::nullopt;
            ASSERT_EQ(child_text(result.children[f], k), want)
                << "element " << i << " field " << kExtractFieldNames[static_cast<std::size_t>(field)];
        }
    }
    EXPECT_EQ(result.null_count, nulls);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ColumnRecords,
    ::testing::Values(
        ExtractCase{"Every", Layout::kString, 1, {}, ExtractFields::all()},
        ExtractCase{"EveryThreeThreads", Layout::kString, 3, {}, ExtractFields::all()},
        ExtractCase{"Large", Layout::kLargeString, 2, {false, true, true}, ExtractFields::all()},
        ExtractCase{"Views", Layout::kStringView, 2, {true, false, false}, ExtractFields::all()},
        ExtractCase{"SuffixOnly", Layout::kString, 1, {}, fields_of({ExtractField::kPrivateSuffix})},
        ExtractCase{"CallersOrder", Layout::kStringView, 3, {true, true, true},
                    fields_of({ExtractField::kRule, ExtractField::kHost, ExtractField::kSection})}),
    [](const ::testing::TestParamInfo<ExtractCase>& info) { return std::string(info.param.name); });

// The record as Arrow consumers read it: a struct of strings named by the
// fields, released once with everything in it.
TEST(ExtractExport, StructOfNamedStrings) {
    const std::vector<Element> elements = {Element("https://www.city.kobe.jp/"), std::nullopt,
                                           Element("urn:x")};
    const auto array = testing_arrow::build(elements, Layout::kString);
    const ColumnImport imported = import_column(array->schema, array->array);
    ColumnRequest request{Question::kExtract};
    request.fields = fields_of({ExtractField::kRule, ExtractField::kPrivateSuffix});
    ResultColumn result = answer_extract(std::get<StringColumn>(imported), request, compiled_tables());
    OwnedArray out;
    OwnedSchema schema;
    export_result(std::move(result), out.get(), schema.get());
    EXPECT_STREQ(schema->format, "+s");
    ASSERT_EQ(schema->n_children, 2);
    EXPECT_STREQ(schema->children[0]->name, "rule");
    EXPECT_STREQ(schema->children[1]->name, "privatesuffix");
    EXPECT_STREQ(schema->children[1]->format, "u");
    EXPECT_EQ(out->length, 3);
    EXPECT_EQ(out->null_count, 1);
    ASSERT_EQ(out->n_children, 2);
    const ArrowArray& rule = *out->children[0];
    const auto* offsets = static_cast<const std::int32_t*>(rule.buffers[1]);
    EXPECT_EQ(std::string(static_cast<const char*>(rule.buffers[2]) + offsets[0],
                          static_cast<std::size_t>(offsets[1] - offsets[0])),
              "!city.kobe.jp");
    EXPECT_EQ(rule.null_count, 2);
}

TEST(ExtractExport, AStreamOfLargeFields) {
    std::vector<ResultColumn> chunks;
    ColumnRequest request{Question::kExtract};
    request.wide_offsets = true;
    for (int k = 0; k < 2; ++k) {
        const auto array = testing_arrow::build({Element("a.b.example.co.uk")}, Layout::kLargeString);
        const ColumnImport imported = import_column(array->schema, array->array);
        chunks.push_back(answer_extract(std::get<StringColumn>(imported), request, compiled_tables()));
    }
    OwnedStream stream;
    export_stream(std::move(chunks), answer_type(request, std::nullopt), stream.get());
    OwnedSchema schema;
    ASSERT_EQ(stream->get_schema(stream.get(), schema.get()), 0);
    ASSERT_EQ(schema->n_children, static_cast<std::int64_t>(kExtractFieldCount));
    for (std::int64_t c = 0; c < schema->n_children; ++c) EXPECT_STREQ(schema->children[c]->format, "U");
    for (int chunk = 0; chunk < 2; ++chunk) {
        OwnedArray out;
        ASSERT_EQ(stream->get_next(stream.get(), out.get()), 0);
        ASSERT_EQ(out->n_children, static_cast<std::int64_t>(kExtractFieldCount));
        const ArrowArray& suffix = *out->children[static_cast<std::size_t>(ExtractField::kPrivateSuffix)];
        const auto* offsets = static_cast<const std::int64_t*>(suffix.buffers[1]);
        EXPECT_EQ(std::string(static_cast<const char*>(suffix.buffers[2]) + offsets[0],
                              static_cast<std::size_t>(offsets[1] - offsets[0])),
                  "example.co.uk");
    }
}

}  // namespace
}  // namespace vexlo
