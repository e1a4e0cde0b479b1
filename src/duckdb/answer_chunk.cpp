#include "duckdb/answer_chunk.h"

#include <array>
#include <cstdio>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

#include "duckdb/vectors.h"
#include "extract/extract_batch.h"
#include "extract/text_host.h"
#include "list_file/message_text.h"
#include "normalize/utf8_check.h"
#include "query/answers.h"
#include "extract/fields.h"
#include "query/answer_blocks.h"
#include "query/name_batch.h"
#include "rules/compiled_tables.h"

namespace vexlo::duckdb {
namespace {

// What a row is answered with besides its name.
struct RowSettings {
    const RuleTables* tables = &compiled_tables();
    Switches switches;
    bool keep_case = false;
    bool keep_ip = false;

    // Not a defaulted ==: this compares the four flags as one word.
    bool same_as(const RowSettings& other) const noexcept {
        return tables == other.tables && switches.accept_unknown == other.switches.accept_unknown &&
               switches.icann_only == other.switches.icann_only && keep_case == other.keep_case &&
               keep_ip == other.keep_ip;
    }
};

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
        settings.tables = form_.rules == kAbsent ? &compiled_tables() : tables(row);
        settings.switches.accept_unknown = flag(form_.accept_unknown, row, true);
        settings.switches.icann_only = flag(form_.icann_only, row, false);
        settings.keep_case = flag(form_.keep_case, row, false);
        settings.keep_ip = flag(form_.keep_ip, row, false);
        return true;
    }

private:
    // The messages do not name the function: answer_chunk adds it.
    [[noreturn, gnu::cold]] void negative_depth(idx_t row) const {
        throw std::invalid_argument("depth must be 0 or more, not " +
                                    std::to_string(argument(form_.depth).integer(row)));
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
            // At most 64 characters of the checksum, escaped as the list's
            // texts are: the message must be UTF-8 whatever its bytes.
            throw std::invalid_argument("no list of checksum " + list_file::quoted(checksum, 64) +
                                        " is loaded: psl_load_rules(path) loads one, "
                                        "psl_list_checksum() names the compiled one");
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

// The rows of a call are answered a block at a time, as a column's names
// are (DuckDB's chunks hold 2048 rows): up to kNameBlock rows that share
// their settings (a block ends early where the settings change, which rows
// of one call seldom do), their names matched together.
struct Block {
    idx_t first = 0;
    idx_t end = 0;
    RowSettings settings;  // of its rows without a NULL argument
    std::array<bool, kNameBlock> null;  // a row with a NULL argument
};

// The block that starts at `block.first`.
void find_block(Call& call, Block& block) {
    bool any = false;
    idx_t row = block.first;
    for (; row < call.rows() && row - block.first < kNameBlock; ++row) {
        RowSettings settings;
        const bool null = !call.settings(row, settings);
        if (!null) {
            if (!any) {
                block.settings = settings;
                any = true;
            } else if (!settings.same_as(block.settings)) {
                break;
            }
        }
        block.null[row - block.first] = null;
    }
    block.end = row;
}

// Answers each block's names, its rows' first arguments (a row with a NULL
// argument is a null of the batch), and hands it to `write(first_row, batch,
// settings)`.
template <class Write>
void answer_names(Call& call, Write&& write) {
    Block block;
    answer_blocks(
        thread_batch(),
        [&](NameBatch& batch) -> std::optional<BlockMatch> {
            if (block.end == call.rows()) return std::nullopt;
            block.first = block.end;
            find_block(call, block);
            for (idx_t row = block.first; row < block.end; ++row) {
                if (block.null[row - block.first]) {
                    batch.add_null();
                } else {
                    batch.add(call.name(row));
                }
            }
            return BlockMatch{block.settings.tables, block.settings.switches};
        },
        [&](const NameBatch& batch) { write(block.first, batch, block.settings); });
}

// The writer of a block's answers into a result vector, from its first row.
template <class Result>
struct BlockRows {
    Result& result;
    idx_t first;
    void none(std::size_t k) { result.put_null(first + k); }
    void text(std::size_t k, std::string_view text) { result.put(first + k, text); }
    void truth(std::size_t k, bool value) { result.put(first + k, value); }
};

// The labels of a block's rows, gathered: room is made for all of them
// before any is written, as growing the items may move them.
struct PartRows {
    std::array<std::optional<PrivateParts>, kNameBlock>& found;
    void none(std::size_t k) { found[k].reset(); }
    void parts(std::size_t k, const PrivateParts& parts) { found[k] = parts; }
};

// A text (TextResult) or a truth (TruthResult) for each row.
template <Question Q, class Result>
void answer_rows(Call& call, Result&& result) {
    answer_names(call, [&](idx_t first, const NameBatch& batch, const RowSettings& settings) {
        BlockRows<std::remove_reference_t<Result>> rows{result, first};
        write_answers<Q>(
            batch, settings.keep_case,
            [&](std::size_t k) { return Q == Question::kSubdomain ? call.depth(first + k) : 0; }, rows);
    });
    result.finish();
}

void answer_parts(Call& call, duckdb_vector output) {
    auto* const lists = static_cast<duckdb_list_entry*>(duckdb_vector_get_data(output));
    const duckdb_vector items = duckdb_list_vector_get_child(output);
    ResultValidity validity(output);
    idx_t item_count = duckdb_list_vector_get_size(output);
    std::array<std::optional<PrivateParts>, kNameBlock> parts;
    LongTexts& long_texts = thread_long_texts();
    answer_names(call, [&](idx_t first, const NameBatch& batch, const RowSettings& settings) {
        PartRows rows{parts};
        write_answers<Question::kPrivateParts>(batch, settings.keep_case,
                                               [](std::size_t) { return 0; }, rows);
        idx_t wanted = 0;
        for (std::size_t k = 0; k < batch.size(); ++k) {
            if (parts[k]) wanted += parts[k]->subdomain_count + 1;
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
        TextHost host{TextHost::Kind::kNone, {}};
        // A text that is not UTF-8 has no host, as it is no name for the
        // questions.
        if (call.settings(row, settings) && is_utf8(call.name(row))) {
            host = host_of_text(call.name(row), settings.keep_ip, copy);
        }
        if (host.kind != TextHost::Kind::kNone) {
            result.put(row, host.host);
        } else {
            result.put_null(row);
        }
    }
    result.finish();
}

// Each of DuckDB's threads keeps an extract batch from call to call, made
// again only when the switches change.
[[gnu::noinline]] ExtractBatch& extract_batch(const RowSettings& settings) {
    thread_local std::optional<ExtractBatch> batch;
    thread_local ExtractOptions made_with;
    const ExtractOptions options{settings.keep_ip, settings.switches.accept_unknown,
                                 settings.keep_case};
    if (!batch || options != made_with) {
        made_with = options;
        batch.emplace(options, every_extract_field());
    }
    return *batch;
}

// The extract record of each text, from the extract batch of each block.
void answer_extracts(Call& call, duckdb_vector output) {
    ResultValidity records(output);
    std::optional<TextResult> fields[kExtractFieldCount];
    for (std::size_t i = 0; i < kExtractFieldCount; ++i) {
        fields[i].emplace(duckdb_struct_vector_get_child(output, i), thread_long_texts(i));
    }
    std::string rule;
    Block block;
    for (block.first = 0; block.first < call.rows(); block.first = block.end) {
        find_block(call, block);
        ExtractBatch& batch = extract_batch(block.settings);
        batch.clear();
        for (idx_t row = block.first; row < block.end; ++row) {
            const std::string_view text = call.name(row);
            if (block.null[row - block.first]) {
                batch.add_null();
            } else if (!is_utf8(text)) {
                batch.add_no_host();
            } else {
                batch.add(text);
            }
        }
        batch.match(*block.settings.tables);
        for (std::size_t k = 0; k < batch.size(); ++k) {
            const idx_t row = block.first + k;
            if (batch.is_null(k)) {
                records.set_null(row);
                for (std::optional<TextResult>& field : fields) field->put_null(row);
                continue;
            }
            for (std::size_t i = 0; i < kExtractFieldCount; ++i) {
                const auto field = static_cast<ExtractField>(i);
                std::optional<std::string_view> text;
                if (field != ExtractField::kRule) {
                    text = batch.text(k, field);
                } else if (const std::optional<RuleText> decided = batch.rule(k)) {
                    text = decided->spelled(rule);
                }
                if (text) {
                    fields[i]->put(row, *text);
                } else {
                    fields[i]->put_null(row);
                }
            }
        }
    }
    for (std::optional<TextResult>& field : fields) field->finish();
}

void answer(Call& call, duckdb_vector output) {
    using enum Question;
    switch (call.form().question) {
        case kExtract: return answer_extracts(call, output);
        case kPublicSuffix:
            return answer_rows<kPublicSuffix>(call, TextResult(output, thread_long_texts()));
        case kPrivateSuffix:
            return answer_rows<kPrivateSuffix>(call, TextResult(output, thread_long_texts()));
        case kSubdomain: return answer_rows<kSubdomain>(call, TextResult(output, thread_long_texts()));
        case kIsPublic: return answer_rows<kIsPublic>(call, TruthResult(output));
        case kIsPrivate: return answer_rows<kIsPrivate>(call, TruthResult(output));
        case kPrivateParts: return answer_parts(call, output);
        case kHost: return answer_hosts(call, output);
    }
}

// Reports a failure without allocating: the message may be about memory.
void report(duckdb_function_info info, const char* function, const char* what) {
    char message[1024];  // room for a quoted checksum of 64 escaped characters
    std::snprintf(message, sizeof message, "%s(): %s", function, what);
    duckdb_scalar_function_set_error(info, message);
}

}  // namespace

void answer_chunk(duckdb_function_info info, duckdb_data_chunk input, duckdb_vector output) {
    const auto& function = *static_cast<const FunctionInfo*>(duckdb_scalar_function_get_extra_info(info));
    try {
        Call call(function, input);
        answer(call, output);
    } catch (const std::bad_alloc&) {
        report(info, function.form->name, "out of memory");
    } catch (const std::exception& error) {
        report(info, function.form->name, error.what());
    } catch (...) {
        report(info, function.form->name, "an unknown internal failure");
    }
}

}  // namespace vexlo::duckdb
