// The steps from URLs to answers, each on its own, in C++ without Python:
// finding the host (the finder, and its long way alone), the walk, the
// fields, and the column functions whole, beside the same steps for the
// bare hosts. Each row is one pass over the corpus; a step's cost is the
// difference of two rows that differ by that step (count_instructions.py
// --steps counts each row under callgrind, which is how they are meant to
// be read: instruction counts are repeatable on a busy machine).
//
//   bench_url_steps URLS [--passes N] [--only NAME] [--names]
//
// URLS holds one URL per line (bench_urls.py --write-corpus); their hosts
// are found before any row runs, for the rows over bare hosts. Without --only, every row is timed over N shuffled
// rounds (default 9) and the medians printed in ns per URL; --only runs that
// row's pass N times and nothing else; --names lists the rows.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "columns/answer_column.h"
#include "columns/arrow_abi.h"
#include "columns/arrow_import.h"
#include "extract/text_extraction.h"
#include "extract/text_host.h"
#include "host/find_host.h"
#include "normalize/utf8_check.h"
#include "query/answers.h"
#include "extract/fields.h"
#include "query/match.h"
#include "query/name_batch.h"
#include "query/short_match.h"
#include "rules/compiled_shape.h"
#include "rules/compiled_tables.h"

#include "corpus_file.h"

namespace {

using vexlo::ExtractField;
using Texts = std::vector<std::string_view>;

// Texts laid end to end as an Arrow string column's buffers are.
struct Column {
    std::vector<std::int32_t> offsets{0};
    std::string data;

