#include "columns/answer_arrow.h"

#include <cerrno>
#include <cstring>
#include <variant>

#include "columns/answer_column.h"
#include "columns/answer_dictionary.h"
#include "columns/arrow_import.h"

namespace vexlo {
namespace {

// The error of a stream's callback that returned `code`.
[[noreturn]] void stream_failed(ArrowArrayStream& stream, int code, const char* during) {
    const char* message = stream.get_last_error != nullptr ? stream.get_last_error(&stream) : nullptr;
    std::string text = std::string("the Arrow stream failed ") + during + ": ";
    text += message != nullptr ? message : std::strerror(code);
    throw ColumnError{code == ENOMEM ? ColumnError::Kind::kStreamMemory : ColumnError::Kind::kStream,
                      std::move(text)};
}

// The schema and every array of the stream.
void read_stream(ArrowColumn& column) {
    ArrowArrayStream& stream = *column.stream;
    if (const int code = stream.get_schema(&stream, column.schema.get()); code != 0) {
        column.schema->release = nullptr;  // a failed call leaves nothing to release
        stream_failed(stream, code, "to describe itself");
    }
    while (true) {
        OwnedArray chunk;
        if (const int code = stream.get_next(&stream, chunk.get()); code != 0) {
            chunk->release = nullptr;
            stream_failed(stream, code, "to give its next array");
        }
        if (chunk.empty()) break;  // the end
        column.arrays.push_back(std::move(chunk));
    }
}

[[noreturn]] void refuse(const ImportProblem& problem) {
    throw ColumnError{problem.is_type_error ? ColumnError::Kind::kType : ColumnError::Kind::kValue,
                      problem.message};
}

}  // namespace

ArrowAnswers answer_arrow(ArrowColumn& column, ColumnRequest request, const RuleTables& tables) {
    if (!column.stream.empty()) read_stream(column);
    const std::variant<NameColumn, ImportProblem> described = name_column(*column.schema);
    if (const auto* problem = std::get_if<ImportProblem>(&described)) refuse(*problem);
    const NameColumn& names = std::get<NameColumn>(described);

    // Every array is checked before any is answered, and asks its names (or
    // its dictionary's) of the whole column's threads and type.
    std::vector<ColumnImport> imported;
    std::int64_t asked = 0;
    request.wide_offsets = names.large();
    for (std::size_t i = 0; i < column.arrays.size(); ++i) {
        const std::span<const std::int64_t> sizes =
            i < column.sizes.size() ? std::span<const std::int64_t>(column.sizes[i]) : std::span<const std::int64_t>();
        imported.push_back(import_names(names, *column.arrays[i], sizes));
        if (const auto* problem = std::get_if<ImportProblem>(&imported.back())) refuse(*problem);
        const StringColumn& strings = std::holds_alternative<StringColumn>(imported.back())
                                          ? std::get<StringColumn>(imported.back())
                                          : std::get<DictionaryColumn>(imported.back()).values();
        asked += strings.size();
        widen_for(strings, tables, request);
    }
    if (request.threads == 0) request.threads = default_thread_count(asked);

    ArrowAnswers answers;
    if (!names.dictionary) {
        for (std::size_t i = 0; i < column.arrays.size(); ++i) {
            answers.chunks.push_back(answer_column(std::get<StringColumn>(imported[i]), request, tables));
        }
    } else {
        // Each entry of every dictionary is answered before any row is, so
        // that every chunk's rows can be given one type.
        std::vector<ResultColumn> entries;
        for (const ColumnImport& chunk : imported) {
            entries.push_back(answer_column(std::get<DictionaryColumn>(chunk).values(), request, tables));
        }
        for (std::size_t i = 0; i < entries.size(); ++i) {
            widen_for_rows(std::get<DictionaryColumn>(imported[i]), entries[i], request);
        }
        for (std::size_t i = 0; i < entries.size(); ++i) {
            answers.chunks.push_back(
                spread_answers(std::get<DictionaryColumn>(imported[i]), entries[i], request));
            entries[i] = ResultColumn();
        }
    }
    answers.type = answer_type(request, names.dictionary);
    return answers;
}

}  // namespace vexlo
