// Every form of every SQL function, called on chunks as DuckDB hands them
// over, gives each row the answer of the single call under that row's
// arguments (for psl_host, the host finder's), reading no byte outside the
// strings it is given; NULL arguments give NULL rows, and bad arguments fail
// the call with a message.
#include "duckdb/answer_chunk.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "../columns/scalar_answer.h"
#include "../columns/test_names.h"
#include "extract/text_extraction.h"
#include "fake_duckdb.h"
#include "list_file/loaded_list.h"
#include "normalize/utf8_check.h"
#include "rules/compiled_tables.h"

namespace vexlo::duckdb {
namespace {

using fake_duckdb::Kind;
using fake_duckdb::Vector;

// One row's arguments; empty optionals are NULL.
struct Row {
    std::optional<std::string> name;
    std::optional<std::int64_t> depth = 0;
    std::optional<bool> accept_unknown = true, icann_only = false, keep_case = false, keep_ip = false;
    std::optional<std::string> rules;
};

using Expected = testing_names::ScalarAnswer;

// An extract record is compared as its fields in `parts`, each absent one
// as this.
constexpr std::string_view kAbsentField = "<absent>";

// The single call's answer under the row's arguments, as the form takes them.
Expected single(const Form& form, const Row& row, const list_file::LoadedList* loaded) {
    const auto given = [&](std::int8_t at, const auto& value) { return at == kAbsent || value; };
    if (!given(form.depth, row.depth) || !given(form.accept_unknown, row.accept_unknown) ||
        !given(form.icann_only, row.icann_only) || !given(form.keep_case, row.keep_case) ||
        !given(form.keep_ip, row.keep_ip) || !given(form.rules, row.rules)) {
        return {};
    }
    const auto flag = [](std::int8_t at, const std::optional<bool>& value, bool absent) {
        return at == kAbsent ? absent : *value;
    };
    ColumnRequest request{form.question};
    request.accept_unknown = flag(form.accept_unknown, row.accept_unknown, true);
    request.icann_only = flag(form.icann_only, row.icann_only, false);
    request.keep_case = flag(form.keep_case, row.keep_case, false);
    request.keep_ip = flag(form.keep_ip, row.keep_ip, false);
    request.depth = form.depth == kAbsent ? 0 : static_cast<std::uint64_t>(*row.depth);
    const bool loaded_list = form.rules != kAbsent && *row.rules == loaded->checksum;
    const RuleTables& tables = loaded_list ? loaded->tables.tables() : compiled_tables();
    if (form.question != Question::kExtract) return testing_names::scalar_answer(row.name, request, tables);
    Expected record;
    if (!row.name) return record;
    record.null = false;
    const TextExtraction extraction(*row.name, tables,
                                    {request.keep_ip, request.accept_unknown, request.keep_case});
    for (std::size_t i = 0; i < kExtractFieldCount; ++i) {
        // A text that is not UTF-8 has no host, and no field.
        const std::optional<std::string_view>& field = extraction.field(static_cast<ExtractField>(i));
        record.parts.emplace_back(field && is_utf8(*row.name) ? *field : kAbsentField);
    }
    return record;
}

struct Call {
    std::vector<Expected> answers;
    std::optional<std::string> error;
};

// Calls the form on the rows as one chunk.
Call call(const Form& form, const std::vector<Row>& rows, std::shared_ptr<const LoadedLists> lists) {
    fake_duckdb::install();
    const std::size_t n = rows.size();
    std::vector<std::unique_ptr<Vector>> arguments;
    fake_duckdb::Chunk chunk{n, {}};
    for (std::int8_t at = 0; at < form.argument_count; ++at) {
        const Kind kind = at == 0 || at == form.rules ? Kind::kText
                          : at == form.depth          ? Kind::kInteger
                                                      : Kind::kTruth;
        auto vector = std::make_unique<Vector>(kind, n);
        for (std::size_t r = 0; r < n; ++r) {
            const Row& row = rows[r];
            const auto set_flag = [&](const std::optional<bool>& value) {
                value ? void(vector->truths[r] = *value) : vector->set_null(r);
            };
            if (at == 0) {
                row.name ? vector->set_text(r, *row.name) : vector->set_null(r);
            } else if (at == form.rules) {
                row.rules ? vector->set_text(r, *row.rules) : vector->set_null(r);
            } else if (at == form.depth) {
                row.depth ? void(vector->integers[r] = *row.depth) : vector->set_null(r);
            } else if (at == form.accept_unknown) {
                set_flag(row.accept_unknown);
            } else if (at == form.icann_only) {
                set_flag(row.icann_only);
            } else if (at == form.keep_case) {
                set_flag(row.keep_case);
            } else {
                set_flag(row.keep_ip);
            }
        }
        chunk.vectors.push_back(vector.get());
        arguments.push_back(std::move(vector));
    }
    const bool predicate = form.question == Question::kIsPublic || form.question == Question::kIsPrivate;
    Vector result(form.question == Question::kExtract        ? Kind::kStruct
                  : form.question == Question::kPrivateParts ? Kind::kList
                  : predicate                                ? Kind::kTruth
                                                             : Kind::kText,
                  n);
    FunctionInfo registered{&form, std::move(lists)};
    fake_duckdb::FunctionInfo info{&registered, std::nullopt};
    answer_chunk(info.handle(), chunk.handle(), result.handle());
    EXPECT_EQ(fake_duckdb::not_utf8_strings(), 0u);
    Call outcome{{}, info.error};
    for (std::size_t r = 0; r < n; ++r) {
        Expected e;
        e.null = !result.valid(r);
        if (!e.null) {
            if (predicate) e.truth = result.truths[r];
            if (result.kind == Kind::kText) e.text = std::string(result.text(r));
            if (result.kind == Kind::kList) e.parts = result.list(r);
            for (const auto& field : result.members) {
                e.parts.emplace_back(field->valid(r) ? field->text(r) : kAbsentField);
            }
        }
        outcome.answers.push_back(e);
    }
    return outcome;
}

constexpr const char* kSmallList =
    "// ===BEGIN ICANN DOMAINS===\nuk\nco.uk\n*.kobe.jp\n!city.kobe.jp\n"
    "// ===END ICANN DOMAINS===\n// ===BEGIN PRIVATE DOMAINS===\ngithub.io\n"
    "// ===END PRIVATE DOMAINS===\n";

class AnswerChunk : public testing::Test {
protected:
    void SetUp() override {
        list_file::LoadOutcome outcome = list_file::load_list(kSmallList);
        ASSERT_NE(outcome.list, nullptr);
        loaded_checksum_ = outcome.list->checksum;
        loaded_ = &lists_->keep(std::move(outcome.list));
    }

