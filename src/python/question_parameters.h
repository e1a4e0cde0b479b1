// The parameters of the questions, declared once for every function that
// asks them: the six functions of vexlo._lookup and the methods of
// vexlo.Rules take a domain, vexlo.host a text, the column functions of
// vexlo.columns a column; all take the same switches, and the column
// functions the options of a whole column besides.
#pragma once

#include <array>
#include <string_view>

#include "python/arguments.h"

namespace vexlo::python {

// The switches of the walk (is_public, is_private), then of a text answer.
inline constexpr std::array<KeywordParameter, 2> kMatchSwitches = {{
    {"accept_unknown", true},
    {"icann_only", false},
}};
inline constexpr std::array<KeywordParameter, 3> kTextSwitches = {{
    {"accept_unknown", true},
    {"icann_only", false},
    {"keep_case", false},
}};
// vexlo.host's: an IP literal is a host too.
inline constexpr std::array<KeywordParameter, 1> kHostSwitches = {{{"keep_ip", false}}};
// vexlo.extract's: host's, the walk's (both views are answered, so no
// icann_only) and the text answers'.
inline constexpr std::array<KeywordParameter, 3> kExtractSwitches = {{
    {"keep_ip", false},
    {"accept_unknown", true},
    {"keep_case", false},
}};

// A whole column's options: the number of threads (None: the default for the
// column's length) and the rules (None: the compiled list).
inline constexpr std::array<KeywordParameter, 1> kThreadsOption = {option("threads")};
inline constexpr std::array<KeywordParameter, 2> kColumnOptions = {option("threads"),
                                                                   option("rules")};
// The fields of extract's records a column is answered with (None: every one).
inline constexpr std::array<KeywordParameter, 1> kFieldsOption = {option("fields")};

}  // namespace vexlo::python
