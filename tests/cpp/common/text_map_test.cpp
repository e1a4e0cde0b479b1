// The text map finds what was stored under the same tag and text, whatever
// the texts' lengths and however far the map has grown, and nothing else.
#include "common/text_map.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vexlo {
namespace {

TEST(TextMap, KeepsTheFirstValueOfEachTagAndText) {
    std::vector<std::string> texts;
    for (int i = 0; i < 3000; ++i) texts.push_back(std::string(static_cast<std::size_t>(i % 40), 'a') + std::to_string(i));
    texts.push_back("");
    TextMap map(4);  // grows many times over
    for (std::uint32_t i = 0; i < texts.size(); ++i) {
        for (const std::uint32_t tag : {0u, 7u}) {
            const auto [value, added] = map.emplace(tag, texts[i], i * 2 + tag);
            EXPECT_TRUE(added) << i;
            EXPECT_EQ(value, i * 2 + tag);
        }
    }
    for (std::uint32_t i = 0; i < texts.size(); ++i) {
        const std::string copy = texts[i];  // found by its bytes, not its address
        for (const std::uint32_t tag : {0u, 7u}) {
            const auto [value, added] = map.emplace(tag, copy, 1);
            EXPECT_FALSE(added) << i;
            EXPECT_EQ(value, i * 2 + tag) << i;
        }
    }
    map.clear();
    EXPECT_TRUE(map.emplace(0, texts[5], 9).second);
}

}  // namespace
}  // namespace vexlo
