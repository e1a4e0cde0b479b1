// The TSV and JSON escapes, every byte at every position around the
// sixteen-byte steps, padded and not, against a byte-at-a-time reference.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "lines/escape.h"

namespace vexlo::lines {
namespace {

std::string reference(const std::string& text, Escape escape) {
    const bool json = escape == Escape::json || escape == Escape::json_labels;
    const bool labels = escape == Escape::tsv_labels || escape == Escape::json_labels;
    std::string out;
    for (const char c : text) {
        if (labels && c == '.') {
            out += json ? "\", \"" : " ";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (json && c == '"') {
            out += "\\\"";
        } else if (json && c == '\b') {
            out += "\\b";
        } else if (json && c == '\f') {
            out += "\\f";
        } else if (json && static_cast<unsigned char>(c) < 0x20) {
            char hex[7];
            std::snprintf(hex, sizeof hex, "\\u%04x", static_cast<unsigned>(c));
            out += hex;
        } else if (!json && escape != Escape::tsv && c == ' ') {
            out += "\\x20";
        } else {
            out += c;
        }
    }
    return out;
}

// From a heap block of exactly the text's size, or with kReadPadding bytes
// after it that hold characters to escape (which must not show).
std::string escaped(const std::string& text, Escape escape, bool padded) {
    const std::size_t readable = text.size() + (padded ? kReadPadding : 0);
    const auto source = std::make_unique<char[]>(readable + 1);
    std::memset(source.get(), '\t', readable + 1);
    std::memcpy(source.get(), text.data(), text.size());
    const auto out = std::make_unique<char[]>(escaped_room(text.size()));
    const char* end = write_escaped({source.get(), text.size()}, escape, out.get(), padded);
    return {out.get(), static_cast<std::size_t>(end - out.get())};
}

class Escaping : public ::testing::TestWithParam<Escape> {};

TEST_P(Escaping, EveryByteAtEveryPosition) {
    const Escape escape = GetParam();
    for (unsigned byte = 0; byte < 256; ++byte) {
        for (std::size_t before : {0u, 1u, 5u, 14u, 15u, 16u, 17u, 31u, 32u, 40u}) {
            for (std::size_t after : {0u, 1u, 3u, 15u, 16u, 20u}) {
                const std::string text =
                    std::string(before, 'a') + static_cast<char>(byte) + std::string(after, 'z');
                for (const bool padded : {false, true}) {
                    ASSERT_EQ(escaped(text, escape, padded), reference(text, escape))
                        << "byte " << byte << " before " << before << " after " << after;
                }
            }
        }
    }
}

TEST_P(Escaping, TextsMadeOnlyOfSpecialBytes) {
    // The most growth: every byte escaped, for lengths across the steps.
    for (const char special : {'\x01', '\\', ' ', '.', '"'}) {
        for (std::size_t length = 0; length < 70; ++length) {
            const std::string text(length, special);
            EXPECT_EQ(escaped(text, GetParam(), false), reference(text, GetParam()));
        }
    }
}

std::string escape_name(const ::testing::TestParamInfo<Escape>& info) {
    constexpr const char* kNames[] = {"tsv", "tsv_item", "tsv_labels", "json", "json_labels"};
    return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Kinds, Escaping,
                         ::testing::Values(Escape::tsv, Escape::tsv_item, Escape::tsv_labels,
                                           Escape::json, Escape::json_labels),
                         escape_name);

}  // namespace
}  // namespace vexlo::lines
