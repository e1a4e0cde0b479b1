// Names for the cases of parametrised tests that stay short in the test
// output and in ctest's lists, whatever the parameter holds: the case's
// number, then the letters and digits that its printed value starts with,
// every other run of characters as one '_' ("7_http_user_Shop_Example_CO").
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

namespace vexlo::param_names {

inline constexpr std::size_t kMaxLength = 32;

inline std::string short_name(std::size_t index, std::string_view printed) {
    std::string name = std::to_string(index);
    bool gap = true;
    for (const char c : printed) {
        if (name.size() >= kMaxLength) break;
        const bool plain =
            (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!plain) {
            gap = true;
            continue;
        }
        if (gap) name += '_';
        name += c;
        gap = false;
    }
    return name;
}

// The name generator, the last argument of INSTANTIATE_TEST_SUITE_P.
struct Short {
    template <class Param>
    std::string operator()(const ::testing::TestParamInfo<Param>& info) const {
        return short_name(info.index, ::testing::PrintToString(info.param));
    }
};

}  // namespace vexlo::param_names
