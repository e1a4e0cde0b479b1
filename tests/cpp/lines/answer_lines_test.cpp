// Blocks of lines answered as rows: the row of each kind of line in TSV and
// JSON, rows kept in line order across match groups, the lines that are not
// UTF-8 with their bytes and row offsets, and the part of a block left for the
// next one.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lines/answer_lines.h"
#include "query/match.h"
#include "rules/compiled_tables.h"

namespace vexlo::lines {
namespace {

RowFormat format_of(std::vector<Field> fields, bool json = false) {
    RowFormat format;
    format.fields = std::move(fields);
    format.json = json;
    return format;
}

const std::vector<Field> kAllFields = {Field::name,      Field::publicsuffix, Field::privatesuffix,
                                       Field::is_public, Field::is_private,   Field::privateparts,
                                       Field::subdomain};

std::string rows_of(const std::string& block, const RowFormat& format, bool at_end = true) {
    BlockAnswer answer;
    answer_lines(block, at_end, format, compiled_tables(), answer);
    return std::string(answer.output.view());
}

TEST(AnswerLines, TsvRowOfEveryKindOfLine) {
    const RowFormat format = format_of(kAllFields);
    EXPECT_EQ(rows_of("a.b.example.co.uk\nfoo.kobe.jp\na..b\n\xff\n", format),
              "a.b.example.co.uk\tco.uk\texample.co.uk\tfalse\ttrue\ta b example.co.uk\t"
              "b.example.co.uk\n"
              "foo.kobe.jp\tfoo.kobe.jp\t\ttrue\tfalse\t\t\n"
              "a..b\t\t\t\t\t\t\n"
              "\t\t\t\t\t\t\n");
}

TEST(AnswerLines, KeepCaseAndEscapes) {
    RowFormat format = format_of({Field::name, Field::privatesuffix, Field::privateparts});
    format.keep_case = true;
    EXPECT_EQ(rows_of("Shop.Ex ample.CO.UK.\na\tb.c d.ex\\ample.com\n", format),
              "Shop.Ex ample.CO.UK.\tEx ample.CO.UK\tShop Ex\\x20ample.CO.UK\n"
              "a\\tb.c d.ex\\\\ample.com\tex\\\\ample.com\ta\\tb c\\x20d ex\\\\ample.com\n");
}

TEST(AnswerLines, JsonRowOfEveryKindOfLine) {
    const RowFormat format = format_of(kAllFields, true);
    EXPECT_EQ(rows_of("a.b.example.co.uk\nco.uk\n.\n\xc3(\n\x01\"x.com", format),
              "{\"name\": \"a.b.example.co.uk\", \"publicsuffix\": \"co.uk\", \"privatesuffix\": "
              "\"example.co.uk\", \"is_public\": false, \"is_private\": true, \"privateparts\": "
              "[\"a\", \"b\", \"example.co.uk\"], \"subdomain\": \"b.example.co.uk\"}\n"
              "{\"name\": \"co.uk\", \"publicsuffix\": \"co.uk\", \"privatesuffix\": null, "
              "\"is_public\": true, \"is_private\": false, \"privateparts\": null, "
              "\"subdomain\": null}\n"
              "{\"name\": \".\", \"publicsuffix\": null, \"privatesuffix\": null, \"is_public\": "
              "null, \"is_private\": null, \"privateparts\": null, \"subdomain\": null}\n"
              "{\"name\": null, \"publicsuffix\": null, \"privatesuffix\": null, \"is_public\": "
              "null, \"is_private\": null, \"privateparts\": null, \"subdomain\": null}\n"
              "{\"name\": \"\\u0001\\\"x.com\", \"publicsuffix\": \"com\", \"privatesuffix\": "
              "\"\\u0001\\\"x.com\", \"is_public\": false, \"is_private\": true, \"privateparts\": "
              "[\"\\u0001\\\"x.com\"], \"subdomain\": null}\n");
}

TEST(AnswerLines, RowsStayInOrderAcrossMatchGroups) {
    // More lines than several groups hold (256 lines each), valid and
    // invalid mixed, each row checked against the name's own match.
    std::string block;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < 3 * 256 + 5; ++i) {
        std::string name = i % 7 == 3 ? "x." : "n";
        name += std::to_string(i);  // (built in steps: GCC 12 warns wrongly on a + b + c)
        name += i % 7 == 3 ? ".." : i % 2 ? ".github.io" : ".co.uk";
        names.push_back(name);
        block += names.back() + (i % 3 ? "\n" : "\r\n");
    }
    const std::string rows = rows_of(block, format_of({Field::privatesuffix}));
    std::string expected;
    for (const std::string& name : names) {
        const std::optional<Match> match = match_domain(name, compiled_tables(), Switches{});
        const auto suffix = match ? privatesuffix(match->view(), false) : std::nullopt;
        expected += std::string(suffix.value_or("")) + "\n";
    }
    EXPECT_EQ(rows, expected);
}

TEST(AnswerLines, ReportsBadLinesWithTheirBytesAndRowOffsets) {
    std::string block;
    for (int i = 0; i < 40; ++i) block += "a.example.com\n";
    block += "ok.\xe2\x82\n";  // line 40
    block += "\xc3\xa9.com\n";  // line 41: UTF-8
    for (int i = 0; i < 30; ++i) block += "b.com\n";
    block += "\xed\xa0\x80";   // line 72, unfinished
    BlockAnswer answer;
    answer_lines(block, false, format_of({Field::name}), compiled_tables(), answer);
    EXPECT_EQ(answer.lines, 72u);
    EXPECT_EQ(answer.consumed, block.size() - 3);
    ASSERT_EQ(answer.bad_lines.size(), 1u);
    EXPECT_EQ(answer.bad_lines[0].line, 40u);
    EXPECT_EQ(answer.bad_lines[0].byte, 4u);
    EXPECT_EQ(answer.bad_lines[0].row_offset, 40 * 14u);
    EXPECT_EQ(answer.output.view().substr(40 * 14, 13), "\n\xc3\xa9.com\nb.com");

    BlockAnswer last;
    answer_lines("\xed\xa0\x80", true, format_of({Field::name}), compiled_tables(), last);
    ASSERT_EQ(last.bad_lines.size(), 1u);
    EXPECT_EQ(last.bad_lines[0].byte, 1u);
    EXPECT_EQ(last.output.view(), "\n");
}

TEST(AnswerLinesThreaded, GivesTheSameAnswerAsOneThread) {
    // Short lines, a bad one now and then, and lines longer than a thread's
    // share, so that some shares have no newline of their own.
    std::string block;
    for (int i = 0; i < 60000; ++i) {
        block += i % 997 == 0 ? "bad.\xff" : i % 20011 == 0 ? std::string(300000, 'x') : "w.a.com";
        block += i % 5 ? "\n" : "\r\n";
    }
    block += "unfinished.com";
    const RowFormat format = format_of(kAllFields, true);
    for (const bool at_end : {false, true}) {
        BlockAnswer one;
        answer_lines(block, at_end, format, compiled_tables(), one);
        for (const unsigned threads : {2u, 3u, 7u}) {
            BlockAnswer many;
            answer_lines_threaded(block, at_end, format, compiled_tables(), many, threads);
            EXPECT_EQ(many.output.view(), one.output.view());
            EXPECT_EQ(many.consumed, one.consumed);
            EXPECT_EQ(many.lines, one.lines);
            ASSERT_EQ(many.bad_lines.size(), one.bad_lines.size());
            for (std::size_t i = 0; i < one.bad_lines.size(); ++i) {
                EXPECT_EQ(many.bad_lines[i].line, one.bad_lines[i].line);
                EXPECT_EQ(many.bad_lines[i].byte, one.bad_lines[i].byte);
                EXPECT_EQ(many.bad_lines[i].row_offset, one.bad_lines[i].row_offset);
            }
        }
    }
}

RowFormat urls_format(std::vector<Field> fields, bool json = false, bool keep_case = false) {
    RowFormat format = format_of(std::move(fields), json);
    format.urls = true;
    format.keep_case = keep_case;
    return format;
}

TEST(AnswerLines, UrlsAreAnsweredForTheirHosts) {
    const RowFormat format =
        urls_format({Field::name, Field::host, Field::privatesuffix, Field::is_private});
    EXPECT_EQ(rows_of("https://user@Shop.Example.CO.UK:8443/x\nalice@b.github.io\r\n"
                      "http://127.0.0.1/\nurn:isbn:1\nh\ttp://a.exa\tmple.com./\n\xff\n"
                      "http://co.uk/",
                      format),
              "https://user@Shop.Example.CO.UK:8443/x\tShop.Example.CO.UK\texample.co.uk\ttrue\n"
              "alice@b.github.io\tb.github.io\tb.github.io\ttrue\n"
              "http://127.0.0.1/\t\t\t\n"
              "urn:isbn:1\t\t\t\n"
              "h\\ttp://a.exa\\tmple.com./\ta.example.com.\texample.com\ttrue\n"
              "\t\t\t\n"
              "http://co.uk/\tco.uk\t\tfalse\n");
}

TEST(AnswerLines, UrlsInJsonWithTheCaseKept) {
    const RowFormat format = urls_format({Field::host, Field::privateparts}, true, true);
    EXPECT_EQ(rows_of("mailto:Bob@Mail.Example.COM?subject=hi\n<x.Y>\n\"@\"@a.B.c\n", format),
              "{\"host\": \"Mail.Example.COM\", \"privateparts\": [\"Mail\", \"Example.COM\"]}\n"
              "{\"host\": \"x.Y\", \"privateparts\": [\"x.Y\"]}\n"
              "{\"host\": \"a.B.c\", \"privateparts\": [\"a\", \"B.c\"]}\n");
    EXPECT_EQ(rows_of("http://[::1]/\n", format), "{\"host\": null, \"privateparts\": null}\n");
}

TEST(AnswerLines, UrlsGiveTheRowsThatTheirNamesGiveOneByOne) {
    // Hosts cut from lines of a block (read a little past their ends) and
    // from names taken alone, copied when they hold a TAB.
    std::string block;
    std::vector<std::string> lines;
    for (int i = 0; i < 600; ++i) {
        std::string line = i % 3 == 0 ? "https://u@" : i % 3 == 1 ? "m" : "mailto:x@";
        line += "Host" + std::to_string(i);
        line += i % 5 == 0 ? ".Exam\tple.CO.UK" : i % 7 == 0 ? ".1" : ".GitHub.io";
        line += i % 2 ? "/p?q" : "";
        lines.push_back(line);
        block += line + "\n";
    }
    for (const bool keep_case : {false, true}) {
        const RowFormat format = urls_format(kAllFields, keep_case, keep_case);
        OutputBuffer one_by_one;
        for (const std::string& line : lines) answer_name(line, format, compiled_tables(), one_by_one);
        EXPECT_EQ(rows_of(block, format), one_by_one.view());
    }
}

TEST(AnswerName, TakesTheWholeNameAsOneLine) {
    OutputBuffer output;
    const RowFormat format = format_of({Field::name, Field::privatesuffix});
    EXPECT_EQ(answer_name("a\nb.example.com", format, compiled_tables(), output), 0u);
    EXPECT_EQ(answer_name("x.\xfe", format, compiled_tables(), output), 3u);
    EXPECT_EQ(answer_name("", format, compiled_tables(), output), 0u);
    EXPECT_EQ(output.view(), "a\\nb.example.com\texample.com\n\t\n\t\n");

    OutputBuffer urls;
    const RowFormat url_format = urls_format({Field::name, Field::host, Field::privatesuffix});
    EXPECT_EQ(answer_name("http://a.\nexample.com\n/x", url_format, compiled_tables(), urls), 0u);
    EXPECT_EQ(urls.view(), "http://a.\\nexample.com\\n/x\ta.example.com\texample.com\n");
}

}  // namespace
}  // namespace vexlo::lines
