// The byte primitives: the portable version, which machines without SSE2
// run, gives what SSE2 gives for every primitive on random blocks; and the
// partial-block helpers and word primitives give what a byte-by-byte
// reading gives, touching nothing outside the text.
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "common/simd.h"

namespace vexlo {
namespace {

// Random bytes, often the ones the primitives treat specially: the dot, the
// ends of A-Z and their neighbours, NUL, DEL and the high bytes.
class RandomBytes {
public:
    unsigned char next() {
        static constexpr unsigned char kSpecial[] = {'.', 'A', 'Z', '@', '[', 'a', 'z', '`', '{',
                                                     0, 0x7F, 0x80, 0xFF, 0x2D, 0x2F, 0x81, 0xC3};
        const unsigned pick = random_() % 4;
        if (pick == 0) return kSpecial[random_() % sizeof kSpecial];
        if (pick == 1) return static_cast<unsigned char>('A' + random_() % 26);
        return static_cast<unsigned char>(random_());
    }
    void fill(char* out, std::size_t size, bool ascii) {
        for (std::size_t i = 0; i < size; ++i) out[i] = static_cast<char>(ascii ? next() & 0x7F : next());
    }

private:
    std::mt19937 random_{17};
};

#if defined(__SSE2__)
TEST(Simd, PortableAgreesWithSse2) {
    namespace p = simd::portable;
    namespace s = simd::sse2;
    RandomBytes random;
    char bytes[16];
    for (int round = 0; round < 20000; ++round) {
        random.fill(bytes, sizeof bytes, round % 2 == 0);
        const p::Block pb = p::load(bytes);
        const s::Block sb = s::load(bytes);
        ASSERT_EQ(p::bits(pb), s::bits(sb));
        ASSERT_EQ(p::low_word(pb), s::low_word(sb));
        ASSERT_EQ(p::high_word(pb), s::high_word(sb));
        char pout[16], sout[16];
        p::store(pout, pb);
        s::store(sout, sb);
        ASSERT_EQ(std::memcmp(pout, bytes, 16), 0);
        ASSERT_EQ(std::memcmp(sout, bytes, 16), 0);
        const p::Block pw = p::from_words(p::low_word(pb), p::high_word(pb));
        ASSERT_EQ(p::bits(p::equal(pw, '.')), p::bits(p::equal(pb, '.')));
        const unsigned char c = random.next();
        ASSERT_EQ(p::bits(p::equal(pb, static_cast<char>(c))), s::bits(s::equal(sb, static_cast<char>(c))))
            << "byte " << unsigned{c};
        for (unsigned bound = 1; bound <= 0x80; bound += (bound < 0x42 || bound > 0x7C ? 1 : 7)) {
            ASSERT_EQ(p::bits(p::below(pb, static_cast<unsigned char>(bound))),
                      s::bits(s::below(sb, static_cast<unsigned char>(bound))))
                << "bound " << bound;
        }
        ASSERT_EQ(p::bits(p::equal(pb, '.') | p::equal(pb, 'A')), s::bits(s::equal(sb, '.') | s::equal(sb, 'A')));
        if (p::bits(pb) == 0) {
            p::store(pout, p::lower_ascii(pb));
            s::store(sout, s::lower_ascii(sb));
            ASSERT_EQ(std::memcmp(pout, sout, 16), 0) << std::string(bytes, 16);
        }
    }
}
#endif

// A text of 0 to 15 bytes in a heap block of exactly its size: the partial
// block's byte masks are the text's, and a store writes exactly its bytes.
TEST(Simd, PartialBlocksHoldExactlyTheText) {
    RandomBytes random;
    for (std::size_t size = 0; size < simd::kBlockBytes; ++size) {
        for (int round = 0; round < 500; ++round) {
            const std::unique_ptr<char[]> text(new char[size + 1]);
            random.fill(text.get(), size, round % 2 == 0);
            const simd::Block block = simd::load_partial(text.get(), size);
            unsigned dots = 0, high = 0;
            for (std::size_t i = 0; i < size; ++i) {
                dots |= (text[i] == '.' ? 1u : 0u) << i;
                high |= (static_cast<unsigned char>(text[i]) >> 7) << i;
            }
            ASSERT_EQ(simd::text_bits(simd::bits(simd::equal(block, '.')), size), dots) << size;
            ASSERT_EQ(simd::text_bits(simd::bits(block), size), high) << size;
            char out[simd::kBlockBytes + 2];
            std::memset(out, '#', sizeof out);
            simd::store_partial(out + 1, block, size);
            ASSERT_EQ(std::memcmp(out + 1, text.get(), size), 0) << size;
            ASSERT_EQ(out[0], '#');
            ASSERT_EQ(out[size + 1], '#') << "stored past the text of " << size;
        }
    }
}

TEST(Simd, WordPrimitives) {
    std::mt19937_64 random(5);
    for (int round = 0; round < 10000; ++round) {
        const std::uint64_t word = random() >> (random() % 64);
        ASSERT_EQ(simd::count_bits(word), static_cast<std::size_t>(std::popcount(word)));
        unsigned char bytes[8];
        std::uint64_t expected = 0;
        for (int i = 0; i < 8; ++i) {
            bytes[i] = static_cast<unsigned char>(random());
            expected = (expected << 8) | bytes[i];
        }
        ASSERT_EQ(simd::load_big_endian(reinterpret_cast<const char*>(bytes)), expected);
    }
}

}  // namespace
}  // namespace vexlo
