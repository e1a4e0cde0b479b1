#include "duckdb/answer_chunk.h"

#include <array>
#include <cstdio>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "common/fault.h"
#include "duckdb/vectors.h"
#include "extract/text_extraction.h"
#include "normalize/owned_text.h"
#include "normalize/utf8_check.h"
#include "query/answers.h"
#include "query/extract.h"
#include "query/name_batch.h"
#include "rules/compiled_tables.h"

namespace vexlo::duckdb {
namespace {

// Names normalised and walked together, as a column's are: enough to keep
// the walk's lanes busy, few enough that the arena stays in the first-level
// cache. DuckDB's chunks hold 2048 rows.
constexpr idx_t kBlock = 256;

// A failure of the query, with the message DuckDB reports.
class QueryError : public std::exception {
public:
    explicit QueryError(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// What a row is answered with besides its name.
struct RowSettings {
    const RuleTables* tables = &compiled_tables();
    Switches switches;
    bool keep_case = false;
    bool keep_ip = false;

    bool same_as(const RowSettings& other) const noexcept {
        return tables == other.tables && switches.accept_unknown == other.switches.accept_unknown &&
               switches.icann_only == other.switches.icann_only && keep_case == other.keep_case &&
               keep_ip == other.keep_ip;
    }
};

// A text quoted in a message: at most 64 bytes of it, cut before a
// character.
std::string quoted(std::string_view text) {
    constexpr std::size_t kShown = 64;
    if (text.size() <= kShown) return "'" + std::string(text) + "'";
    std::size_t cut = kShown;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return "'" + std::string(text.substr(0, cut)) + "...'";
}

// The arguments of one call, read row by row.
class Call {
public:
    Call(const FunctionInfo& info, duckdb_data_chunk input)
        : form_(*info.form),
          lists_(*info.lists),
          rows_(duckdb_data_chunk_get_size(input)),
          defaults_(form_.accept_unknown == kAbsent && form_.keep_ip == kAbsent &&
                    form_.rules == kAbsent) {
        for (std::int8_t k = 0; k < form_.argument_count; ++k) {
            arguments_[static_cast<std::size_t>(k)] =
                Argument(duckdb_data_chunk_get_vector(input, static_cast<idx_t>(k)));
        }
    }

    const Form& form() const noexcept { return form_; }
    idx_t rows() const noexcept { return rows_; }
    std::string_view name(idx_t row) const noexcept { return arguments_[0].text(row); }
    // Checked by settings(): not negative.
    std::uint64_t depth(idx_t row) const noexcept {
        return static_cast<std::uint64_t>(argument(form_.depth).integer(row));
    }

    // The settings of `row`; false when one of its arguments is NULL.
    [[gnu::always_inline]] bool settings(idx_t row, RowSettings& settings) {
        for (std::int8_t k = 0; k < form_.argument_count; ++k) {
            if (!arguments_[static_cast<std::size_t>(k)].valid(row)) return false;
        }
        if (form_.depth != kAbsent && argument(form_.depth).integer(row) < 0) [[unlikely]] {
            negative_depth(row);
        }
        if (defaults_) {
            settings = RowSettings{};
            return true;
        }
        return read_settings(row, settings);
    }

private:
    [[noreturn, gnu::cold]] void negative_depth(idx_t row) const {
        throw QueryError(std::string(form_.name) + "(): depth must be 0 or more, not " +
                         std::to_string(argument(form_.depth).integer(row)));
    }

    bool read_settings(idx_t row, RowSettings& settings) {
        settings.tables = form_.rules == kAbsent ? &compiled_tables() : tables(row);
        settings.switches.accept_unknown = flag(form_.accept_unknown, row, true);
        settings.switches.icann_only = flag(form_.icann_only, row, false);
        settings.keep_case = flag(form_.keep_case, row, false);
        settings.keep_ip = flag(form_.keep_ip, row, false);
        return true;
    }

    const Argument& argument(std::int8_t at) const noexcept {
        return arguments_[static_cast<std::size_t>(at)];
    }
    bool flag(std::int8_t at, idx_t row, bool absent) const noexcept {
        return at == kAbsent ? absent : argument(at).truth(row);
    }

    // The tables of the list that `rules` names in `row`. Rows of a call
    // nearly always name the same one.
    const RuleTables* tables(idx_t row) {
        const std::string_view checksum = argument(form_.rules).text(row);
        if (resolved_ != nullptr && checksum == resolved_checksum_) return resolved_;
        const RuleTables* found = lists_.find(checksum);
        if (found == nullptr) {
            throw QueryError(std::string(form_.name) + "(): no list of checksum " + quoted(checksum) +
                             " is loaded: psl_load_rules(path) loads one, psl_list_checksum() "
                             "names the compiled one");
        }
        resolved_checksum_.assign(checksum);
        resolved_ = found;
        return found;
    }

    const Form& form_;
    const LoadedLists& lists_;
    idx_t rows_;
    // The form takes no switch and no list: every row has the defaults.
    bool defaults_;
    std::array<Argument, 8> arguments_;
    std::string resolved_checksum_;
    const RuleTables* resolved_ = nullptr;
};

// Each of DuckDB's threads keeps a batch from call to call, its memory grown
// to what the calls have needed. Out of line: a thread-local of a loaded
// library is found by a call into the loader.
[[gnu::noinline]] NameBatch& thread_batch() {
    thread_local NameBatch batch;
    return batch;
}

// The same for the long texts of the answers, one for each result vector
// that a call writes at once (extract's fields).
[[gnu::noinline]] LongTexts& thread_long_texts(std::size_t which = 0) {
    thread_local std::array<LongTexts, kExtractFieldCount> texts;
    return texts[which];
}

// How a block's names are matched: in the view the switches choose, for the
// six questions; in both, with the rule that decided, for extract.
enum class Walk { kMatch, kExplain };

// Answers the rows a block at a time: `add(row, settings, batch)` adds each
// row's name (or a null) to the batch, the block's names are matched
// together under the settings they share (a block ends early where the
// settings change, which rows of one call seldom do), then the block goes
// to `write(first_row, batch, settings)`. A row with a NULL argument is a
// null of the batch.
template <Walk W, class Add, class Write>
void answer_blocks(Call& call, Add&& add, Write&& write) {
    NameBatch& batch = thread_batch();
    idx_t row = 0;
    while (row < call.rows()) {
        const idx_t first = row;
        batch.clear();
        RowSettings shared;
        bool any = false;
        for (; row < call.rows() && row - first < kBlock; ++row) {
            RowSettings settings;
            if (!call.settings(row, settings)) {
                batch.add_null();
                continue;
            }
            if (!any) {
                shared = settings;
                any = true;
            } else if (!settings.same_as(shared)) {
                break;
            }
            add(row, settings, batch);
        }
        if (any) {
            if constexpr (W == Walk::kMatch) {
                batch.match(*shared.tables, shared.switches);
            } else {
                batch.explain(*shared.tables, shared.switches.accept_unknown);
            }
        }
        write(first, batch, shared);
    }
}

// The same, each row's name being its first argument.
template <class Write>
void answer_names(Call& call, Write&& write) {
    answer_blocks<Walk::kMatch>(
        call, [&](idx_t row, const RowSettings&, NameBatch& batch) { batch.add(call.name(row)); },
        write);
}

template <Question Q>
void answer_texts(Call& call, duckdb_vector output) {
    TextResult result(output, thread_long_texts());
    answer_names(call, [&](idx_t first, const NameBatch& batch, const RowSettings& settings) {
        for (std::size_t k = 0; k < batch.size(); ++k) {
            const idx_t row = first + k;
            std::optional<std::string_view> answer;
            if (batch[k].state == NameBatch::State::kValid) {
                answer = text_answer(Q, batch.view(k), settings.keep_case,
                                     Q == Question::kSubdomain ? call.depth(row) : 0);
            }
            if (answer) {
                result.put(row, *answer);
            } else {
                result.put_null(row);
            }
        }
    });
    result.finish();
}

template <Question Q>
void answer_truths(Call& call, duckdb_vector output) {
    TruthResult result(output);
    answer_names(call, [&](idx_t first, const NameBatch& batch, const RowSettings&) {
        for (std::size_t k = 0; k < batch.size(); ++k) {
            const idx_t row = first + k;
            switch (batch[k].state) {
                case NameBatch::State::kNull:
                    result.put_null(row);
                    break;
                case NameBatch::State::kInvalid:
                    result.put(row, false);
                    break;
                case NameBatch::State::kValid: {
                    const MatchView match = batch.view(k);
                    result.put(row, Q == Question::kIsPublic ? is_public(match) : is_private(match));
                    break;
                }
            }
        }
    });
}

void answer_parts(Call& call, duckdb_vector output) {
    auto* const lists = static_cast<duckdb_list_entry*>(duckdb_vector_get_data(output));
    const duckdb_vector items = duckdb_list_vector_get_child(output);
    ResultValidity validity(output);
    idx_t item_count = duckdb_list_vector_get_size(output);
    std::array<std::optional<PrivateParts>, kBlock> parts;
    LongTexts& long_texts = thread_long_texts();
    answer_names(call, [&](idx_t first, const NameBatch& batch, const RowSettings& settings) {
        // Room for the block's items first: growing the items may move them.
        idx_t wanted = 0;
        for (std::size_t k = 0; k < batch.size(); ++k) {
            parts[k].reset();
            if (batch[k].state == NameBatch::State::kValid) {
                parts[k] = privateparts(batch.view(k), settings.keep_case);
                if (parts[k]) wanted += parts[k]->subdomain_count + 1;
            }
        }
        if (duckdb_list_vector_reserve(output, item_count + wanted) != DuckDBSuccess) {
            throw std::bad_alloc();
        }
        TextResult item(items, long_texts);
        for (std::size_t k = 0; k < batch.size(); ++k) {
            const idx_t row = first + k;
            lists[row].offset = item_count;
            if (!parts[k]) {
                lists[row].length = 0;
                validity.set_null(row);
                continue;
            }
            each_private_part(*parts[k], [&](std::string_view part) { item.put(item_count++, part); });
            lists[row].length = item_count - lists[row].offset;
        }
        item.finish();
        duckdb_list_vector_set_size(output, item_count);
    });
}

// The host of each text, as written: a slice of the text itself, which
// needs no batch.
void answer_hosts(Call& call, duckdb_vector output) {
    TextResult result(output, thread_long_texts());
    std::string copy;
    for (idx_t row = 0; row < call.rows(); ++row) {
        RowSettings settings;
        if (!call.settings(row, settings)) {
            result.put_null(row);
            continue;
        }
        const std::string_view text = call.name(row);
        // A text that is not UTF-8 has no host, as it is no name for the
        // questions.
        const std::optional<ExtractHost> host = extract_host(text, settings.keep_ip, copy);
        if (host && is_utf8(text)) {
            result.put(row, host->text);
        } else {
            result.put_null(row);
        }
    }
    result.finish();
}

// The extract record of each text: its host found, the names among the
// hosts matched a block at a time in both views, each field cut as
// vexlo.extract cuts it.
void answer_extracts(Call& call, duckdb_vector output) {
    ResultValidity records(output);
    std::optional<TextResult> fields[kExtractFieldCount];
    for (std::size_t i = 0; i < kExtractFieldCount; ++i) {
        fields[i].emplace(duckdb_struct_vector_get_child(output, i), thread_long_texts(i));
    }
    // Each row's host, when it has one; copies of hosts that held TAB, LF
    // or CR.
    std::array<std::optional<ExtractHost>, kBlock> hosts;
    std::array<std::string, kBlock> copies;
    std::array<bool, kBlock> null_rows;
    std::string rule;
    OwnedText lowered;
    const auto add = [&](idx_t row, const RowSettings& settings, NameBatch& batch) {
        const std::size_t k = batch.size();
        const std::string_view text = call.name(row);
        null_rows[k] = false;
        hosts[k] = is_utf8(text) ? extract_host(text, settings.keep_ip, copies[k]) : std::nullopt;
        if (hosts[k] && hosts[k]->domain) {
            batch.add(hosts[k]->text);
        } else {
            batch.add_null();
        }
    };
    const auto write = [&](idx_t first, const NameBatch& batch, const RowSettings& settings) {
        for (std::size_t k = 0; k < batch.size(); ++k) {
            const idx_t row = first + k;
            ExtractedFields found;
            if (batch[k].state == NameBatch::State::kValid) {
                extract_fields(*settings.tables, {batch.view(k), batch.verdict(k)}, settings.keep_case,
                               found);
                if (found.rule) {
                    rule.resize(found.rule->size());
                    found.rule->write(rule.data());
                    found.texts[static_cast<std::size_t>(ExtractField::kRule)] = rule;
                }
            } else if (batch[k].state == NameBatch::State::kNull && null_rows[k]) {
                records.set_null(row);
            } else if (hosts[k]) {
                // An IP literal, or an invalid name: the host alone.
                found.texts[static_cast<std::size_t>(ExtractField::kHost)] =
                    bare_host(*hosts[k], settings.keep_case, lowered);
            }
            for (std::size_t i = 0; i < kExtractFieldCount; ++i) {
                if (found.texts[i]) {
                    fields[i]->put(row, *found.texts[i]);
                } else {
                    fields[i]->put_null(row);
                }
            }
        }
        null_rows.fill(true);
    };
    null_rows.fill(true);
    answer_blocks<Walk::kExplain>(call, add, write);
    for (std::optional<TextResult>& field : fields) field->finish();
}

void answer(Call& call, duckdb_vector output) {
    if (call.form().extract) return answer_extracts(call, output);
    switch (call.form().question) {
        case Question::kPublicSuffix: return answer_texts<Question::kPublicSuffix>(call, output);
        case Question::kPrivateSuffix: return answer_texts<Question::kPrivateSuffix>(call, output);
        case Question::kSubdomain: return answer_texts<Question::kSubdomain>(call, output);
        case Question::kIsPublic: return answer_truths<Question::kIsPublic>(call, output);
        case Question::kIsPrivate: return answer_truths<Question::kIsPrivate>(call, output);
        case Question::kPrivateParts: return answer_parts(call, output);
        case Question::kHost: return answer_hosts(call, output);
    }
}

// Reports a failure without allocating: the message may be about memory.
void report(duckdb_function_info info, const char* function, const char* what) {
    char message[512];
    std::snprintf(message, sizeof message, "%s(): %s", function, what);
    duckdb_scalar_function_set_error(info, message);
}

}  // namespace

void answer_chunk(duckdb_function_info info, duckdb_data_chunk input, duckdb_vector output) {
    const auto& function = *static_cast<const FunctionInfo*>(duckdb_scalar_function_get_extra_info(info));
    try {
        Call call(function, input);
        answer(call, output);
    } catch (const QueryError& error) {
        duckdb_scalar_function_set_error(info, error.what());
    } catch (const std::bad_alloc&) {
        report(info, function.form->name, "out of memory");
    } catch (const Fault& fault) {
        report(info, function.form->name, fault.what());
    } catch (const std::exception& error) {
        report(info, function.form->name, error.what());
    } catch (...) {
        report(info, function.form->name, "an unknown internal failure");
    }
}

}  // namespace vexlo::duckdb
