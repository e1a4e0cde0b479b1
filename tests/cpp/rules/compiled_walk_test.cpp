// The walk over compiled_rules() leaves out the table checks and reads label
// keys in its own way; it must answer exactly as the fully checked walk over
// the same tables, for names built from every node of the list and for
// arbitrary texts (short ones, labels of eight bytes or more, NUL, non-ASCII).
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/find_dot.h"
#include "rules/public_suffix.h"
#include "test_trie.h"

namespace vexlo {
namespace {

using testing::count_labels;

void expect_same_walk(const std::string& text) {
    // A heap block of exactly the text's size, so that a sanitized build
    // reports any read past either end of it.
    const std::unique_ptr<char[]> exact(new char[text.size() + (text.empty() ? 1 : 0)]);
    std::copy(text.begin(), text.end(), exact.get());
    const std::string_view name(exact.get(), text.size());
    const std::size_t labels = count_labels(name);
    for (const bool accept_unknown : {true, false}) {
        for (const bool icann_only : {false, true}) {
            const std::size_t checked =
                public_suffix_length(name, labels, accept_unknown, icann_only, compiled_rules());
            ASSERT_EQ(public_suffix_length(name, labels, accept_unknown, icann_only), checked)
                << '"' << name << "\" accept_unknown " << accept_unknown << " icann_only "
                << icann_only;
            // Given the dot bitmap, which it reads for texts of up to 64 bytes.
            const std::uint64_t dots =
                name.size() <= kDotBitmapBytes ? dot_bitmap(name.data(), name.size()) : 0;
            ASSERT_EQ(public_suffix_length(name, dots, labels, accept_unknown, icann_only), checked)
                << '"' << name << "\" with its dot bitmap, accept_unknown " << accept_unknown
                << " icann_only " << icann_only;
        }
    }
}

TEST(CompiledWalk, AgreesWithTheCheckedWalkForEveryNodeName) {
    const auto names = testing::node_names(compiled_rules());
    for (std::size_t n = 1; n < names.size(); ++n) {
        const std::string& name = names[n].name;
        for (const std::string& text :
             {name, "a." + name, "www.abcdefghij." + name, "x" + name, name + "x",
              name.substr(0, name.size() - 1), name.substr(1), "\xc3\xa9." + name}) {
            expect_same_walk(text);
        }
    }
}

// Texts of every length from one byte to 70 (either side of the dot
// bitmap's 64) over an alphabet that makes
// labels match, nearly match, share eight-byte prefixes or hold odd bytes.
TEST(CompiledWalk, AgreesWithTheCheckedWalkForArbitraryTexts) {
    const std::vector<std::string> pieces = {
        "com", "co", "uk", "jp", "kawasaki", "city", "github", "io", "blogspot", "amazonaws",
        "s3", "abcdefgh", "abcdefghi", "x", "", std::string(1, '\0'), std::string("a\0b", 3), "\xc3\xa9",
        "xn--55qx5d", "\xe5\x85\xac\xe5\x8f\xb8", "cn", "zz", "academy", "ac", "*", "!",
        // Labels that a stored one prefixes up to zero bytes, and siblings
        // sharing their first eight bytes (accountant, accountants).
        std::string("com\0", 4), std::string("blogspot\0", 9), std::string("uk\0\0\0\0\0\0", 8),
        "accountant", "accountants", "accountan", "accountantz", "engineer", "engineering",
        "xn--h2brj9c", "xn--h2brj9c8c", "xn--h2breg3eve", "githubusercontent", "herokuapp"};
    std::uint64_t state = 0x9E3779B97F4A7C15u;
    auto next = [&state] {
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        return state;
    };
    for (int i = 0; i < 200000; ++i) {
        std::string text;
        const std::size_t want = 1 + next() % 70;
        while (text.size() < want) {
            if (!text.empty()) text += '.';
            text += pieces[next() % pieces.size()];
        }
        text.resize(want);
        expect_same_walk(text);
    }
}

}  // namespace
}  // namespace vexlo
