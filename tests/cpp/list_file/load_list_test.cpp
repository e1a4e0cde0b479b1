// Loading a list at run time: the loaded tables answer as the list says, a
// refusal names its first line and counts the rest, and running out of
// memory at any allocation of a load throws std::bad_alloc having kept
// nothing (the sanitized run's leak check sees the rest).
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include <gtest/gtest.h>

#include "common/dots.h"
#include "list_file/loaded_list.h"
#include "list_text.h"
#include "rules/public_suffix.h"

namespace {

// Allocations left before one fails, while armed; -1 when disarmed.
std::atomic<long> allocations_left{-1};

}  // namespace

void* operator new(std::size_t size) {
    if (allocations_left.load() == 0) throw std::bad_alloc();
    if (allocations_left.load() > 0) --allocations_left;
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace vexlo::list_file {
namespace {

const std::string kList = testing::icann_list({"uk", "co.uk", "*.kawasaki.jp", "!city.kawasaki.jp",
                                               "\xe5\x85\xac\xe5\x8f\xb8.cn", "cn"},
                                              {"github.io"});

std::size_t length(const LoadedList& list, std::string_view name, bool icann_only = false) {
    const std::size_t labels = 1 + static_cast<std::size_t>(std::count(name.begin(), name.end(), '.'));
    return public_suffix_length(list.tables.tables(), name, dot_bitmap(name.data(), name.size()),
                                labels, Switches{true, icann_only});
}

TEST(LoadList, AnswersAsTheListSays) {
    const LoadOutcome outcome = load_list(kList);
    ASSERT_NE(outcome.list, nullptr) << refusal_message(outcome.errors);
    const LoadedList& list = *outcome.list;
    EXPECT_EQ(length(list, "www.example.co.uk"), 2u);
    EXPECT_EQ(length(list, "a.b.kawasaki.jp"), 3u);
    EXPECT_EQ(length(list, "city.kawasaki.jp"), 2u);
    EXPECT_EQ(length(list, "x.xn--55qx5d.cn"), 2u);  // the twin
    EXPECT_EQ(length(list, "a.github.io"), 2u);
    EXPECT_EQ(length(list, "a.github.io", true), 1u);
    EXPECT_EQ(list.rule_count, 7u);
    EXPECT_EQ(list.twin_count, 1u);
}

TEST(LoadList, RefusalNamesTheFirstLineAndCountsTheRest) {
    const LoadOutcome one = load_list(testing::icann_list({"com", "Bad"}));
    ASSERT_EQ(one.list, nullptr);
    EXPECT_EQ(refusal_message(one.errors).rfind("line 3: rule 'Bad'", 0), 0u)
        << refusal_message(one.errors);
    const LoadOutcome three = load_list(testing::icann_list({"A", "com", "B", "*"}));
    EXPECT_NE(refusal_message(three.errors).find("line 2: "), std::string::npos);
    EXPECT_NE(refusal_message(three.errors).find("(and 2 more faulty lines)"), std::string::npos);
    EXPECT_EQ(refusal_message(load_list("").errors), "the list holds no rules");
}

TEST(LoadList, EveryFailedAllocationThrowsAndKeepsNothing) {
    long failures = 0;
    for (long allowed = 0;; ++allowed) {
        allocations_left = allowed;
        try {
            const LoadOutcome outcome = load_list(kList);
            allocations_left = -1;
            ASSERT_NE(outcome.list, nullptr);
            break;  // enough allocations for the whole load
        } catch (const std::bad_alloc&) {
            allocations_left = -1;
            ++failures;
        }
    }
    EXPECT_GT(failures, 10);
}

}  // namespace
}  // namespace vexlo::list_file
