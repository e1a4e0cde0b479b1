// Times answer_column on a corpus held as an Arrow string array, with one
// thread and with two, beside the per-name scalar loop (match_domain and the
// question's plain answer) that a caller without columns would run. Reports
// the median of the rounds in nanoseconds per name (wall time: the threads'
// work counts once). With --memory it answers once, in a fresh process, and
// reports how far the peak resident size grew against the size of the
// result's buffers.
//
//   bench_columns CORPUS [--rounds N] [--question privatesuffix|publicsuffix|is_private|privateparts]
//   bench_columns CORPUS --memory --rounds THREADS [--question Q]
//
// CORPUS holds one name per line (bench/corpus.py writes it).
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "columns/answer_column.h"
#include "columns/arrow_abi.h"
#include "columns/arrow_import.h"
#include "query/answers.h"
#include "query/match.h"
#include "query/name_batch.h"
#include "rules/batch_walk.h"
#include "rules/compiled_tables.h"
#include "rules/public_suffix.h"

#include "compiled_walk.h"
#include "corpus_file.h"

namespace {

struct Corpus {
    std::vector<std::int32_t> offsets{0};
    std::string data;
};

Corpus read_corpus(const char* path) {
    Corpus corpus;
    for (const std::string& name : vexlo::bench::read_corpus(path, "bench_columns")) {
        corpus.data += name;
        corpus.offsets.push_back(static_cast<std::int32_t>(corpus.data.size()));
    }
    return corpus;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::size_t result_bytes(const vexlo::ResultColumn& r) {
    return r.validity.size() + r.values.size() + r.data.size() + r.item_offsets.size();
}

// Peak resident memory since the last reset, in bytes (Linux).
long peak_rss() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6) * 1024;
    }
    return -1;
}
long current_rss() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6) * 1024;
    }
    return -1;
}
bool reset_peak_rss() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return static_cast<bool>(clear);
}

