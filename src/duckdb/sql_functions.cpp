#include "duckdb/sql_functions.h"

#include <array>

namespace vexlo::duckdb {
namespace {

// The four forms of a question: the name (and depth) alone; with the
// switches; with `rules`; with both. `keep_case` only for the questions
// that answer text.
constexpr std::array<Form, 4> question_forms(const char* name, Question question) {
    const bool has_depth = question == Question::kSubdomain;
    const bool has_keep_case = question != Question::kIsPublic && question != Question::kIsPrivate;
    const std::int8_t base = has_depth ? 2 : 1;  // the first argument after the name and depth
    const std::int8_t switch_count = has_keep_case ? 3 : 2;

    Form plain{name, question};
    if (has_depth) plain.depth = 1;
    plain.argument_count = base;

    Form switched = plain;
    switched.accept_unknown = base;
    switched.icann_only = static_cast<std::int8_t>(base + 1);
    if (has_keep_case) switched.keep_case = static_cast<std::int8_t>(base + 2);
    switched.argument_count = static_cast<std::int8_t>(base + switch_count);

    Form plain_rules = plain;
    plain_rules.rules = base;
    plain_rules.argument_count = static_cast<std::int8_t>(base + 1);

    Form switched_rules = switched;
    switched_rules.rules = switched.argument_count;
    switched_rules.argument_count = static_cast<std::int8_t>(switched.argument_count + 1);
    return {plain, switched, plain_rules, switched_rules};
}

constexpr auto kForms = [] {
    std::array<Form, 30> forms{};
    std::size_t at = 0;
    const auto add = [&](const char* name, Question question) {
        for (const Form& form : question_forms(name, question)) forms[at++] = form;
    };
    add("psl_publicsuffix", Question::kPublicSuffix);
    add("psl_privatesuffix", Question::kPrivateSuffix);
    add("psl_is_public", Question::kIsPublic);
    add("psl_is_private", Question::kIsPrivate);
    add("psl_privateparts", Question::kPrivateParts);
    add("psl_subdomain", Question::kSubdomain);
    Form host{"psl_host", Question::kHost};
    forms[at++] = host;
    host.keep_ip = 1;
    host.argument_count = 2;
    forms[at++] = host;
    // vexlo.extract's switches, in its order; no icann_only: the record
    // has both views.
    Form plain{"psl_extract", Question::kHost, true};
    Form switched = plain;
    switched.keep_ip = 1;
    switched.accept_unknown = 2;
    switched.keep_case = 3;
    switched.argument_count = 4;
    Form plain_rules = plain;
    plain_rules.rules = 1;
    plain_rules.argument_count = 2;
    Form switched_rules = switched;
    switched_rules.rules = 4;
    switched_rules.argument_count = 5;
    for (const Form& form : {plain, switched, plain_rules, switched_rules}) forms[at++] = form;
    return forms;
}();

}  // namespace

std::span<const Form> sql_forms() { return kForms; }

}  // namespace vexlo::duckdb
