// A label's key decides most probes alone, so it must order labels as their
// bytes do whenever keys differ; and the keys the walks read out of a name
// (a word from the label's start, or the name's last word shifted) must be
// those of the labels, read only inside the name.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "rules/label_key.h"

namespace vexlo {
namespace {

TEST(LabelKey, UnequalKeysOrderLabelsAsTheirBytes) {
    const std::vector<std::string> labels = {
        "", "a", "ab", "abcdefg", "abcdefgh", "abcdefgh0", "abcdefghij", "abcdefgi", "b",
        std::string("a\0", 2), std::string("abcdefg\0", 8), "\x7f", "\x80", "\xc3\xa9t\xc3\xa9",
        "\xff\xff\xff\xff\xff\xff\xff\xff\xff", "accountant", "accountants"};
    for (const std::string& a : labels) {
        for (const std::string& b : labels) {
            const std::uint64_t ka = label_key(a);
            const std::uint64_t kb = label_key(b);
            if (ka != kb) {
                EXPECT_EQ(ka < kb, a < b) << a << " / " << b;
            } else {
                // Equal keys: the same first eight bytes, less trailing NULs.
                std::string pa = a.substr(0, 8), pb = b.substr(0, 8);
                pa.resize(8, '\0'), pb.resize(8, '\0');
                EXPECT_EQ(pa, pb) << a << " / " << b;
            }
        }
    }
}

// Every label text[start, end) of texts of every length up to 24, each in
// a heap block of exactly its size so that a sanitized build reports any
// read outside it.
TEST(LabelKey, KeysReadOutOfANameAreTheLabelsKeys) {
    const std::string bytes = "Ab.cdefghij.k\xc3\xa9lmnop.qrstuvwxyz";
    for (std::size_t size = 0; size <= 24; ++size) {
        const std::unique_ptr<char[]> exact(new char[size + 1]);
        std::memcpy(exact.get(), bytes.data(), size);
        for (std::size_t start = 0; start <= size; ++start) {
            for (std::size_t end = start; end <= size; ++end) {
                const std::uint64_t want = label_key(std::string_view(bytes).substr(start, end - start));
                ASSERT_EQ(label_key_in(exact.get(), size, start, end), want)
                    << "size " << size << " label " << start << " to " << end;
            }
        }
    }
    // A label that may be read eight bytes from its start.
    const std::string padded = bytes + std::string(8, '\xff');
    for (std::size_t start = 0; start < bytes.size(); ++start) {
        for (std::size_t length = 0; start + length <= bytes.size(); ++length) {
            ASSERT_EQ(label_key_padded(padded.data() + start, length),
                      label_key(std::string_view(bytes).substr(start, length)));
        }
    }
}

}  // namespace
}  // namespace vexlo