    // Rows over every kind of name, with every argument drawn at random and
    // sometimes NULL; runs of rows share their switches, as they mostly do.
    std::vector<Row> rows(std::size_t count, unsigned seed) const {
        std::vector<std::string> names = testing_names::mixed_names(count, seed);
        for (const std::string& name : testing_names::non_utf8_names()) names.push_back(name);
        names.push_back(std::string(300, 'x') + ".Example.CO.UK");
        names.push_back("https://user@Shop.Example.CO.UK:8443/x");
        names.push_back("h\ttp://exa\nmple.github.io/");
        std::mt19937 random(seed);
        std::vector<Row> result;
        Row run;
        for (const std::string& name : names) {
            if (random() % 8 == 0) {
                run = Row{};
                run.accept_unknown = random() % 2 == 0;
                run.icann_only = random() % 2 == 0;
                run.keep_case = random() % 2 == 0;
                run.keep_ip = random() % 2 == 0;
                run.rules = random() % 2 == 0 ? loaded_checksum_ : std::string(compiled_list.checksum);
            }
            Row row = run;
            row.name = name;
            row.depth = static_cast<std::int64_t>(random() % 4);
            switch (random() % 40) {
                case 0: row.name.reset(); break;
                case 1: row.depth.reset(); break;
                case 2: row.keep_case.reset(); break;
                case 3: row.rules.reset(); break;
                case 4: row.accept_unknown.reset(); break;
                default: break;
            }
            result.push_back(row);
        }
        return result;
    }

