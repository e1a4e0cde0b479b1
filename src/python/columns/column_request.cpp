#include "python/columns/column_request.h"

#include "columns/answer_column.h"
#include "python/argument_conversion.h"
#include "python/columns/rules_type.h"
#include "python/tuple_builder.h"

namespace vexlo::python {
namespace {

constexpr std::array<std::string_view, 7> kQuestionNames = {
    "publicsuffix", "privatesuffix", "is_public", "is_private", "privateparts", "subdomain", "host"};
static_assert(static_cast<std::size_t>(Question::kPublicSuffix) == 0 &&
              static_cast<std::size_t>(Question::kPrivateSuffix) == 1 &&
              static_cast<std::size_t>(Question::kIsPublic) == 2 &&
              static_cast<std::size_t>(Question::kIsPrivate) == 3 &&
              static_cast<std::size_t>(Question::kPrivateParts) == 4 &&
              static_cast<std::size_t>(Question::kSubdomain) == 5 &&
              static_cast<std::size_t>(Question::kHost) + 1 == kQuestionNames.size());

}  // namespace

bool extract_request(std::span<PyObject* const> arguments, ColumnRequest& request,
                     unsigned& threads, const RuleTables*& tables, PyError& error) {
    unsigned question = 0;
    if (!extract_count(arguments[0], kRequestParameters[0], question, error)) return false;
    constexpr unsigned kLast = static_cast<unsigned>(Question::kHost);
    if (question > kLast) {
        error = out_of_range(PyExc_ValueError, kRequestParameters[0], "at most", kLast, question);
        return false;
    }
    request.question = static_cast<Question>(question);
    return extract_bool(arguments[1], kRequestParameters[1], request.accept_unknown, error) &&
           extract_bool(arguments[2], kRequestParameters[2], request.icann_only, error) &&
           extract_bool(arguments[3], kRequestParameters[3], request.keep_case, error) &&
           extract_bool(arguments[4], kRequestParameters[4], request.keep_ip, error) &&
           extract_count(arguments[5], kRequestParameters[5], request.depth, error) &&
           extract_count(arguments[6], kRequestParameters[6], threads, error) &&
           extract_rules(arguments[7], kRequestParameters[7], tables, error);
}

unsigned threads_for(unsigned requested, std::int64_t names) {
    return requested != 0 ? requested : default_thread_count(names);
}

PyObject* question_names() {
    return make_tuple(kQuestionNames.size(), [](std::size_t i) {
        return PyUnicode_FromStringAndSize(kQuestionNames[i].data(),
                                           static_cast<Py_ssize_t>(kQuestionNames[i].size()));
    });
}

}  // namespace vexlo::python
