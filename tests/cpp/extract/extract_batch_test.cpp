// The records of a batch of texts are those of one text at a time, for every
// kind of text (URLs, addresses, bare names, IP literals, invalid names,
// hosts holding TAB or LF, nothing at all) under every option, and with only
// some fields asked for; and the one-text records of a few forms.
#include "extract/extract_batch.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "extract/text_extraction.h"
#include "rules/compiled_tables.h"

namespace vexlo {
namespace {

using OptionalText = std::optional<std::string>;

OptionalText text_of(const std::optional<std::string_view>& view) {
    return view ? OptionalText(std::string(*view)) : std::nullopt;
}

std::vector<OptionalText> one_at_a_time(std::string_view text, const ExtractOptions& options) {
    const TextExtraction extraction(text, compiled_tables(), options);
    std::vector<OptionalText> fields;
    for (std::size_t f = 0; f < kExtractFieldCount; ++f) {
        fields.push_back(text_of(extraction.field(static_cast<ExtractField>(f))));
    }
    return fields;
}

std::vector<OptionalText> from_batch(const ExtractBatch& batch, std::size_t i) {
    std::vector<OptionalText> fields;
    for (std::size_t f = 0; f < kExtractFieldCount; ++f) {
        const auto field = static_cast<ExtractField>(f);
        if (field == ExtractField::kRule) {
            const std::optional<RuleText> rule = batch.rule(i);
            fields.push_back(rule ? OptionalText(std::string(rule->mark) + std::string(rule->name))
                                  : std::nullopt);
        } else {
            fields.push_back(text_of(batch.text(i, field)));
        }
    }
    return fields;
}

const std::vector<std::string>& texts() {
    static const std::vector<std::string> all = [] {
        std::vector<std::string> out = {
            "https://alice@Shop.Example.CO.UK:8443/cart?x#y", "www.city.kobe.jp", "kobe.jp",
            "a.b.foo.kobe.jp", "foo.bar.github.io", "http://www.xn--55qx5d.cn./", "www.公司.cn",
            "mailto:bob@A..B", "http://192.0.2.1/", "http://[2001:DB8::1]:80/", "urn:isbn:1", "",
            "example.unknowntld", "h\ttp://a.exa\tmple.COM/", "Bob <bob@Mail.Example.com>",
            "ΟΔΟΣ.ΕΛ", "EXAMPLE.com..", "x.example.co.za", "co.uk", "ck", "www.ck",
        };
        // Hosts around the longest that one text's short way lowers on the
        // stack (64 bytes, less a root dot): the ways on either side agree.
        for (const std::size_t size : {62, 63, 64, 65, 66}) {
            const std::string name = std::string(size - 12, 'A') + ".Example.COM";
            for (const std::string& host : {name, name + ".", "a.." + name, name + ".."}) {
                out.push_back(host);
                out.push_back("http://" + host + "/x");
            }
        }
        for (int i = 0; i < 600; ++i) {
            out.push_back("https://w" + std::to_string(i) + ".n" + std::to_string(i % 7) + ".blogspot.com/p");
        }
        return out;
    }();
    return all;
}

struct OptionCase {
    const char* name;
    ExtractOptions options;
};

class BatchRecords : public ::testing::TestWithParam<OptionCase> {};

TEST_P(BatchRecords, AreTheOneTextRecords) {
    const ExtractOptions& options = GetParam().options;
    ExtractBatch batch(options, every_extract_field());
    batch.add_null();
    batch.add_no_host();
    for (const std::string& text : texts()) batch.add(text);
    batch.match(compiled_tables());
    ASSERT_EQ(batch.size(), texts().size() + 2);
    EXPECT_TRUE(batch.is_null(0));
    EXPECT_FALSE(batch.is_null(1));
    EXPECT_EQ(from_batch(batch, 1), std::vector<OptionalText>(kExtractFieldCount));
    for (std::size_t i = 0; i < texts().size(); ++i) {
        EXPECT_EQ(from_batch(batch, i + 2), one_at_a_time(texts()[i], options)) << texts()[i];
    }
}

INSTANTIATE_TEST_SUITE_P(
    Options, BatchRecords,
    ::testing::Values(OptionCase{"Defaults", {}}, OptionCase{"KeepIp", {true, true, false}},
                      OptionCase{"KeepCase", {false, true, true}},
                      OptionCase{"NoUnknown", {true, false, true}}),
    [](const ::testing::TestParamInfo<OptionCase>& info) { return std::string(info.param.name); });

// Asked for the suffixes only, the batch walks one view and answers them alike.
TEST(ExtractBatch, FieldsWithoutTheVerdictAnswerAlike) {
    ExtractFieldSet fields;
    fields.set(static_cast<std::size_t>(ExtractField::kPrivateSuffix));
    fields.set(static_cast<std::size_t>(ExtractField::kHost));
    fields.set(static_cast<std::size_t>(ExtractField::kPrefix));
    ExtractBatch batch({}, fields);
    for (const std::string& text : texts()) batch.add(text);
    batch.match(compiled_tables());
    for (std::size_t i = 0; i < texts().size(); ++i) {
        const std::vector<OptionalText> want = one_at_a_time(texts()[i], {});
        for (const ExtractField field : {ExtractField::kHost, ExtractField::kPrefix, ExtractField::kPrivateSuffix}) {
            EXPECT_EQ(text_of(batch.text(i, field)), want[static_cast<std::size_t>(field)]) << texts()[i];
        }
    }
}

TEST(ExtractBatch, ClearedBatchesStartAgain) {
    ExtractBatch batch({}, every_extract_field());
    for (int round = 0; round < 3; ++round) {
        batch.clear();
        batch.add("http://a\tb..c/");
        batch.add("www.example.co.uk");
        batch.match(compiled_tables());
        ASSERT_EQ(batch.size(), 2u);
        EXPECT_EQ(text_of(batch.text(0, ExtractField::kHost)), "ab..c");
        EXPECT_EQ(text_of(batch.text(1, ExtractField::kPrivateSuffix)), "example.co.uk");
    }
}

}  // namespace
}  // namespace vexlo
