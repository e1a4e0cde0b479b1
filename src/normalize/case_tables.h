// Layout of the Unicode case tables that tools/gen_case_tables.py writes into
// case_tables.cpp, and the constant-time lookups over them. Internal to
// src/normalize; other code asks case_data.h.
#pragma once

#include <cstdint>

namespace vexlo::case_tables {

inline constexpr char32_t kCodePointLimit = 0x110000;
// The generator checks that no code point from here on changes in lowercase.
inline constexpr char32_t kLowerLimit = 0x20000;

// Both tables are three-stage tries: Stage1[c >> kShift1] picks a block of
// Stage2, whose entry for (c >> kShift2) picks a block of Leaves, whose entry
// for c is the value. Identical blocks are stored once, which folds the large
// unassigned and caseless stretches of the code space into a few blocks.
inline constexpr unsigned kShift1 = 9;
inline constexpr unsigned kShift2 = 4;

// Lowercase leaf values: below kExpansionFlag an index into kLowerDeltas (0 is
// the offset 0, "unchanged"), from it on an index into kLowerExpansions.
inline constexpr std::uint8_t kExpansionFlag = 0x80;

// Property leaf bits.
inline constexpr std::uint8_t kCaseIgnorable = 1;
inline constexpr std::uint8_t kLowercase = 2;
inline constexpr std::uint8_t kUppercase = 4;
inline constexpr std::uint8_t kTitlecase = 8;  // general category Lt

struct LowerExpansion {
    std::uint8_t count;
    char32_t code_points[3];
};

extern const std::int32_t kLowerDeltas[];
extern const LowerExpansion kLowerExpansions[];
extern const std::uint8_t kLowerStage1[kLowerLimit >> kShift1];
extern const std::uint16_t kLowerStage2[];
extern const std::uint8_t kLowerLeaves[];
extern const std::uint8_t kPropertyStage1[kCodePointLimit >> kShift1];
extern const std::uint16_t kPropertyStage2[];
extern const std::uint8_t kPropertyLeaves[];

inline std::uint8_t trie_value(const std::uint8_t* stage1, const std::uint16_t* stage2,
                               const std::uint8_t* leaves, char32_t c) noexcept {
    constexpr unsigned kMiddleBits = kShift1 - kShift2;
    const std::uint32_t middle = stage1[c >> kShift1];
    const std::uint32_t leaf =
        stage2[(middle << kMiddleBits) | ((c >> kShift2) & ((1u << kMiddleBits) - 1))];
    return leaves[(leaf << kShift2) | (c & ((1u << kShift2) - 1))];
}

// 0 for code points that do not change, including everything from kLowerLimit.
inline std::uint8_t lower_value(char32_t c) noexcept {
    return c < kLowerLimit ? trie_value(kLowerStage1, kLowerStage2, kLowerLeaves, c) : 0;
}

inline std::uint8_t properties(char32_t c) noexcept {
    return c < kCodePointLimit ? trie_value(kPropertyStage1, kPropertyStage2, kPropertyLeaves, c)
                               : 0;
}

}  // namespace vexlo::case_tables
