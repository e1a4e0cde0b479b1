// Arrays whose description disagrees with itself are refused with a message
// that says what is wrong; columns of other types are type problems.
#include "columns/arrow_import.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "arrow_builders.h"

namespace vexlo {
namespace {

using testing_arrow::Element;
using testing_arrow::Layout;
using testing_arrow::TestArray;

struct Malformed {
    const char* what;
    Layout layout;
    std::function<void(TestArray&)> damage;
    const char* message_part;
    std::vector<std::int64_t> sizes = {};  // buffer sizes the producer tells
};

std::vector<Element> sample() {
    return {Element("a.example.com"), std::nullopt, Element("www.example.co.uk"),
            Element("longer-than-twelve.example.org"), Element("x")};
}

void PrintTo(const Malformed& m, std::ostream* out) { *out << m.what; }

class RefusesMalformed : public testing::TestWithParam<Malformed> {};

TEST_P(RefusesMalformed, WithAValueProblem) {
    const Malformed& c = GetParam();
    auto t = testing_arrow::build(sample(), c.layout, 1);
    c.damage(*t);
    const ColumnImport result = import_column(t->schema, t->array, c.sizes);
    ASSERT_TRUE(std::holds_alternative<ImportProblem>(result)) << c.what;
    const ImportProblem& problem = std::get<ImportProblem>(result);
    EXPECT_FALSE(problem.is_type_error) << c.what;
    EXPECT_NE(problem.message.find(c.message_part), std::string::npos)
        << c.what << ": " << problem.message;
    EXPECT_EQ(problem.message.rfind("invalid Arrow string array: ", 0), 0u) << problem.message;
    EXPECT_EQ(t->releases, 0);  // importing takes nothing over
}

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

INSTANTIATE_TEST_SUITE_P(Table, RefusesMalformed, testing::Values(
    Malformed{"negative length", Layout::kString, [](TestArray& t) { t.array.length = -1; }, "negative length -1"},
    Malformed{"negative offset", Layout::kString, [](TestArray& t) { t.array.offset = -2; }, "negative offset -2"},
    Malformed{"negative null count", Layout::kString, [](TestArray& t) { t.array.null_count = -5; }, "negative null_count -5"},
    Malformed{"null count past length", Layout::kString, [](TestArray& t) { t.array.null_count = 9; }, "null_count 9 exceeds the length 5"},
    Malformed{"offset plus length overflows", Layout::kLargeString, [](TestArray& t) { t.array.offset = kMax - 2; }, "out of range"},
    Malformed{"two buffers", Layout::kString, [](TestArray& t) { t.array.n_buffers = 2; }, "has 3 buffers, this one has 2"},
    Malformed{"views with two buffers", Layout::kStringView, [](TestArray& t) { t.array.n_buffers = 2; }, "at least 3 buffers"},
    Malformed{"no buffer list", Layout::kString, [](TestArray& t) { t.array.buffers = nullptr; }, "no buffer list"},
    Malformed{"nulls without bitmap", Layout::kString, [](TestArray& t) { t.buffers[0] = nullptr; }, "no validity bitmap"},
    Malformed{"offsets missing", Layout::kString, [](TestArray& t) { t.buffers[1] = nullptr; }, "offsets buffer is missing"},
    Malformed{"data missing", Layout::kLargeString, [](TestArray& t) { t.buffers[2] = nullptr; }, "data buffer is missing"},
    Malformed{"offsets decrease", Layout::kString, [](TestArray& t) { t.offsets32[3] = 2; }, "offsets decrease at index 3 (28 then 2)"},
    Malformed{"first offset negative", Layout::kLargeString, [](TestArray& t) { t.offsets64[1] = -4; }, "is negative"},
    Malformed{"offsets past data", Layout::kString, [](TestArray&) {}, "data buffer holds 10 bytes", {-1, -1, 10}},
    Malformed{"offsets buffer short", Layout::kString, [](TestArray&) {}, "offsets buffer holds 20 bytes", {-1, 20, -1}},
    Malformed{"bitmap short", Layout::kString, [](TestArray& t) { t.array.offset = 8; t.array.length = 1; }, "validity bitmap holds 1 bytes", {1, -1, -1}},
    Malformed{"views buffer short", Layout::kStringView, [](TestArray&) {}, "views buffer holds 64 bytes", {-1, 64}},
    Malformed{"view past its buffer", Layout::kStringView,
              [](TestArray& t) { t.variadic_sizes[1] = 3; }, "lies outside data buffer 1"},
    Malformed{"view names a missing buffer", Layout::kStringView,
              [](TestArray& t) { const std::int32_t b = 7; std::memcpy(t.views.data() + 4 * 16 + 8, &b, 4); }, "names data buffer 7 of 2"},
    Malformed{"view with negative length", Layout::kStringView,
              [](TestArray& t) { const std::int32_t n = -3; std::memcpy(t.views.data() + 1 * 16, &n, 4); }, "negative length -3"},
    Malformed{"view with negative start", Layout::kStringView,
              [](TestArray& t) { const std::int32_t n = -1; std::memcpy(t.views.data() + 4 * 16 + 12, &n, 4); }, "lies outside"},
    Malformed{"variadic size negative", Layout::kStringView, [](TestArray& t) { t.variadic_sizes[0] = -1; }, "negative size"},
    Malformed{"variadic buffer shorter than told", Layout::kStringView, [](TestArray&) {}, "holds 2 bytes", {-1, -1, 2, -1, -1}},
    Malformed{"variadic sizes short", Layout::kStringView, [](TestArray&) {}, "sizes holds 8 bytes, 2 buffers need 16", {-1, -1, -1, -1, 8}},
    Malformed{"variadic sizes missing", Layout::kStringView, [](TestArray& t) { t.buffers.back() = nullptr; }, "sizes is missing"},
    Malformed{"array children", Layout::kString, [](TestArray& t) { t.array.n_children = 1; }, "has no children"},
    Malformed{"array dictionary", Layout::kString, [](TestArray& t) { t.array.dictionary = &t.array; }, "no dictionary"},
    Malformed{"schema children", Layout::kString, [](TestArray& t) { t.schema.n_children = 2; }, "schema of a string column has 2 children"},
    Malformed{"released array", Layout::kString, [](TestArray& t) { t.array.release = nullptr; }, "already released"},
    Malformed{"released schema", Layout::kString, [](TestArray& t) { t.schema.release = nullptr; }, "already released"}));

struct WrongType {
    const char* format;
    const char* named;
};

void PrintTo(const WrongType& w, std::ostream* out) { *out << w.named; }

class RefusesOtherTypes : public testing::TestWithParam<WrongType> {};

TEST_P(RefusesOtherTypes, WithATypeProblemNamingTheFormat) {
    auto t = testing_arrow::build(sample(), Layout::kString);
    t->schema.format = GetParam().format;
    const ColumnImport result = import_column(t->schema, t->array);
    ASSERT_TRUE(std::holds_alternative<ImportProblem>(result));
    const ImportProblem& problem = std::get<ImportProblem>(result);
    EXPECT_TRUE(problem.is_type_error);
    EXPECT_EQ(problem.message, std::string("expected a string, large_string or string_view column, "
                                           "or one dictionary-encoded into such values, got ") +
                                   GetParam().named);
}

INSTANTIATE_TEST_SUITE_P(Table, RefusesOtherTypes, testing::Values(
    WrongType{"i", "int32"}, WrongType{"z", "binary"}, WrongType{"Z", "large_binary"},
    WrongType{"vz", "binary_view"}, WrongType{"b", "bool"}, WrongType{"+l", "list"},
    WrongType{"tsu:UTC", "timestamp"}, WrongType{"w:16", "fixed_size_binary"},
    WrongType{"n", "null"}, WrongType{"g", "float64"}, WrongType{"?!", "unknown type"}));

TEST(Import, ATableOfOneColumnIsThatColumn) {
    auto t = testing_arrow::build(sample(), Layout::kString);
    ArrowSchema* fields[] = {&t->schema};
    ArrowSchema table = t->schema;
    table.format = "+s";
    table.n_children = 1;
    table.children = fields;
    ArrowArray* columns[] = {&t->array};
    const void* no_validity[] = {nullptr};
    ArrowArray rows = t->array;
    rows.n_buffers = 1;
    rows.buffers = no_validity;
    rows.n_children = 1;
    rows.children = columns;
    rows.null_count = 0;
    rows.offset = 1;
    rows.length = 3;
    const ColumnImport result = import_column(table, rows);
    ASSERT_TRUE(std::holds_alternative<StringColumn>(result));
    const StringColumn& column = std::get<StringColumn>(result);
    ASSERT_EQ(column.size(), 3);
    EXPECT_TRUE(column.is_null(0));
    EXPECT_EQ(column.value(1), "www.example.co.uk");
    // A table of two columns is a type problem; rows outside the column, a
    // value problem.
    table.n_children = 2;
    ASSERT_TRUE(std::holds_alternative<ImportProblem>(import_column(table, rows)));
    EXPECT_TRUE(std::get<ImportProblem>(import_column(table, rows)).is_type_error);
    table.n_children = 1;
    rows.length = 5;
    const ColumnImport outside = import_column(table, rows);
    ASSERT_TRUE(std::holds_alternative<ImportProblem>(outside));
    EXPECT_EQ(std::get<ImportProblem>(outside).message, "the table's rows lie outside its column");
}

TEST(Import, ReadsEveryLayoutWithItsOffsetAndNulls) {
    const std::vector<Element> elements = sample();
    for (const Layout layout : {Layout::kString, Layout::kLargeString, Layout::kStringView}) {
        auto t = testing_arrow::build(elements, layout, 6);
        const ColumnImport result = import_column(t->schema, t->array);
        ASSERT_TRUE(std::holds_alternative<StringColumn>(result));
        const StringColumn& column = std::get<StringColumn>(result);
        ASSERT_EQ(column.size(), 5);
        EXPECT_EQ(column.large(), layout == Layout::kLargeString);
        for (std::int64_t i = 0; i < 5; ++i) {
            ASSERT_EQ(column.is_null(i), !elements[i]);
            if (elements[i]) {
                EXPECT_EQ(column.value(i), *elements[i]);
            }
        }
    }
}

TEST(Import, AcceptsWhatTheInterfaceAllows) {
    // No validity bitmap when nothing is null, an unknown null count, and
    // told buffer sizes that are exactly enough.
    auto t = testing_arrow::build({Element("a.b"), Element("c.d")}, Layout::kString);
    EXPECT_TRUE(std::holds_alternative<StringColumn>(import_column(t->schema, t->array, std::vector<std::int64_t>{0, 12, 6})));
    t->array.null_count = -1;
    EXPECT_TRUE(std::holds_alternative<StringColumn>(import_column(t->schema, t->array)));
    // An empty array needs no offsets; empty texts need no data.
    auto empty = testing_arrow::build({}, Layout::kString);
    empty->buffers[1] = nullptr;
    empty->buffers[2] = nullptr;
    EXPECT_TRUE(std::holds_alternative<StringColumn>(import_column(empty->schema, empty->array)));
    auto blanks = testing_arrow::build({Element(""), Element("")}, Layout::kString);
    blanks->buffers[2] = nullptr;
    const ColumnImport result = import_column(blanks->schema, blanks->array);
    ASSERT_TRUE(std::holds_alternative<StringColumn>(result));
    EXPECT_EQ(std::get<StringColumn>(result).value(1), "");
    // A null slot's view is never read, so it may hold anything.
    auto views = testing_arrow::build({Element("fine.example.com"), std::nullopt}, Layout::kStringView);
    const std::int32_t junk[4] = {999, 0, 55, 1 << 30};
    std::memcpy(views->views.data() + 16, junk, 16);
    EXPECT_TRUE(std::holds_alternative<StringColumn>(import_column(views->schema, views->array)));
}

}  // namespace
}  // namespace vexlo