    std::shared_ptr<LoadedLists> lists_ = std::make_shared<LoadedLists>();
    const list_file::LoadedList* loaded_ = nullptr;
    std::string loaded_checksum_;
};

TEST_F(AnswerChunk, EveryFormAnswersEachRowAsTheSingleCall) {
    // Chunks of DuckDB's size and of sizes around the blocks the names are
    // matched in.
    for (const std::size_t size : {2048u, 1u, 255u, 257u, 700u}) {
        const std::vector<Row> chunk = rows(size, static_cast<unsigned>(size));
        for (const Form& form : sql_forms()) {
            const Call outcome = call(form, chunk, lists_);
            ASSERT_FALSE(outcome.error) << form.name << ": " << *outcome.error;
            for (std::size_t r = 0; r < chunk.size(); ++r) {
                ASSERT_EQ(outcome.answers[r], single(form, chunk[r], loaded_))
                    << form.name << " with " << int{form.argument_count} << " arguments, row " << r
                    << " '" << chunk[r].name.value_or("NULL") << "'";
            }
        }
    }
}

TEST_F(AnswerChunk, AnswersOfMoreTextThanIsHandedOverAtOnce) {
    // About 1,700 bytes an answer: more than a MiB in all.
    std::vector<Row> chunk;
    for (int i = 0; i < 2048; ++i) {
        Row row;
        row.name = std::to_string(i) + "." + std::string(1700, static_cast<char>('A' + i % 26)) + ".co.uk";
        row.depth = 1;
        row.keep_case = i % 3 == 0;
        chunk.push_back(row);
    }
    for (const Form& form : sql_forms()) {
        if (form.question != Question::kSubdomain || form.keep_case == kAbsent || form.rules != kAbsent) continue;
        const Call outcome = call(form, chunk, lists_);
        for (std::size_t r = 0; r < chunk.size(); ++r) {
            ASSERT_EQ(outcome.answers[r], single(form, chunk[r], loaded_)) << r;
        }
    }
}

const Form& form_of(Question question, bool with_rules) {
    for (const Form& form : sql_forms()) {
        if (form.question == question && (form.rules != kAbsent) == with_rules) return form;
    }
    throw std::logic_error("no such form");
}

TEST_F(AnswerChunk, BadArgumentsFailTheCallWithAMessage) {
    std::vector<Row> chunk(3);
    chunk[0].name = "a.b.example.co.uk";
    chunk[1].name = "x.com";
    chunk[2].name = "y.com";
    chunk[1].depth = -2;
    const Call negative = call(form_of(Question::kSubdomain, false), chunk, lists_);
    EXPECT_EQ(negative.error, "psl_subdomain(): depth must be 0 or more, not -2");

    for (Row& row : chunk) row.rules = compiled_list.checksum;
    chunk[2].rules = std::string(100, 'f');
    const Call unknown = call(form_of(Question::kIsPrivate, true), chunk, lists_);
    ASSERT_TRUE(unknown.error);
    EXPECT_NE(unknown.error->find("psl_is_private(): no list of checksum '" + std::string(64, 'f') +
                                  "...' is loaded"),
              std::string::npos)
        << *unknown.error;

    // Bytes that are not UTF-8 are shown as U+FFFD: the message stays UTF-8.
    chunk[2].rules = "a\xff\xc3";
    const Call garbled = call(form_of(Question::kIsPrivate, true), chunk, lists_);
    ASSERT_TRUE(garbled.error);
    EXPECT_NE(garbled.error->find("no list of checksum 'a\xef\xbf\xbd\xef\xbf\xbd' is loaded"),
              std::string::npos)
        << *garbled.error;
}

}  // namespace
}  // namespace vexlo::duckdb