    explicit Column(const std::vector<std::string>& texts) {
        for (const std::string& text : texts) {
            data += text;
            offsets.push_back(static_cast<std::int32_t>(data.size()));
        }
    }
    std::int64_t size() const { return static_cast<std::int64_t>(offsets.size()) - 1; }
    std::string_view text(std::int64_t i) const {
        return std::string_view(data).substr(offsets[i], offsets[i + 1] - offsets[i]);
    }
    std::string_view block(std::int64_t begin, std::int64_t end) const {
        return std::string_view(data).substr(offsets[begin], offsets[end] - offsets[begin]);
    }
    vexlo::StringColumn imported() const {
        const void* buffers[3] = {nullptr, offsets.data(), data.data()};
        ArrowSchema schema{"u", "", nullptr, 0, 0, nullptr, nullptr,
                           [](ArrowSchema* s) { s->release = nullptr; }, nullptr};
        ArrowArray array{size(), 0, 0, 3, 0, buffers, nullptr, nullptr,
                         [](ArrowArray* a) { a->release = nullptr; }, nullptr};
        vexlo::ColumnImport result = vexlo::import_column(schema, array);
        if (!std::holds_alternative<vexlo::StringColumn>(result)) {
            std::fprintf(stderr, "bench_url_steps: %s\n",
                         std::get<vexlo::ImportProblem>(result).message.c_str());
            std::exit(1);
        }
        return std::get<vexlo::StringColumn>(std::move(result));
    }
};

// A text result column taken as the input of another column function.
vexlo::StringColumn as_input(const vexlo::ResultColumn& result) {
    const void* buffers[3] = {result.validity.empty() ? nullptr : result.validity.as(),
                              result.values.as(), result.data.as()};
    ArrowSchema schema{result.type.wide_offsets ? "U" : "u", "", nullptr, 0, 0, nullptr, nullptr,
                       [](ArrowSchema* s) { s->release = nullptr; }, nullptr};
    ArrowArray array{result.length, result.null_count, 0, 3, 0, buffers, nullptr, nullptr,
                     [](ArrowArray* a) { a->release = nullptr; }, nullptr};
    return std::get<vexlo::StringColumn>(vexlo::import_column(schema, array));
}

// The column code's block of names found and matched together.
constexpr std::int64_t kBlock = 256;

struct Row {
    std::string name;
    std::function<std::size_t()> pass;
    std::vector<double> ns_per_url = {};
};

std::size_t text_size(const std::optional<std::string_view>& text) { return text ? text->size() : 0; }

// The way the module answers privatesuffix(name): match_short, or
// match_domain for a name it does not take.
std::size_t privatesuffix_call(std::string_view name) {
    vexlo::ShortMatch short_match;
    std::string_view given = name;
    switch (vexlo::match_short<vexlo::kCompiledRootEdgeCount>(vexlo::compiled_tables(), given,
                                                              vexlo::Switches{}, short_match)) {
        case vexlo::ShortOutcome::kMatched:
            return text_size(vexlo::privatesuffix(short_match.view(given), false));
        case vexlo::ShortOutcome::kInvalid: return 0;
        case vexlo::ShortOutcome::kOther: break;
    }
    const std::optional<vexlo::Match> match = vexlo::match_domain(name, vexlo::compiled_tables(), {});
    return match ? text_size(vexlo::privatesuffix(match->view(), false)) : 0;
}

// extract(url) a step at a time, as TextExtraction takes them: the host,
// then (`walk`) the walk keeping both views, then (`fields`) every field.
std::size_t extract_steps(std::string_view url, bool walk, bool fields) {
    std::string copy;
    const vexlo::TextHost found = vexlo::host_of_text(url, false, copy);
    if (!walk || found.kind != vexlo::TextHost::Kind::kName) return found.host.size();
    const std::optional<vexlo::TracedMatch> traced = vexlo::trace_domain<vexlo::kCompiledRootEdgeCount>(
        found.host, vexlo::compiled_tables(), true);
    if (!traced) return 0;
    if (!fields) return traced->verdict.public_length;
    vexlo::ExtractedFields out;
    vexlo::extract_fields(vexlo::compiled_tables(), {traced->match.view(), traced->verdict}, false, out);
    std::string rule;
    return text_size(out.texts[static_cast<std::size_t>(ExtractField::kPrivateSuffix)]) +
           (out.rule ? out.rule->spelled(rule).size() : 0);
}

std::size_t extraction(std::string_view text) {
    const vexlo::TextExtraction extracted(text, vexlo::compiled_tables(), vexlo::ExtractOptions{});
    return text_size(extracted.field(ExtractField::kPrivateSuffix));
}

// What the column code does before it writes, for names given in blocks:
// the UTF-8 check of each block's bytes, or each name into a batch and
// (`walk`) the batch matched, in one view or (`explain`) in both, then
// (`fields`) every field cut.
enum class BatchSteps { kUtf8, kAdd, kMatch, kExplain, kFields };

std::size_t batch_steps(const Column& names, BatchSteps steps, bool find_hosts) {
    vexlo::NameBatch batch;
    vexlo::ExtractedFields fields;
    std::vector<std::string> copies;
    std::size_t sink = 0;
    for (std::int64_t block = 0; block < names.size(); block += kBlock) {
        const std::int64_t block_end = std::min(block + kBlock, names.size());
        if (steps == BatchSteps::kUtf8) {
            sink += vexlo::is_utf8(names.block(block, block_end));
            continue;
        }
        batch.clear();
        copies.clear();
        for (std::int64_t i = block; i < block_end; ++i) {
            std::string_view name = names.text(i);
            if (find_hosts) {
                const vexlo::host::FoundHost found = vexlo::host::find_host(name);
                if (found.kind() != vexlo::host::HostKind::domain) {
                    batch.add_null();
                    continue;
                }
                name = found.text();
                if (found.needs_copy()) {
                    std::string& copy = copies.emplace_back(name.size(), '\0');
                    copy.resize(vexlo::host::copy_host(name, copy.data()));
                    name = copy;
                }
            }
            batch.add(name);
        }
        if (steps == BatchSteps::kAdd) {
            sink += batch.size();
            continue;
        }
        if (steps == BatchSteps::kMatch) {
            batch.match(vexlo::compiled_tables(), vexlo::Switches{});
        } else {
            batch.explain(vexlo::compiled_tables(), true);
        }
        for (std::size_t k = 0; k < batch.size(); ++k) {
            if (batch[k].state != vexlo::NameBatch::State::kValid) continue;
            if (steps != BatchSteps::kFields) {
                sink += batch.view(k).public_length;
                continue;
            }
            vexlo::extract_fields(vexlo::compiled_tables(), {batch.view(k), batch.verdict(k)}, false, fields);
            sink += text_size(fields.texts[static_cast<std::size_t>(ExtractField::kPrivateSuffix)]);
        }
    }
    return sink;
}

std::size_t answer(const vexlo::StringColumn& column, vexlo::Question question,
                   std::optional<ExtractField> only = std::nullopt) {
    vexlo::ColumnRequest request{question};
    if (only) {
        request.fields.order[0] = *only;
        request.fields.count = 1;
    }
    const vexlo::ResultColumn result = vexlo::answer_column(column, request, vexlo::compiled_tables());
    return static_cast<std::size_t>(result.null_count);
}

template <class PerText>
std::function<std::size_t()> each(const Texts& texts, PerText per_text) {
    return [&texts, per_text] {
        std::size_t sink = 0;
        for (const std::string_view text : texts) sink += per_text(text);
        return sink;
    };
}

std::vector<Row> make_rows(const Texts& urls, const Texts& hosts, const Column& url_column,
                           const Column& host_column, const vexlo::StringColumn& url_input,
                           const vexlo::StringColumn& host_input) {
    using vexlo::Question;
    std::vector<Row> rows;
    auto add = [&](std::string name, std::function<std::size_t()> pass) {
        rows.push_back({std::move(name), std::move(pass)});
    };
    add("empty loop", each(urls, [](std::string_view url) { return url.size(); }));
    // One text at a time.
    add("find_host(url)", each(urls, [](std::string_view url) { return vexlo::host::find_host(url).text().size(); }));
    add("find_host(url), long way", each(urls, [](std::string_view url) {
            return vexlo::host::detail::find_long(url).text().size();
        }));
    add("find_host(host)", each(hosts, [](std::string_view host) { return vexlo::host::find_host(host).text().size(); }));
    add("find_host(host), long way", each(hosts, [](std::string_view host) {
            return vexlo::host::detail::find_long(host).text().size();
        }));
    add("extract(url): host", each(urls, [](std::string_view url) { return extract_steps(url, false, false); }));
    add("extract(url): host, walk", each(urls, [](std::string_view url) { return extract_steps(url, true, false); }));
    add("extract(url): host, walk, fields",
        each(urls, [](std::string_view url) { return extract_steps(url, true, true); }));
    add("extract(url)", each(urls, extraction));
    add("extract(host)", each(hosts, extraction));
    add("privatesuffix(host)", each(hosts, privatesuffix_call));
    // Whole columns, and the steps of the column code before it writes.
    add("utf8 check: URL blocks", [&] { return batch_steps(url_column, BatchSteps::kUtf8, false); });
    add("utf8 check: host blocks", [&] { return batch_steps(host_column, BatchSteps::kUtf8, false); });
    add("hosts batch: add", [&] { return batch_steps(host_column, BatchSteps::kAdd, false); });
    add("hosts batch: add, match", [&] { return batch_steps(host_column, BatchSteps::kMatch, false); });
    add("hosts batch: add, explain", [&] { return batch_steps(host_column, BatchSteps::kExplain, false); });
    add("hosts batch: add, explain, fields",
        [&] { return batch_steps(host_column, BatchSteps::kFields, false); });
    add("urls batch: find_host, add", [&] { return batch_steps(url_column, BatchSteps::kAdd, true); });
    add("urls batch: find_host, add, match", [&] { return batch_steps(url_column, BatchSteps::kMatch, true); });
    add("columns.privatesuffix(hosts)", [&] { return answer(host_input, Question::kPrivateSuffix); });
    add("columns.host(urls)", [&] { return answer(url_input, Question::kHost); });
    add("columns.privatesuffix(columns.host(urls))", [&] {
        vexlo::ColumnRequest request{Question::kHost};
        const vexlo::ResultColumn found = vexlo::answer_column(url_input, request, vexlo::compiled_tables());
        return answer(as_input(found), Question::kPrivateSuffix);
    });
    for (std::size_t f = 0; f < vexlo::kExtractFieldCount; ++f) {
        const auto field = static_cast<ExtractField>(f);
        add("columns.extract(urls, fields=(" + std::string(vexlo::kExtractFieldNames[f]) + ",))",
            [&, field] { return answer(url_input, Question::kExtract, field); });
    }
    add("columns.extract(urls)", [&] { return answer(url_input, Question::kExtract); });
    return rows;
}

volatile std::size_t sink;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_url_steps URLS [--passes N] [--only NAME] [--names]\n");
        return 2;
    }
    int passes = 9;
    std::string only;
    bool names_only = false;
    for (int i = 2; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--names") {
            names_only = true;
        } else if (option == "--passes" && i + 1 < argc) {
            passes = std::max(1, std::atoi(argv[++i]));
        } else if (option == "--only" && i + 1 < argc) {
            only = argv[++i];
        }
    }
    const std::vector<std::string> url_texts = vexlo::bench::read_corpus(argv[1], "bench_url_steps");
    std::vector<std::string> host_texts;
    for (const std::string& url : url_texts) {
        const vexlo::host::FoundHost found = vexlo::host::find_host(url);
        std::string host(found.text().size(), '\0');
        host.resize(vexlo::host::copy_host(found.text(), host.data()));
        host_texts.push_back(std::move(host));
    }
    const Column url_column(url_texts), host_column(host_texts);
    const vexlo::StringColumn url_input = url_column.imported(), host_input = host_column.imported();
    const Texts urls(url_texts.begin(), url_texts.end()), hosts(host_texts.begin(), host_texts.end());
    std::vector<Row> rows = make_rows(urls, hosts, url_column, host_column, url_input, host_input);
    if (names_only) {
        for (const Row& row : rows) std::printf("%s\n", row.name.c_str());
        return 0;
    }
    if (!only.empty()) {
        const auto row = std::find_if(rows.begin(), rows.end(), [&](const Row& r) { return r.name == only; });
        if (row == rows.end()) {
            std::fprintf(stderr, "bench_url_steps: no row named %s\n", only.c_str());
            return 2;
        }
        for (int pass = 0; pass < passes; ++pass) sink = sink + row->pass();
        return 0;
    }
    std::vector<std::size_t> order(rows.size());
    for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
    std::mt19937 shuffle_seed(6);
    for (Row& row : rows) sink = sink + row.pass();  // faults the tables and the code in
    for (int round = 0; round < passes; ++round) {
        std::shuffle(order.begin(), order.end(), shuffle_seed);
        for (const std::size_t k : order) {
            const auto start = std::chrono::steady_clock::now();
            sink = sink + rows[k].pass();
            const std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - start;
            rows[k].ns_per_url.push_back(took.count() / static_cast<double>(urls.size()));
        }
    }
    std::printf("%zu URLs, median of %d rounds (ns per URL, wall time, one thread)\n", urls.size(), passes);
    for (const Row& row : rows) std::printf("  %-48s %8.1f\n", row.name.c_str(), median(row.ns_per_url));
    return 0;
}
