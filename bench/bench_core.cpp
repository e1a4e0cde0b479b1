// Times vexlo's core (normalisation and matching, and each query's plain
// answer, no Python) against libpsl on the same corpus, in one process.
// Every round passes once over the whole corpus per benchmark, in an order
// shuffled from round to round, so that a change of machine load touches all
// of them alike; the report is the median round. Time is the thread's CPU
// time.
//
//   bench_core CORPUS LIST_FILE [--rounds N] [--json FILE] [--only NAME]
//
// --only runs the one benchmark of that name (bench/experiments/
// count_instructions.py counts its instructions under callgrind).
// CORPUS holds one name per line (bench/corpus.py writes it); LIST_FILE is
// the list the module was compiled from, which libpsl loads at start-up.
#include <libpsl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <iostream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "normalize/ascii_labels.h"
#include "normalize/normalize.h"
#include "query/answers.h"
#include "query/match.h"
#include "query/short_match.h"
#include "rules/compiled_tables.h"

#include "corpus_file.h"

namespace {

using Names = std::vector<std::string>;
using PerName = std::function<std::size_t(const std::string&)>;

struct Benchmark {
    std::string name;
    std::string group;  // "vexlo", "libpsl" or "reference"
    PerName run;
    std::vector<double> ns_per_name;  // one per round
};

std::size_t text_size(const std::optional<std::string_view>& text) {
    return text ? text->size() : 0;
}

template <typename Answer>
PerName vexlo_query(Answer answer) {
    return [answer](const std::string& name) -> std::size_t {
        const std::optional<vexlo::Match> match =
            vexlo::match_domain(name, vexlo::compiled_tables(), vexlo::Switches{});
        return match ? answer(match->view()) : 0;
    };
}

// The way the module answers the functions that take a domain alone: a short
// ASCII name through match_short, any other through match_domain.
template <typename Answer>
PerName vexlo_call(Answer answer) {
    return [answer](const std::string& name) -> std::size_t {
        vexlo::ShortMatch short_match;
        std::string_view given = name;
        switch (vexlo::match_short<vexlo::kCompiledRootEdgeCount>(
            vexlo::compiled_tables(), given, vexlo::Switches{}, short_match)) {
            case vexlo::ShortOutcome::kMatched:
                return answer(short_match.view(given));
            case vexlo::ShortOutcome::kInvalid:
                return 0;
            case vexlo::ShortOutcome::kOther:
                break;
        }
        const std::optional<vexlo::Match> match =
            vexlo::match_domain(name, vexlo::compiled_tables(), vexlo::Switches{});
        return match ? answer(match->view()) : 0;
    };
}

std::vector<Benchmark> make_benchmarks(const psl_ctx_t* psl) {
    using vexlo::MatchView;
    std::vector<Benchmark> benchmarks;
    auto add = [&](std::string name, std::string group, PerName run) {
        benchmarks.push_back({std::move(name), std::move(group), std::move(run), {}});
    };
    // The loop itself, with the call through std::function that every other
    // benchmark pays too.
    add("empty loop", "reference", [](const std::string& name) { return name.size(); });
    add("normalize_domain", "vexlo", [](const std::string& name) -> std::size_t {
        const std::optional<vexlo::NormalizedDomain> normalized = vexlo::normalize_domain(name);
        return normalized ? normalized->label_count : 0;
    });
    add("match_domain", "vexlo", vexlo_query([](const MatchView& m) { return m.public_length; }));
    // Lowercasing alone, the way the module's common call does it: a short
    // ASCII name into a buffer on the stack, any other through
    // normalize_domain.
    add("lower_short_ascii", "vexlo", [](const std::string& name) -> std::size_t {
        std::string_view text = name;
        if (!text.empty() && text.back() == '.') text.remove_suffix(1);
        if (!text.empty() && text.size() <= vexlo::kDotBitmapBytes) {
            char lowered[vexlo::kDotBitmapBytes];
            vexlo::LabelShape shape;
            switch (vexlo::lower_ascii_labels(text.data(), text.size(), lowered, shape)) {
                case vexlo::AsciiLabels::kValid:
                    return shape.label_count + static_cast<unsigned char>(lowered[0]);
                case vexlo::AsciiLabels::kInvalid:
                    return 0;
                case vexlo::AsciiLabels::kNotAscii:
                    break;
            }
        }
        const std::optional<vexlo::NormalizedDomain> normalized = vexlo::normalize_domain(name);
        return normalized ? normalized->label_count : 0;
    });
    add("match_short", "vexlo", vexlo_call([](const MatchView& m) { return m.public_length; }));
    add("is_public", "vexlo",
        vexlo_call([](const MatchView& m) -> std::size_t { return vexlo::is_public(m); }));
    add("is_private", "vexlo",
        vexlo_call([](const MatchView& m) -> std::size_t { return vexlo::is_private(m); }));
    add("publicsuffix", "vexlo",
        vexlo_call([](const MatchView& m) { return text_size(vexlo::publicsuffix(m, false)); }));
    add("privatesuffix", "vexlo",
        vexlo_call([](const MatchView& m) { return text_size(vexlo::privatesuffix(m, false)); }));
    add("privateparts", "vexlo", vexlo_query([](const MatchView& m) -> std::size_t {
            const auto parts = vexlo::privateparts(m, false);
            return parts ? parts->subdomain_count + parts->private_suffix.size() : 0;
        }));
    add("subdomain(depth=1)", "vexlo",
        vexlo_query([](const MatchView& m) { return text_size(vexlo::subdomain(m, 1, false)); }));
    add("psl_registrable_domain", "libpsl", [psl](const std::string& name) -> std::size_t {
        const char* found = psl_registrable_domain(psl, name.c_str());
        return found != nullptr ? static_cast<std::size_t>(found - name.c_str()) : 0;
    });
    add("psl_is_public_suffix", "libpsl", [psl](const std::string& name) -> std::size_t {
        return static_cast<std::size_t>(psl_is_public_suffix(psl, name.c_str()));
    });
    // libpsl expects lowercase input; this is what a caller with mixed-case
    // names pays for the same answer as privatesuffix.
    add("psl_str_to_utf8lower + psl_registrable_domain", "libpsl",
        [psl](const std::string& name) -> std::size_t {
            char* lower = nullptr;
            if (psl_str_to_utf8lower(name.c_str(), "utf-8", nullptr, &lower) != PSL_SUCCESS) return 0;
            const char* found = psl_registrable_domain(psl, lower);
            const std::size_t result = found != nullptr ? static_cast<std::size_t>(found - lower) : 0;
            psl_free_string(lower);
            return result;
        });
    return benchmarks;
}

volatile std::size_t sink;

// The thread's CPU time: on a shared machine, the time other processes run
// while this one waits is not counted.
std::int64_t cpu_ns() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
}