std::size_t scalar_answer(vexlo::Question question, const vexlo::MatchView& match) {
    switch (question) {
        case vexlo::Question::kPublicSuffix: {
            auto t = vexlo::publicsuffix(match, false);
            return t ? t->size() : 0;
        }
        case vexlo::Question::kIsPrivate:
            return vexlo::is_private(match);
        case vexlo::Question::kPrivateParts: {
            auto p = vexlo::privateparts(match, false);
            return p ? p->private_suffix.size() + p->subdomain_count : 0;
        }
        default: {
            auto t = vexlo::privatesuffix(match, false);
            return t ? t->size() : 0;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_columns CORPUS [--rounds N] [--question Q]\n");
        return 2;
    }
    int rounds = 9;
    bool memory_only = false;
    vexlo::Question question = vexlo::Question::kPrivateSuffix;
    std::string question_name = "privatesuffix";
    for (int a = 2; a < argc; ++a) {
        if (std::strcmp(argv[a], "--memory") == 0) {
            memory_only = true;
            continue;
        }
        if (a + 1 == argc) break;
        if (std::strcmp(argv[a], "--rounds") == 0) rounds = std::max(1, std::atoi(argv[a + 1]));
        if (std::strcmp(argv[a], "--question") == 0) {
            question_name = argv[a + 1];
            if (question_name == "publicsuffix") question = vexlo::Question::kPublicSuffix;
            else if (question_name == "is_private") question = vexlo::Question::kIsPrivate;
            else if (question_name == "privateparts") question = vexlo::Question::kPrivateParts;
            else question_name = "privatesuffix";
        }
        ++a;
    }
    const Corpus corpus = read_corpus(argv[1]);
    const std::int64_t n = static_cast<std::int64_t>(corpus.offsets.size()) - 1;
    const void* buffers[3] = {nullptr, corpus.offsets.data(), corpus.data.data()};
    ArrowSchema schema{"u", "", nullptr, 0, 0, nullptr, nullptr, [](ArrowSchema* s) { s->release = nullptr; }, nullptr};
    ArrowArray array{n, 0, 0, 3, 0, buffers, nullptr, nullptr, [](ArrowArray* a) { a->release = nullptr; }, nullptr};
    vexlo::ColumnImport imported = vexlo::import_column(schema, array);
    if (!std::holds_alternative<vexlo::StringColumn>(imported)) {
        std::fprintf(stderr, "bench_columns: %s\n", std::get<vexlo::ImportProblem>(imported).message.c_str());
        return 1;
    }
    const vexlo::StringColumn& column = std::get<vexlo::StringColumn>(imported);

    if (memory_only) {
        // In a process that has allocated nothing else yet, so that no freed
        // memory is reused unseen: the growth of the peak resident size.
        vexlo::ColumnRequest request{question};
        request.threads = static_cast<unsigned>(rounds);
        const long before = current_rss();
        if (!reset_peak_rss()) return 1;
        vexlo::ResultColumn result = vexlo::answer_column(column, request, vexlo::compiled_tables());
        const long peak = peak_rss();
        const double bytes = static_cast<double>(result_bytes(result));
        std::printf("%s threads=%u: result buffers %.1f MB, peak growth %.1f MB, extra beyond the "
                    "result %.2fx of it\n",
                    question_name.c_str(), request.threads, bytes / 1e6,
                    static_cast<double>(peak - before) / 1e6,
                    (static_cast<double>(peak - before) - bytes) / bytes);
        return 0;
    }

    std::vector<std::string_view> names;
    for (std::int64_t i = 0; i < n; ++i) names.push_back(column.value(i));

    // The walk alone, over names normalised beforehand: one at a time, and
    // in the batch walk's lanes.
    vexlo::NameBatch batch;
    for (const std::string_view name : names) batch.add(name);
    batch.match(vexlo::compiled_tables(), vexlo::Switches{});
    std::vector<vexlo::WalkName> walk_names;
    for (std::size_t i = 0; i < batch.size(); ++i) {
        if (batch[i].state != vexlo::NameBatch::State::kValid) continue;
        const vexlo::MatchView view = batch.view(i);
        walk_names.push_back({view.lowered.data(), view.lowered.size(), view.label_count, view.dots});
    }
    std::vector<std::uint32_t> walk_lengths(walk_names.size());
    std::vector<double> single_walk, batch_walk;

    std::vector<double> loop, one, two;
    std::size_t sink = 0;
    for (int r = 0; r < rounds; ++r) {
        auto start = std::chrono::steady_clock::now();
        for (const std::string_view name : names) {
            const std::optional<vexlo::Match> match =
                vexlo::match_domain(name, vexlo::compiled_tables(), vexlo::Switches{});
            sink += match ? scalar_answer(question, match->view()) : 0;
        }
        loop.push_back(seconds_since(start) * 1e9 / static_cast<double>(n));
        start = std::chrono::steady_clock::now();
        for (const vexlo::WalkName& name : walk_names) {
            // As the single call walks: the compiled tables' own walk for a
            // name within the dot bitmap, the walk over any tables beyond.
            sink += name.size <= vexlo::kDotBitmapBytes
                        ? vexlo::compiled_public_suffix_length(name.text, name.size, name.dots,
                                                               name.label_count, vexlo::Switches{})
                        : vexlo::public_suffix_length(vexlo::compiled_tables(), {name.text, name.size},
                                                      name.dots, name.label_count, vexlo::Switches{});
        }
        single_walk.push_back(seconds_since(start) * 1e9 / static_cast<double>(walk_names.size()));
        start = std::chrono::steady_clock::now();
        vexlo::public_suffix_lengths(vexlo::compiled_tables(), walk_names, vexlo::Switches{},
                                     walk_lengths.data());
        batch_walk.push_back(seconds_since(start) * 1e9 / static_cast<double>(walk_names.size()));
        for (unsigned threads : {1u, 2u}) {
            vexlo::ColumnRequest request{question};
            request.threads = threads;
            start = std::chrono::steady_clock::now();
            vexlo::ResultColumn result = vexlo::answer_column(column, request, vexlo::compiled_tables());
            (threads == 1 ? one : two).push_back(seconds_since(start) * 1e9 / static_cast<double>(n));
            sink += result.null_count;
        }
    }
    std::printf("%s over %lld names, median of %d rounds (ns/name):\n", question_name.c_str(),
                static_cast<long long>(n), rounds);
    std::printf("  walk alone, one name at a time       %7.1f\n", median(single_walk));
    std::printf("  walk alone, batch walk               %7.1f\n", median(batch_walk));
    std::printf("  scalar loop (match_domain + answer)  %7.1f\n", median(loop));
    std::printf("  answer_column threads=1              %7.1f  (best %.1f)\n", median(one),
                *std::min_element(one.begin(), one.end()));
    std::printf("  answer_column threads=2              %7.1f  (best %.1f)\n", median(two),
                *std::min_element(two.begin(), two.end()));

    return sink == 42 ? 1 : 0;
}
