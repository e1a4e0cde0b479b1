// The batch walk and the block normaliser give exactly what the single walk
// and normalize_domain give.
#include "columns/batch_walk.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "columns/name_batch.h"
#include "normalize/normalize.h"
#include "rules/public_suffix.h"
#include "test_names.h"

namespace vexlo {
namespace {

std::vector<std::string> walk_corpus() {
    std::vector<std::string> names = testing_names::mixed_names(6000, 5);
    for (const std::string& rule : testing_names::rule_names()) names.push_back("x." + rule);
    // Labels that share their first eight bytes with a stored label, longer
    // and shorter, and labels holding NUL bytes.
    for (const char* tail : {"amazonaws.com", "cloudfront.net", "blogspot.com", "com"}) {
        for (const char* head : {"amazonaw", "amazonawt", "amazonawsx", "amazonaws", "blogspot",
                                 "blogspotx", "cloudfron", "cloudfronu", "a"}) {
            names.push_back(std::string(head) + "." + tail);
            names.push_back(std::string("s3.") + head + "." + tail);
        }
    }
    names.push_back(std::string("a\0b.com", 7));
    names.push_back(std::string("co\0.uk", 6));
    names.push_back(std::string("uk\0", 3));
    return names;
}

TEST(BatchWalk, EqualsTheSingleWalk) {
    NameBatch batch;
    for (const std::string& name : walk_corpus()) batch.add(name);
    for (const bool accept_unknown : {true, false}) {
        for (const bool icann_only : {false, true}) {
            batch.match(accept_unknown, icann_only);
            std::size_t walked = 0;
            for (std::size_t i = 0; i < batch.size(); ++i) {
                if (batch[i].state != NameBatch::State::kValid) continue;
                ++walked;
                const std::string_view lowered = batch.lowered(i);
                ASSERT_EQ(batch.public_length(i),
                          public_suffix_length(lowered, batch.walk_name(i).label_count,
                                               accept_unknown, icann_only))
                    << lowered << " accept_unknown " << accept_unknown << " icann_only "
                    << icann_only;
            }
            EXPECT_GT(walked, 10000u);
        }
    }
}

TEST(BatchWalk, AnyNumberOfNamesIncludingNone) {
    for (std::size_t count = 0; count <= 9; ++count) {
        NameBatch batch;
        for (std::size_t i = 0; i < count; ++i) batch.add(i % 2 ? "a.b.example.co.uk" : "ck");
        batch.match(false, false);
        for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(batch.public_length(i), i % 2 ? 2u : 1u);
    }
}

// The ASCII path lowercases, counts labels and finds empty labels as
// normalize_domain does, for every length around its block sizes.
TEST(NameBatch, NormalisesAsNormalizeDomainDoes) {
    std::mt19937 random(3);
    const char alphabet[] = "aZ.-_Q9.";
    NameBatch batch;
    std::vector<std::string> texts;
    for (std::size_t length = 0; length <= 80; ++length) {
        for (int variant = 0; variant < 40; ++variant) {
            std::string text;
            for (std::size_t i = 0; i < length; ++i) text += alphabet[random() % 8];
            texts.push_back(text);
        }
    }
    texts.push_back("Caf\xC3\xA9.COM");
    texts.push_back("\xC3\x89.");
    texts.push_back("a.\xC3\x89..b");
    for (const std::string& text : texts) batch.add(text);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::optional<NormalizedDomain> expected = normalize_domain(texts[i]);
        ASSERT_EQ(batch[i].state == NameBatch::State::kValid, expected.has_value()) << texts[i];
        if (!expected) continue;
        EXPECT_EQ(batch.lowered(i), expected->lowered.view()) << texts[i];
        EXPECT_EQ(batch[i].given, expected->given) << texts[i];
        EXPECT_EQ(batch[i].given.data(), expected->given.data()) << texts[i];
        EXPECT_EQ(batch.walk_name(i).label_count, expected->label_count) << texts[i];
        EXPECT_EQ(batch.walk_name(i).dots, dots_of(batch.lowered(i).data(), batch.lowered(i).size()))
            << texts[i];
    }
}

TEST(NameBatch, BytesThatAreNotUtf8AreAnInvalidName) {
    NameBatch batch;
    for (const std::string& text : testing_names::non_utf8_names()) batch.add(text);
    for (std::size_t i = 0; i < batch.size(); ++i) {
        EXPECT_EQ(batch[i].state, NameBatch::State::kInvalid) << i;
    }
}

struct Utf8Case {
    const char* what;
    std::string text;
    bool valid;
};

class Utf8 : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8, IsUtf8) { EXPECT_EQ(is_utf8(GetParam().text), GetParam().valid) << GetParam().what; }

INSTANTIATE_TEST_SUITE_P(Table, Utf8, testing::Values(
    Utf8Case{"empty", "", true}, Utf8Case{"ascii", "example.com", true},
    Utf8Case{"two bytes", "caf\xC3\xA9", true}, Utf8Case{"three bytes", "\xE5\x85\xAC", true},
    Utf8Case{"four bytes", "\xF0\x9F\x98\x80", true}, Utf8Case{"last scalar", "\xF4\x8F\xBF\xBF", true},
    Utf8Case{"lone continuation", "\x80", false}, Utf8Case{"overlong two", "\xC1\xBF", false},
    Utf8Case{"overlong three", "\xE0\x9F\xBF", false}, Utf8Case{"overlong four", "\xF0\x8F\xBF\xBF", false},
    Utf8Case{"surrogate", "\xED\xA0\x80", false}, Utf8Case{"past U+10FFFF", "\xF4\x90\x80\x80", false},
    Utf8Case{"lead F5", "\xF5\x80\x80\x80", false}, Utf8Case{"truncated at end", "abcdefgh\xE5\x85", false},
    Utf8Case{"bad second of three", "\xE5\x41\xAC", false}, Utf8Case{"bad third of four", "\xF0\x9F\x41\x80", false},
    Utf8Case{"after eight ascii", "abcdefgh\xFF", false}, Utf8Case{"NUL", std::string("a\0b", 3), true}));

// Results are sized on the promise that lowercasing adds at most half of a
// text's bytes; every code point keeps it.
TEST(LowercaseGrowth, AtMostHalfAgainForEveryCodePoint) {
    char buffer[4];
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF) continue;
        std::size_t size;
        if (c < 0x80) {
            buffer[0] = static_cast<char>(c), size = 1;
        } else if (c < 0x800) {
            buffer[0] = static_cast<char>(0xC0 | (c >> 6));
            buffer[1] = static_cast<char>(0x80 | (c & 0x3F)), size = 2;
        } else if (c < 0x10000) {
            buffer[0] = static_cast<char>(0xE0 | (c >> 12));
            buffer[1] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            buffer[2] = static_cast<char>(0x80 | (c & 0x3F)), size = 3;
        } else {
            buffer[0] = static_cast<char>(0xF0 | (c >> 18));
            buffer[1] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            buffer[2] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            buffer[3] = static_cast<char>(0x80 | (c & 0x3F)), size = 4;
        }
        const std::size_t lowered = lowercase_text(std::string_view(buffer, size)).size();
        ASSERT_LE(lowered * 2, size * 3) << "U+" << std::hex << static_cast<unsigned>(c);
    }
}

}  // namespace
}  // namespace vexlo
