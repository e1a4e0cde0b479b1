// The one ASCII lowering with its labels, against a byte-by-byte reading:
// for texts of every length either side of its 4-, 8-, 16- and 64-byte
// steps, dots anywhere (empty labels too) and a non-ASCII byte anywhere,
// reading only the text and writing only its lowercase.
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "normalize/ascii_labels.h"

namespace vexlo {
namespace {

struct Expected {
    AsciiLabels outcome;  // of lower_ascii_labels
    bool valid;           // no empty label
    std::string lowered;
    std::uint64_t dots;
    std::size_t label_count;
};

Expected read_bytewise(const std::string& text) {
    Expected e{AsciiLabels::kValid, true, text, 0, 1};
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= 'A' && c <= 'Z') e.lowered[i] = static_cast<char>(c + 32);
        if (c != '.') continue;
        if (i < 64) e.dots |= std::uint64_t{1} << i;
        ++e.label_count;
        if (i == 0 || i + 1 == text.size() || text[i - 1] == '.') e.valid = false;
    }
    bool ascii = true;
    for (const char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    e.outcome = !ascii ? AsciiLabels::kNotAscii : e.valid ? AsciiLabels::kValid : AsciiLabels::kInvalid;
    return e;
}

void expect_like_bytewise(const std::string& text) {
    const Expected e = read_bytewise(text);
    const std::unique_ptr<char[]> src(new char[text.size()]);
    std::memcpy(src.get(), text.data(), text.size());
    // Canaries either side of the lowercase's room.
    const std::unique_ptr<char[]> out(new char[text.size() + 2]);
    std::memset(out.get(), '#', text.size() + 2);
    LabelShape shape{};
    const AsciiLabels outcome = lower_ascii_labels(src.get(), text.size(), out.get() + 1, shape);
    ASSERT_EQ(outcome, e.outcome) << text;
    ASSERT_EQ(out[0], '#') << text;
    ASSERT_EQ(out[text.size() + 1], '#') << text;
    if (outcome == AsciiLabels::kValid) {
        ASSERT_EQ(std::string(out.get() + 1, text.size()), e.lowered) << text;
        ASSERT_EQ(shape.dots, e.dots) << text;
        ASSERT_EQ(shape.label_count, e.label_count) << text;
    }
    LabelShape found{};
    ASSERT_EQ(find_labels(src.get(), text.size(), found), e.valid ? AsciiLabels::kValid : AsciiLabels::kInvalid)
        << text;
    if (e.valid) {
        ASSERT_EQ(found.dots, e.dots) << text;
        ASSERT_EQ(found.label_count, e.label_count) << text;
    }
}

TEST(AsciiLabels, AgreeWithAByteByByteReading) {
    std::mt19937 random(3);
    const std::string alphabet = "aZ.-_Q9.AzM@[`{\x7f";
    for (std::size_t length = 1; length <= 150; ++length) {
        for (int variant = 0; variant < 60; ++variant) {
            std::string text;
            for (std::size_t i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
            if (variant % 3 == 0) {
                // Labels only, so that most texts are valid.
                for (char& c : text) c = c == '.' ? 'x' : c;
                for (std::size_t i = 1 + random() % 7; i + 1 < length; i += 1 + random() % 9) text[i] = '.';
            }
            if (variant % 5 == 1) text[random() % length] = static_cast<char>(0x80 | random());
            expect_like_bytewise(text);
        }
    }
}

// A non-ASCII byte in every place of a valid name, and a dot in every place.
TEST(AsciiLabels, EveryPlaceOfABreak) {
    for (const std::size_t length : {3, 4, 8, 15, 16, 17, 31, 32, 33, 63, 64, 65, 80, 130}) {
        std::string name(length, 'A');
        for (std::size_t i = 2; i + 1 < length; i += 5) name[i] = '.';
        for (std::size_t at = 0; at < length; ++at) {
            for (const char c : {'\xc3', '\x80', '\xff', '.'}) {
                std::string text = name;
                text[at] = c;
                expect_like_bytewise(text);
            }
        }
    }
}

}  // namespace
}  // namespace vexlo
