// The list checksum: FIPS 180-4 vectors, and lengths on each side of the
// block edges where the padding takes one block or two.
#include <algorithm>
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "common/sha256.h"

namespace vexlo {
namespace {

struct Digest {
    const char* name;
    std::string input;
    const char* hex;
};

class Sha256 : public ::testing::TestWithParam<Digest> {};

TEST_P(Sha256, MatchesTheKnownDigest) { EXPECT_EQ(sha256_hex(GetParam().input), GetParam().hex); }

INSTANTIATE_TEST_SUITE_P(
    Vectors, Sha256,
    ::testing::Values(
        Digest{"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        Digest{"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        Digest{"two_blocks", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
               "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        Digest{"a55", std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        Digest{"a56", std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        Digest{"a63", std::string(63, 'a'), "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
        Digest{"a64", std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        Digest{"a119", std::string(119, 'a'), "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb"},
        Digest{"million", std::string(1000000, 'a'),
               "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Sha256Bytes, EveryByteValueCounts) {
    std::string all;
    for (int round = 0; round < 3; ++round) {
        for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    }
    EXPECT_EQ(sha256_hex(all), "f3a25aa93aa2fbba28d79260535bbd6a5eb0fc1c24a8b0f04e12b484c1dfe363");
}

}  // namespace
}  // namespace vexlo

namespace vexlo {
namespace {

// Where the CPU has the SHA extensions, their rounds leave the same state as
// the portable ones, from any state, over any number of blocks.
TEST(Sha256, ExtensionsAgreeWithThePortableRounds) {
    if (!sha256_detail::sha_extensions_usable()) GTEST_SKIP() << "no SHA extensions here";
    std::string data(64 * 40, '\0');
    std::uint32_t seed = 12345;
    for (char& byte : data) byte = static_cast<char>((seed = seed * 1103515245 + 12345) >> 16);
    for (std::size_t blocks : {1, 2, 3, 17, 40}) {
        std::uint32_t portable[8], extensions[8];
        for (int i = 0; i < 8; ++i) portable[i] = extensions[i] = seed = seed * 69069 + 1;
        const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
        sha256_detail::compress_portable(portable, bytes, blocks);
        sha256_detail::compress_sha_extensions(extensions, bytes, blocks);
        EXPECT_TRUE(std::equal(portable, portable + 8, extensions)) << blocks << " blocks";
    }
}

}  // namespace
}  // namespace vexlo
