// Threads sharing what the core shares between callers: the compiled
// tables, one loaded list, the lists a DuckDB database keeps, and the
// one-time caches (the SHA-256 routine chosen for the CPU, the page size of
// the column path), which the threads are the first to fill. Every thread's answers equal one thread's alone.
// ctest runs each test in a process of its own, so the caches are empty when
// its threads start; under ThreadSanitizer (scripts/test-sanitize --thread)
// a race between them is a report that fails the test.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <iterator>
#include <latch>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "../columns/test_names.h"
#include "columns/answer_column.h"
#include "common/sha256.h"
#include "duckdb/loaded_lists.h"
#include "extract/text_extraction.h"
#include "host/find_host.h"
#include "lines/answer_lines.h"
#include "list_file/loaded_list.h"
#include "query/match.h"
#include "rules/compiled_tables.h"

namespace vexlo {
namespace {

constexpr unsigned kThreads = 8;

// What `work` gives in each of kThreads threads started together.
std::vector<std::string> at_once(const std::function<std::string()>& work) {
    std::vector<std::string> results(kThreads);
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (unsigned k = 0; k < kThreads; ++k) {
        threads.emplace_back([&, k] {
            start.arrive_and_wait();
            results[k] = work();
        });
    }
    for (std::thread& thread : threads) thread.join();
    return results;
}

const std::vector<std::string>& names() {
    static const std::vector<std::string> mixed = testing_names::mixed_names(3000, 23);
    return mixed;
}

std::string optional_text(std::optional<std::string_view> text) {
    return text ? std::string(*text) : "-";
}

// Every question for every name, one name at a time.
std::string scalar_answers(const RuleTables& tables) {
    std::string out;
    for (const bool icann_only : {false, true}) {
        for (const std::string& name : names()) {
            const std::optional<Match> match = match_domain(name, tables, {true, icann_only});
            if (!match) {
                out += "invalid\n";
                continue;
            }
            const MatchView view = match->view();
            out += optional_text(publicsuffix(view, false)) + ' ' +
                   optional_text(privatesuffix(view, true)) + ' ' +
                   optional_text(subdomain(view, 1, false)) + ' ' +
                   (is_public(view) ? "public\n" : "not public\n");
        }
    }
    return out;
}

std::string column_text(const ResultColumn& result) {
    std::string out;
    for (std::int64_t i = 0; i < result.length; ++i) {
        if (result.is_null(i)) {
            out += "null";
        } else if (result.type.kind == ResultType::Kind::kBool) {
            out += result.truth(i) ? "true" : "false";
        } else if (result.type.kind == ResultType::Kind::kText) {
            out += result.text(i);
        } else {
            const PartsView parts = result.parts(i);
            for (std::size_t j = 0; j < parts.size(); ++j) out += std::string(parts[j]) + ' ';
        }
        out += '\n';
    }
    return out;
}

// The column path, on vexlo's own threads too: answers made by several
// ranges are moved together, which gives pages back (the page size).
std::string column_answers(const RuleTables& tables) {
    std::vector<std::string_view> texts(names().begin(), names().end());
    const StringColumn column(texts, {});
    std::string out;
    for (const Question question : {Question::kPrivateSuffix, Question::kPrivateParts,
                                    Question::kIsPrivate, Question::kHost}) {
        ColumnRequest request{question};
        request.threads = 3;
        request.keep_case = true;
        out += column_text(answer_column(column, request, tables));
    }
    return out;
}

// The command line's path: a block of lines answered by two threads.
std::string line_answers(const RuleTables& tables) {
    std::string block;
    while (block.size() < 2 * lines::kMinBlockPerThread) {
        for (const std::string& name : names()) block += name + '\n';
    }
    lines::RowFormat format;
    format.fields = {lines::Field::name, lines::Field::privatesuffix, lines::Field::privateparts};
    lines::BlockAnswer answer;
    lines::answer_lines_threaded(block, true, format, tables, answer, 2);
    return std::string(answer.output.view());
}

// The host of a URL around each name, and every field of its extract record.
std::string url_answers(const RuleTables& tables) {
    std::string out;
    for (const std::string& name : names()) {
        const std::string url = "https://user@" + name + ":8080/path";
        const host::FoundHost found = host::find_host(url);
        out += host::is_answer(found, true) ? std::string(found.text()) + '\n' : "none\n";
        const TextExtraction extraction(url, tables, {});
        for (std::size_t i = 0; i < kExtractFieldCount; ++i) {
            out += optional_text(extraction.field(static_cast<ExtractField>(i))) + ' ';
        }
        out += '\n';
    }
    return out;
}

std::string all_answers(const RuleTables& tables) {
    return scalar_answers(tables) + column_answers(tables) + line_answers(tables) +
           url_answers(tables);
}

constexpr std::string_view kSmallList =
    "// ===BEGIN ICANN DOMAINS===\nuk\nco.uk\n*.kawasaki.jp\n!city.kawasaki.jp\njp\n"
    "// ===END ICANN DOMAINS===\n// ===BEGIN PRIVATE DOMAINS===\ngithub.io\n"
    "// ===END PRIVATE DOMAINS===\n";

// A list loaded by this thread: its checksum, what it holds, and the answers
// of a few names from it.
std::string loaded_small_list() {
    const list_file::LoadOutcome outcome = list_file::load_list(kSmallList);
    if (!outcome.list) return "refused: " + list_file::refusal_message(outcome.errors);
    std::string out = outcome.list->checksum + ' ' + std::to_string(outcome.list->rule_count);
    for (const char* name : {"a.b.co.uk", "x.y.kawasaki.jp", "a.city.kawasaki.jp", "u.github.io"}) {
        const std::optional<Match> match = match_domain(name, outcome.list->tables.tables(), {});
        out += ' ' + (match ? optional_text(privatesuffix(match->view(), false)) : "invalid");
    }
    return out;
}

TEST(SharedState, FirstUsesOfTheOneTimeCachesRaceAndAgree) {
    const std::string data(100'000, 'v');
    const auto work = [&] {
        return sha256_hex(data) + '\n' + loaded_small_list() + '\n' +
               all_answers(compiled_tables());
    };
    const std::vector<std::string> results = at_once(work);
    const std::string alone = work();
    for (const std::string& result : results) EXPECT_TRUE(result == alone);
}

TEST(SharedState, OneLoadedListAndTheCompiledTablesAnswerEveryThreadAlike) {
    std::ifstream file(VEXLO_PSL_FILE, std::ios::binary);
    ASSERT_TRUE(file) << "cannot read " << VEXLO_PSL_FILE;
    const std::string data{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const list_file::LoadOutcome outcome = list_file::load_list(data);
    ASSERT_TRUE(outcome.list) << list_file::refusal_message(outcome.errors);
    const RuleTables& loaded = outcome.list->tables.tables();
    const std::string alone = all_answers(loaded) + all_answers(compiled_tables());
    const std::vector<std::string> results = at_once([&] {
        return all_answers(loaded) + all_answers(compiled_tables());
    });
    for (const std::string& result : results) EXPECT_TRUE(result == alone);
}

// The DuckDB extension's lists of a database: threads loading the same file
// keep one list, and threads finding it answer from it while others load.
TEST(SharedState, ListsOfADatabaseKeptAndFoundAtOnce) {
    duckdb::LoadedLists lists;
    const std::string checksum = list_file::load_list(kSmallList).list->checksum;
    const std::vector<std::string> results = at_once([&] {
        const list_file::LoadedList& kept = lists.keep(list_file::load_list(kSmallList).list);
        const RuleTables* found = lists.find(checksum);
        if (found != &kept.tables.tables()) return std::string("another list");
        return scalar_answers(*found) + column_answers(*found);
    });
    const RuleTables* found = lists.find(checksum);
    ASSERT_NE(found, nullptr);
    const std::string alone = scalar_answers(*found) + column_answers(*found);
    for (const std::string& result : results) EXPECT_TRUE(result == alone);
    EXPECT_EQ(lists.find(compiled_list.checksum), &compiled_tables());
}

}  // namespace
}  // namespace vexlo
