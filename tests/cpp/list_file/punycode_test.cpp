// Punycode against the sample strings of RFC 3492 (section 7.1), both ways,
// and the inputs that must not decode.
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "list_file/punycode.h"

namespace vexlo::list_file {
namespace {

struct Sample {
    const char* name;
    const char* unicode;
    const char* punycode;  // the RFC's, its one upper-case flag (I) lowered
};

class RfcSample : public ::testing::TestWithParam<Sample> {};

TEST_P(RfcSample, EncodesAndDecodes) {
    const Sample& s = GetParam();
    const std::optional<std::u32string> code_points = utf8_to_code_points(s.unicode);
    ASSERT_TRUE(code_points);
    EXPECT_EQ(punycode_encode(*code_points), std::optional<std::string>(s.punycode));
    EXPECT_EQ(punycode_decode(s.punycode), code_points);
    EXPECT_EQ(to_ace_label(s.unicode), "xn--" + std::string(s.punycode));
    EXPECT_EQ(from_ace_label("xn--" + std::string(s.punycode)), std::optional<std::string>(s.unicode));
}

INSTANTIATE_TEST_SUITE_P(
    Rfc3492, RfcSample,
    ::testing::Values(
        Sample{"A", "ليهمابتكلموشعربي؟", "egbpdaj6bu4bxfgehfvwxn"},
        Sample{"B", "他们为什么不说中文", "ihqwcrb4cv8a8dqg056pqjye"},
        Sample{"C", "他們爲什麽不說中文", "ihqwctvzc91f659drss3x8bo0yb"},
        Sample{"D", "Pročprostěnemluvíčesky", "Proprostnemluvesky-uyb24dma41a"},
        Sample{"E", "למההםפשוטלאמדבריםעברית", "4dbcagdahymbxekheh6e0a7fei0b"},
        Sample{"F", "यहलोगहिन्दीक्योंनहींबोलसकतेहैं", "i1baa7eci9glrd9b2ae1bj0hfcgg6iyaf8o0a1dig0cd"},
        Sample{"G", "なぜみんな日本語を話してくれないのか", "n8jok5ay5dzabd5bym9f0cm5685rrjetr6pdxa"},
        Sample{"H", "세계의모든사람들이한국어를이해한다면얼마나좋을까",
               "989aomsvi5e83db1d2a355cv1e0vak1dwrv93d5xbh15a0dt30a5jpsd879ccm6fea98c"},
        Sample{"I", "почемужеонинеговорятпорусски", "b1abfaaepdrnnbgefbadotcwatmq2g4l"},
        Sample{"J", "PorquénopuedensimplementehablarenEspañol", "PorqunopuedensimplementehablarenEspaol-fmd56a"},
        Sample{"K", "TạisaohọkhôngthểchỉnóitiếngViệt", "TisaohkhngthchnitingVit-kjcr8268qyxafd2f1b9g"},
        Sample{"L", "3年B組金八先生", "3B-ww4c5e180e575a65lsy2b"},
        Sample{"M", "安室奈美恵-with-SUPER-MONKEYS", "-with-SUPER-MONKEYS-pc58ag80a8qai00g7n9n"},
        Sample{"N", "Hello-Another-Way-それぞれの場所", "Hello-Another-Way--fc4qua05auwb3674vfr0b"},
        Sample{"O", "ひとつ屋根の下2", "2-u9tlzr9756bt3uc0v"},
        Sample{"P", "MajiでKoiする5秒前", "MajiKoi5-783gue6qz075azm5e"},
        Sample{"Q", "パフィーdeルンバ", "de-jg4avhby1noc0d"},
        Sample{"R", "そのスピードで", "d9juau41awczczp"},
        Sample{"S", "-> $1.00 <-", "-> $1.00 <--"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PunycodeDecode, DigitsAreCaseInsensitive) {
    EXPECT_EQ(punycode_decode("B1ABFAAEPDRNNBGEFBADOTCWATMQ2G4L"),
              punycode_decode("b1abfaaepdrnnbgefbadotcwatmq2g4l"));
}

struct Refused {
    const char* name;
    const char* input;
};

class Undecodable : public ::testing::TestWithParam<Refused> {};

TEST_P(Undecodable, DoesNotDecode) { EXPECT_FALSE(punycode_decode(GetParam().input)); }

INSTANTIATE_TEST_SUITE_P(
    Inputs, Undecodable,
    ::testing::Values(Refused{"cut_short", "99999999999"},  // every digit asks for another
                      Refused{"not_a_digit", "abc-de_f"},
                      Refused{"non_ascii_basic", "\xc3\xa4-cpa"},
                      Refused{"beyond_u10ffff", "en32g"},  // U+110000; "dn32g" is U+10FFFF
                      Refused{"overflows_32_bits", "9999999999a"},
                      Refused{"huge_delta", "x-999999b999999a"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PunycodeDecode, BasicPartAndLeadingDelimiter) {
    EXPECT_EQ(punycode_decode("dn32g"), std::u32string(U"\U0010FFFF"));
    EXPECT_EQ(punycode_decode(""), std::u32string());
    EXPECT_EQ(punycode_decode("abc-"), std::u32string(U"abc"));
    // A delimiter at the very start ends an empty basic part, as Python's
    // codec has it; the "xn--" check then refuses the label as not
    // round-tripping.
    EXPECT_EQ(punycode_decode("-55qx5d"), std::u32string(U"公司"));
    EXPECT_EQ(punycode_decode("55qx5d"), std::u32string(U"公司"));
}

TEST(AceLabel, SurrogatesAndIllFormedTextHaveNoOtherForm) {
    EXPECT_EQ(punycode_decode("ib9b"), std::u32string(1, char32_t{0xD800}));
    EXPECT_FALSE(from_ace_label("xn--ib9b"));
    EXPECT_FALSE(from_ace_label("55qx5d"));  // no prefix
    EXPECT_FALSE(to_ace_label("\xff"));
    EXPECT_FALSE(code_points_to_utf8(U"\x110000"));
}

}  // namespace
}  // namespace vexlo::list_file
