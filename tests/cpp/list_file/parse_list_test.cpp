// The lines a list may not hold, each with its reason; the file's structure;
// which errors are kept; and what is accepted.
#include <string>

#include <gtest/gtest.h>

#include "list_file/limits.h"
#include "list_file/parse_list.h"
#include "list_text.h"

namespace vexlo::list_file {
namespace {

using testing::icann_list;
using testing::kIcannBegin;
using testing::kIcannEnd;
using testing::kPrivateBegin;
using testing::kPrivateEnd;

struct RefusedLine {
    const char* name;
    std::string line;
    std::string reason;
};

class Refused : public ::testing::TestWithParam<RefusedLine> {};

// The line stands fourth, between good ones, and is the only error.
TEST_P(Refused, WithItsReason) {
    const std::string text = icann_list({"com", "uk", GetParam().line, "org"});
    const ParsedList list = parse_list(text);
    ASSERT_EQ(list.errors.count, 1u);
    EXPECT_EQ(list.errors.first.at(0).line, 4u);
    EXPECT_EQ(list.errors.first.at(0).reason, GetParam().reason);
    EXPECT_TRUE(list.rules.empty());
}

const std::string k64(64, 'a');
const std::string k63(63, 'a');

INSTANTIATE_TEST_SUITE_P(
    Lines, Refused,
    ::testing::Values(
        RefusedLine{"wildcard_not_leftmost", "foo.*.bar", "rule 'foo.*.bar': a wildcard '*' must be the leftmost label"},
        RefusedLine{"wildcard_last", "foo.*", "rule 'foo.*': a wildcard '*' must be the leftmost label"},
        RefusedLine{"asterisk_in_label", "f*o.com", "rule 'f*o.com': asterisk in label 'f*o' (a wildcard is a whole leftmost '*' label)"},
        RefusedLine{"asterisk_glued", "*foo.com", "rule '*foo.com': asterisk in label '*foo' (a wildcard is a whole leftmost '*' label)"},
        RefusedLine{"lone_asterisk", "*", "wildcard rule '*' names no suffix below which it applies"},
        RefusedLine{"wildcard_without_name", "*.", "rule '*.' names no domain"},
        RefusedLine{"exclamation_inside", "foo.!bar", "rule 'foo.!bar': exclamation mark in label '!bar' (only an exception rule starts with one)"},
        RefusedLine{"double_exclamation", "!!foo.com", "rule '!!foo.com': exclamation mark in label '!foo' (only an exception rule starts with one)"},
        RefusedLine{"exception_wildcard", "!*.foo.com", "exception rule '!*.foo.com' holds a wildcard"},
        RefusedLine{"exception_without_name", "!", "rule '!' names no domain"},
        RefusedLine{"upper_case", "Foo.com", "rule 'Foo.com': upper-case letter in label 'Foo' (the list is written in lower case)"},
        RefusedLine{"upper_case_ace", "xn--MNCHEN-3YA.de", "rule 'xn--MNCHEN-3YA.de': upper-case letter in label 'xn--MNCHEN-3YA' (the list is written in lower case)"},
        RefusedLine{"empty_inner_label", "foo..com", "rule 'foo..com': empty label"},
        RefusedLine{"leading_dot", ".foo.com", "rule '.foo.com': empty label"},
        RefusedLine{"trailing_dot", "foo.com.", "rule 'foo.com.': empty label"},
        RefusedLine{"bad_punycode", "xn--99999999999.com", "rule 'xn--99999999999.com': label 'xn--99999999999' does not decode as Punycode"},
        RefusedLine{"ace_of_ascii", "xn--abc-.com", "rule 'xn--abc-.com': label 'xn--abc-' does not decode to a non-ASCII label"},
        RefusedLine{"bare_ace_prefix", "xn--.com", "rule 'xn--.com': label 'xn--' does not decode to a non-ASCII label"},
        RefusedLine{"ace_not_round_trip", "xn---55qx5d.cn", "rule 'xn---55qx5d.cn': label 'xn---55qx5d' does not round-trip (its Unicode form encodes as 'xn--55qx5d')"},
        RefusedLine{"ace_of_upper_case", "xn--7ba.com", "rule 'xn--7ba.com': label 'xn--7ba' decodes to an unusable label: label 'Ä' is not in lower case"},
        RefusedLine{"ace_of_control", "xn--a.com", "rule 'xn--a.com': label 'xn--a' decodes to an unusable label: character U+0080 is not allowed in label '\\u0080'"},
        RefusedLine{"ace_of_surrogate", "xn--ib9b.com", "rule 'xn--ib9b.com': label 'xn--ib9b' decodes to an unusable label: character U+D800 is not allowed in label '\\ud800'"},
        RefusedLine{"unicode_upper_case", "Ärger.de", "rule 'Ärger.de': label 'Ärger' is not in lower case"},
        RefusedLine{"unicode_title_case", "ǅ.de", "rule 'ǅ.de': label 'ǅ' is not in lower case"},
        RefusedLine{"ace_prefix_on_unicode", "xn--ä.de", "rule 'xn--ä.de': label 'xn--ä' starts with 'xn--' but is not ASCII"},
        RefusedLine{"mixed_spellings", "xn--55qx5d.公司", "rule 'xn--55qx5d.公司' mixes Unicode labels and 'xn--' labels (write the whole name in one form)"},
        RefusedLine{"underscore", "foo_bar.com", "rule 'foo_bar.com': character '_' (U+005F) is not allowed in label 'foo_bar'"},
        RefusedLine{"slashes_glued", "foo.com//x", "rule 'foo.com//x': character '/' (U+002F) is not allowed in label 'com//x'"},
        RefusedLine{"no_break_space", "foo\u00a0bar.com", "rule 'foo\\u00a0bar.com': character U+00A0 is not allowed in label 'foo\\u00a0bar'"},
        RefusedLine{"line_separator", "a\u2028b.com", "rule 'a\\u2028b.com': character U+2028 is not allowed in label 'a\\u2028b'"},
        RefusedLine{"nul", std::string("\0.com", 5), "rule '\\u0000.com': character U+0000 is not allowed in label '\\u0000'"},
        RefusedLine{"two_rules", "foo.com bar.com", "text after the rule 'foo.com': 'bar.com' (one rule per line)"},
        RefusedLine{"no_break_space_before_comment", "foo.com\u00a0// x", "text after the rule 'foo.com\\u00a0//': 'x' (one rule per line)"},
        // A label has at most 63 bytes, in either spelling.
        RefusedLine{"long_label", k64 + ".com", "rule '" + k64 + ".com': label '" + k64 + "' has 64 bytes, more than 63"},
        RefusedLine{"long_unicode_label", "üüüüüüüüüüüüüüüüüüüüüüüüüüüüüüüü.de",
                    "rule 'üüüüüüüüüüüüüüüüüüüüüüüüüüüüüüüü.de': label 'üüüüüüüüüüüüüüüüüüüüüüüüüüüüüüüü' has 64 bytes, more than 63"},
        RefusedLine{"long_ace_form", "ü" + std::string(56, 'a') + ".de",
                    "rule 'ü" + std::string(56, 'a') + ".de': label 'ü" + std::string(56, 'a') +
                        "' has 64 bytes in its 'xn--' form 'xn--" + std::string(56, 'a') +
                        "-70f', more than 63"},
        RefusedLine{"long_decoded_label", "xn--e28haaaaaaaaaaaaaaa.com",
                    "rule 'xn--e28haaaaaaaaaaaaaaa.com': label 'xn--e28haaaaaaaaaaaaaaa' decodes to an unusable label: label '😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀' has 64 bytes, more than 63"},
        // Quoted text stops after 200 characters.
        RefusedLine{"long_text_after", "a.com " + std::string(300, 'b'),
                    "text after the rule 'a.com': '" + std::string(200, 'b') + "...' (one rule per line)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Accepted, LabelsOfSixtyThreeBytesInEitherSpelling) {
    // 21 three-byte characters; an "xn--" label of 27 bytes whose Unicode form has 63.
    const std::string text =
        icann_list({k63 + ".com", "一一一一一一一一一一一一一一一一一一一一一.cn", "xn--abc-qh33baaaaaaaaaaaaaa.com"});
    const ParsedList list = parse_list(text);
    EXPECT_TRUE(list.errors.empty()) << list.errors.first.at(0).reason;
    EXPECT_EQ(list.rules.size(), 3u);
}

struct Structure {
    const char* name;
    std::string text;
    std::size_t line;
    std::string reason;
};

class BadStructure : public ::testing::TestWithParam<Structure> {};

TEST_P(BadStructure, IsRefused) {
    const ParsedList list = parse_list(GetParam().text);
    ASSERT_EQ(list.errors.count, 1u);
    EXPECT_EQ(list.errors.first.at(0).line, GetParam().line);
    EXPECT_EQ(list.errors.first.at(0).reason, GetParam().reason);
}

const std::string kHead(kIcannBegin);

INSTANTIATE_TEST_SUITE_P(
    Files, BadStructure,
    ::testing::Values(
        Structure{"outside_sections", "uk\n" + icann_list({"com"}), 1,
                  "rule 'uk' lies outside the ICANN and PRIVATE sections"},
        Structure{"after_the_end", icann_list({"com"}) + "uk\n", 4,
                  "rule 'uk' lies outside the ICANN and PRIVATE sections"},
        Structure{"never_ended", kHead + "com\n", 1, "the ICANN section begun here is never ended"},
        Structure{"wrong_end", kHead + "com\n" + std::string(kPrivateEnd), 3,
                  "end of the PRIVATE section, which is not open"},
        Structure{"bad_utf8", kHead + "co\xe9.fr\n" + std::string(kIcannEnd), 2,
                  "not valid UTF-8 (byte 3 of the line)"},
        Structure{"surrogate_in_comment", kHead + "com // \xed\xa0\x80\n" + std::string(kIcannEnd), 2,
                  "not valid UTF-8 (byte 8 of the line)"},
        Structure{"overlong", kHead + "com\n\xc0\xae\n" + std::string(kIcannEnd), 3,
                  "not valid UTF-8 (byte 1 of the line)"},
        Structure{"no_rules", kHead + "// nothing here\n" + std::string(kIcannEnd), 0,
                  "the list holds no rules"},
        Structure{"empty_file", "", 0, "the list holds no rules"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Errors, EveryFaultyLineInLineOrder) {
    const std::string text = kHead + std::string(kPrivateBegin) + "Com\nok.com\nbar..com\n";
    const ParsedList list = parse_list(text);
    // The nested section's error and its never-ended one share line 2, in
    // the order they were found.
    ASSERT_EQ(list.errors.count, 4u);
    ASSERT_EQ(list.errors.first.size(), 4u);
    EXPECT_EQ(list.errors.first[0].line, 2u);
    EXPECT_EQ(list.errors.first[0].reason,
              "PRIVATE section begins inside the ICANN section begun on line 1");
    EXPECT_EQ(list.errors.first[1].line, 2u);
    EXPECT_EQ(list.errors.first[1].reason, "the PRIVATE section begun here is never ended");
    EXPECT_EQ(list.errors.first[2].line, 3u);
    EXPECT_EQ(list.errors.first[3].line, 5u);
}

TEST(Errors, KeptUpToTheCallersCountAndAllCounted) {
    const std::string text = kHead + "A\nB\nC\n";  // the section's error comes first
    const ParsedList one = parse_list(text, 1);
    EXPECT_EQ(one.errors.count, 4u);
    ASSERT_EQ(one.errors.first.size(), 1u);
    EXPECT_EQ(one.errors.first[0].line, 1u);
    EXPECT_EQ(one.errors.first[0].reason, "the ICANN section begun here is never ended");

    const ParsedList two = parse_list(text, 2);
    ASSERT_EQ(two.errors.first.size(), 2u);
    EXPECT_EQ(two.errors.first[1].line, 2u);
    EXPECT_EQ(parse_list(text, 0).errors.count, 4u);
    EXPECT_TRUE(parse_list(text, 0).errors.first.empty());
}

TEST(Limits, FileLargerThanAListMayBe) {
    const std::string text(kMaxFileBytes + 1, '\n');
    const ParsedList list = parse_list(text);
    ASSERT_EQ(list.errors.count, 1u);
    EXPECT_EQ(list.errors.first[0].line, 0u);
    EXPECT_EQ(list.errors.first[0].reason,
              "the list file is larger than 67,108,864 bytes, the most a list may have");
}

TEST(Limits, MoreRulesThanAListMayHold) {
    std::string text = kHead;
    for (std::size_t i = 0; i <= kMaxRules; ++i) text += "a\n";
    text += "A\n";  // reading stops before this one
    const ParsedList list = parse_list(text);
    ASSERT_EQ(list.errors.count, 1u);
    EXPECT_EQ(list.errors.first[0].line, kMaxRules + 2);
    EXPECT_EQ(list.errors.first[0].reason, "the list holds more than 1,048,576 rules");
}

TEST(Accepted, RulesWithTheirSectionKindAndName) {
    const std::string text = icann_list({"uk", "*.ck", "!www.ck"}, {"blog.uk"});
    const ParsedList list = parse_list(text);
    ASSERT_TRUE(list.errors.empty());
    ASSERT_EQ(list.rules.size(), 4u);
    const auto is = [&](std::size_t i, std::uint32_t line, Section section, RuleKind kind,
                        std::string_view name) {
        const ListRule& r = list.rules[i];
        EXPECT_EQ(r.line, line);
        EXPECT_EQ(r.section, section);
        EXPECT_EQ(r.kind, kind);
        EXPECT_EQ(r.name, name);
    };
    is(0, 2, Section::icann, RuleKind::rule, "uk");
    is(1, 3, Section::icann, RuleKind::wildcard, "ck");
    is(2, 4, Section::icann, RuleKind::exception, "www.ck");
    is(3, 7, Section::private_domains, RuleKind::rule, "blog.uk");
}

TEST(Accepted, LineEndingsSpacesAndComments) {
    // CRLF, spaces and tabs around a rule, a comment after it, and markers
    // with spaces, Unicode ones included, after the slashes and at the end.
    const std::string text =
        "//   ===BEGIN ICANN DOMAINS===\u3000 \r\n"
        "  uk  \r\n"
        "co.uk // a trailing comment\r\n"
        "\tac\t\r\n"
        "//\u00a0===END ICANN DOMAINS===\r\n"
        "// ===BEGIN ICANN DOMAINS=== and more\r\n";  // only a comment
    const ParsedList list = parse_list(text);
    ASSERT_TRUE(list.errors.empty()) << list.errors.first.at(0).reason;
    ASSERT_EQ(list.rules.size(), 3u);
    EXPECT_EQ(list.rules[1].name, "co.uk");
    EXPECT_EQ(list.rules[2].name, "ac");
}

struct Version {
    const char* name;
    std::string text;
    std::optional<std::string> version;
};

class VersionHeader : public ::testing::TestWithParam<Version> {};

TEST_P(VersionHeader, ReadBeforeTheFirstSection) {
    EXPECT_EQ(parse_list(GetParam().text).version, GetParam().version);
}

INSTANTIATE_TEST_SUITE_P(
    Files, VersionHeader,
    ::testing::Values(
        Version{"upstream", "// VERSION: 2025-06-10_08-33-40_UTC\n// COMMIT: 0123abc\n" + icann_list({"com"}),
                "2025-06-10_08-33-40_UTC"},
        Version{"spaces", "//VERSION:\t v1 \r\n" + icann_list({"com"}), "v1"},
        Version{"first_one", "// VERSION: a\n// VERSION: b\n" + icann_list({"com"}), "a"},
        Version{"none", icann_list({"com"}), std::nullopt},
        Version{"empty", "// VERSION:\n" + icann_list({"com"}), std::nullopt},
        Version{"inside_a_section", icann_list({"// VERSION: late", "com"}), std::nullopt},
        Version{"not_a_comment", "VERSION: x\n" + icann_list({"com"}), std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vexlo::list_file
