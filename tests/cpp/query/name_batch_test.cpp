// The batch front end of the columns and the command line: every name gets
// what match_domain gives it (its validity, lowercase, labels, dot bitmap
// and public-suffix length), through the batch walk, and bytes that are not
// UTF-8 are an invalid name.
#include "query/name_batch.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "../columns/test_names.h"
#include "query/match.h"
#include "rules/compiled_tables.h"

namespace vexlo {
namespace {

// Names of the list in several spellings, and, around the ASCII lowering's
// block sizes, random texts of every length up to 80 with dots anywhere.
std::vector<std::string> batch_corpus() {
    std::vector<std::string> texts = testing_names::mixed_names(6000, 5);
    std::mt19937 random(3);
    const char alphabet[] = "aZ.-_Q9.";
    for (std::size_t length = 0; length <= 80; ++length) {
        for (int variant = 0; variant < 40; ++variant) {
            std::string text;
            for (std::size_t i = 0; i < length; ++i) text += alphabet[random() % 8];
            texts.push_back(text);
        }
    }
    for (const char* text : {"Caf\xC3\xA9.COM", "\xC3\x89.", "a.\xC3\x89..b"}) texts.push_back(text);
    return texts;
}

TEST(NameBatch, MatchesEveryNameAsMatchDomainDoes) {
    const std::vector<std::string> texts = batch_corpus();
    NameBatch batch;
    batch.add_null();
    for (const std::string& text : texts) batch.add(text);
    for (const Switches switches : {Switches{true, false}, Switches{false, true}}) {
        batch.match(compiled_tables(), switches);
        ASSERT_EQ(batch[0].state, NameBatch::State::kNull);
        std::size_t valid = 0;
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const std::string& text = texts[i];
            const std::optional<Match> expected = match_domain(text, compiled_tables(), switches);
            ASSERT_EQ(batch[i + 1].state == NameBatch::State::kValid, expected.has_value()) << text;
            if (!expected) continue;
            ++valid;
            const MatchView got = batch.view(i + 1);
            const MatchView want = expected->view();
            EXPECT_EQ(got.lowered, want.lowered) << text;
            EXPECT_EQ(got.given, want.given) << text;
            EXPECT_EQ(got.given.data(), want.given.data()) << text;
            EXPECT_EQ(got.dots, want.dots) << text;
            EXPECT_EQ(got.label_count, want.label_count) << text;
            EXPECT_EQ(got.public_length, want.public_length) << text;
            EXPECT_EQ(got.given_is_ascii, want.given_is_ascii) << text;
        }
        EXPECT_GT(valid, 5000u);
    }
}

// A text known to be UTF-8 is not checked again, and gets what add gives it.
TEST(NameBatch, TheEntryForUtf8GivesWhatAddGives) {
    const std::vector<std::string> texts = batch_corpus();
    NameBatch checked, known;
    for (const std::string& text : texts) {
        checked.add(text);
        known.add_utf8(text);
    }
    checked.match(compiled_tables(), {});
    known.match(compiled_tables(), {});
    for (std::size_t i = 0; i < texts.size(); ++i) {
        ASSERT_EQ(known[i].state, checked[i].state) << texts[i];
        if (known[i].state != NameBatch::State::kValid) continue;
        EXPECT_EQ(known.view(i).lowered, checked.view(i).lowered) << texts[i];
        EXPECT_EQ(known.view(i).public_length, checked.view(i).public_length) << texts[i];
        EXPECT_EQ(known[i].ascii, checked[i].ascii) << texts[i];
    }
}

TEST(NameBatch, BytesThatAreNotUtf8AreAnInvalidName) {
    NameBatch batch;
    for (const std::string& text : testing_names::non_utf8_names()) batch.add(text);
    for (std::size_t i = 0; i < batch.size(); ++i) {
        EXPECT_EQ(batch[i].state, NameBatch::State::kInvalid) << i;
    }
}

TEST(NameBatch, ClearedBatchesMatchAnyNumberOfNames) {
    NameBatch batch;
    for (std::size_t count = 0; count <= 9; ++count) {
        batch.clear();
        for (std::size_t i = 0; i < count; ++i) batch.add(i % 2 ? "a.b.example.co.uk" : "ck");
        batch.match(compiled_tables(), Switches{false, false});
        ASSERT_EQ(batch.size(), count);
        for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(batch.view(i).public_length, i % 2 ? 2u : 1u);
    }
}

}  // namespace
}  // namespace vexlo
