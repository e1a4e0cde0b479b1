#include "duckdb/sql_functions.h"

#include <array>
#include <initializer_list>

namespace vexlo::duckdb {
namespace {

using Place = std::int8_t Form::*;

// Writes the forms of a function from `out` on: the name (and depth) alone,
// then with every switch it takes, in their order; each also with `rules`
// last when the function takes a list.
constexpr Form* add_forms(Form* out, const char* name, Question question,
                          std::initializer_list<Place> switches, bool takes_rules = true) {
    Form plain{name, question};
    if (question == Question::kSubdomain) plain.depth = plain.argument_count++;
    Form switched = plain;
    for (const Place place : switches) switched.*place = switched.argument_count++;
    for (Form form : {plain, switched}) {
        *out++ = form;
        if (!takes_rules) continue;
        form.rules = form.argument_count++;
        *out++ = form;
    }
    return out;
}

constexpr auto kForms = [] {
    std::array<Form, 30> forms{};
    const auto answers_text = {&Form::accept_unknown, &Form::icann_only, &Form::keep_case};
    const auto answers_truth = {&Form::accept_unknown, &Form::icann_only};
    Form* out = add_forms(forms.data(), "psl_publicsuffix", Question::kPublicSuffix, answers_text);
    out = add_forms(out, "psl_privatesuffix", Question::kPrivateSuffix, answers_text);
    out = add_forms(out, "psl_is_public", Question::kIsPublic, answers_truth);
    out = add_forms(out, "psl_is_private", Question::kIsPrivate, answers_truth);
    out = add_forms(out, "psl_privateparts", Question::kPrivateParts, answers_text);
    out = add_forms(out, "psl_subdomain", Question::kSubdomain, answers_text);
    out = add_forms(out, "psl_host", Question::kHost, {&Form::keep_ip}, false);
    // vexlo.extract's switches, in its order; no icann_only: the record has
    // both views.
    out = add_forms(out, "psl_extract", Question::kExtract,
                    {&Form::keep_ip, &Form::accept_unknown, &Form::keep_case});
    if (out != forms.data() + forms.size()) throw "every form is written once";
    return forms;
}();

}  // namespace

std::span<const Form> sql_forms() { return kForms; }

}  // namespace vexlo::duckdb