double time_pass(const Benchmark& benchmark, const Names& names) {
    // A tenth of the names first, untimed, so that the pass does not pay for
    // the caches the previous benchmark left behind.
    std::size_t total = 0;
    for (std::size_t i = 0; i < std::max<std::size_t>(1, names.size() / 10); ++i) {
        total += benchmark.run(names[i]);
    }
    const std::int64_t start = cpu_ns();
    for (const std::string& name : names) total += benchmark.run(name);
    const std::int64_t stop = cpu_ns();
    sink = sink + total;
    return static_cast<double>(stop - start) / static_cast<double>(names.size());
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string json_string(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

const char* compiler() {
#if defined(__clang__)
    return "clang " __clang_version__;
#elif defined(__GNUC__)
    return "GCC " __VERSION__;
#else
    return "unknown";
#endif
}

void write_json(std::ostream& out, const std::vector<Benchmark>& benchmarks, std::size_t names,
                int rounds, const char* list_path, std::size_t psl_suffixes) {
    out << "{\n  \"corpus_names\": " << names << ",\n  \"rounds\": " << rounds
        << ",\n  \"list_file\": " << json_string(list_path)
        << ",\n  \"compiler\": " << json_string(compiler())
        << ",\n  \"libpsl_version\": " << json_string(psl_get_version())
        << ",\n  \"libpsl_suffixes\": " << psl_suffixes
        << ",\n  \"benchmarks\": [\n";
    for (std::size_t i = 0; i < benchmarks.size(); ++i) {
        const Benchmark& b = benchmarks[i];
        out << "    {\"name\": \"" << b.name << "\", \"group\": \"" << b.group
            << "\", \"median_ns\": " << median(b.ns_per_name) << ", \"rounds_ns\": [";
        for (std::size_t r = 0; r < b.ns_per_name.size(); ++r) {
            out << (r ? ", " : "") << b.ns_per_name[r];
        }
        out << "]}" << (i + 1 < benchmarks.size() ? "," : "") << "\n";
    }
    out << "  ]\n}\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: bench_core CORPUS LIST_FILE [--rounds N] [--json FILE] [--only NAME]\n");
        return 2;
    }
    int rounds = 31;
    const char* json_path = nullptr;
    std::string only;
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string_view option = argv[i];
        if (option == "--rounds") {
            rounds = std::max(1, std::atoi(argv[i + 1]));
        } else if (option == "--json") {
            json_path = argv[i + 1];
        } else if (option == "--only") {
            only = argv[i + 1];
        }
    }
    const Names names = vexlo::bench::read_corpus(argv[1], "bench_core");
    if (names.empty()) {
        std::fprintf(stderr, "bench_core: the corpus is empty\n");
        return 2;
    }
    psl_ctx_t* psl = psl_load_file(argv[2]);
    if (psl == nullptr) {
        std::fprintf(stderr, "bench_core: libpsl cannot load %s\n", argv[2]);
        return 2;
    }
    std::vector<Benchmark> benchmarks = make_benchmarks(psl);
    if (!only.empty()) {
        std::erase_if(benchmarks, [&](const Benchmark& b) { return b.name != only; });
        if (benchmarks.empty()) {
            std::fprintf(stderr, "bench_core: no benchmark named %s\n", only.c_str());
            return 2;
        }
    }
    // One untimed pass each, to fault in tables and code.
    for (const Benchmark& b : benchmarks) time_pass(b, names);
    // A new order every round, so that no benchmark always follows the same
    // one (a pass that leaves the caches cold for the next, say).
    std::vector<std::size_t> order(benchmarks.size());
    for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
    std::mt19937 shuffle_seed(6);
    for (int round = 0; round < rounds; ++round) {
        std::shuffle(order.begin(), order.end(), shuffle_seed);
        for (const std::size_t k : order) {
            benchmarks[k].ns_per_name.push_back(time_pass(benchmarks[k], names));
        }
    }
    for (const Benchmark& b : benchmarks) {
        std::printf("%-48s %9.1f ns/name\n", b.name.c_str(), median(b.ns_per_name));
    }
    if (json_path != nullptr) {
        std::ofstream out(json_path);
        write_json(out, benchmarks, names.size(), rounds, argv[2], psl_suffix_count(psl));
    }
    psl_free(psl);
    return 0;
}
