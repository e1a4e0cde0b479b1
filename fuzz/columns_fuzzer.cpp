// Random Arrow string arrays, plain or as the dictionary of a
// dictionary-encoded array with random indices of any integer type, into
// import_column: descriptions that disagree with their buffers, and indices
// outside the dictionary, must be refused without reading outside them, and
// every array that is accepted is answered, element by element (row by row),
// exactly as the scalar path answers (bytes that are not UTF-8 are an invalid
// name), whose lengths are the reference walk's; the host of every element
// exactly as the host finder finds it; and every element's extract record
// (each field, the dictionary-encoded ones too) exactly as the single call's.
//
// The fuzzer plays two producers: one that tells its buffer sizes (pyarrow),
// with any description at all, and one that does not, whose buffers are large
// enough for what its description claims (nothing else can be checked then).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "columns/answer_column.h"
#include "columns/answer_dictionary.h"
#include "columns/arrow_import.h"
#include "extract/text_extraction.h"
#include "host/find_host.h"
#include "normalize/utf8_check.h"
#include "query/answers.h"
#include "query/match.h"
#include "reference_walk.h"
#include "rules/compiled_tables.h"

namespace {

using namespace vexlo;

// Takes values from the front of the fuzzer's input; zeros once it is used up.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint64_t take(unsigned bytes) {
        std::uint64_t value = 0;
        for (unsigned i = 0; i < bytes; ++i) value = (value << 8) | (at_ < size_ ? data_[at_++] : 0);
        return value;
    }
    std::int64_t small(std::int64_t limit) { return static_cast<std::int64_t>(take(2) % (limit + 1)); }
    bool flag() { return take(1) & 1; }
    std::string bytes(std::size_t count) {
        std::string text;
        while (text.size() < count && at_ < size_) text += static_cast<char>(data_[at_++]);
        return text;
    }
    std::string rest() { return bytes(size_ - at_); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

[[noreturn]] void fail(const char* what, std::int64_t element) {
    std::fprintf(stderr, "column answer differs from the scalar one: %s at element %lld\n", what,
                 static_cast<long long>(element));
    std::abort();
}

// The text answer of element i, read through a dictionary-encoded result's
// index.
std::string_view text_of(const ResultColumn& result, std::int64_t i) {
    if (result.type.kind != ResultType::Kind::kDictionary) return result.text(i);
    if (result.index(i) < 0 || result.index(i) >= result.dictionary->length) fail("index", i);
    return result.dictionary->text(result.index(i));
}

void check_host(const ResultColumn& result, std::int64_t i, bool null, std::string_view text,
                const ColumnRequest& r) {
    const host::FoundHost found = null ? host::FoundHost{} : host::find_host(text);
    if (null || !host::is_answer(found, r.keep_ip) || !is_utf8(text)) {
        if (!result.is_null(i)) fail("host: expected null", i);
        return;
    }
    if (result.is_null(i)) fail("host: unexpected null", i);
    std::string expected(found.text().size(), '\0');
    expected.resize(host::copy_host(found.text(), expected.data()));
    if (text_of(result, i) != expected) fail("host", i);
}

void check_record(const ResultColumn& result, std::int64_t i, bool null, std::string_view text,
                  const ColumnRequest& r) {
    if (result.type.kind != ResultType::Kind::kStruct) fail("record: not a struct", i);
    if (result.is_null(i) != null) fail("record: null", i);
    std::optional<TextExtraction> record;
    if (!null && is_utf8(text)) {
        record.emplace(text, compiled_tables(), ExtractOptions{r.keep_ip, r.accept_unknown, r.keep_case});
    }
    const std::span<const ExtractField> fields = r.fields.chosen();
    if (result.children.size() != fields.size()) fail("record: fields", i);
    for (std::size_t c = 0; c < fields.size(); ++c) {
        const ResultColumn& field = result.children[c];
        const std::optional<std::string_view> expected =
            record ? record->field(fields[c]) : std::optional<std::string_view>();
        if (expected.has_value() == field.is_null(i)) fail("record: field null", i);
        if (expected && text_of(field, i) != *expected) fail("record: field", i);
    }
}

void check_element(const ResultColumn& result, std::int64_t i, bool null, std::string_view text,
                   const ColumnRequest& r) {
    if (r.question == Question::kHost) return check_host(result, i, null, text, r);
    if (r.question == Question::kExtract) return check_record(result, i, null, text, r);
    const bool predicate = r.question == Question::kIsPublic || r.question == Question::kIsPrivate;
    const Switches switches{r.accept_unknown, r.icann_only};
    std::optional<Match> matched;
    if (!null && is_utf8(text)) matched = match_domain(text, compiled_tables(), switches);
    if (matched) {
        const std::string_view lowered = matched->domain.lowered.view();
        if (matched->public_length != testing::reference_length(compiled_rules(), lowered, switches)) {
            fail("the scalar length is not the reference walk's", i);
        }
    }
    const std::optional<MatchView> match = matched ? std::optional(matched->view()) : std::nullopt;
    if (null || (!match && !predicate)) {
        if (!result.is_null(i)) fail("expected null", i);
        return;
    }
    if (predicate) {
        if (result.is_null(i)) fail("unexpected null", i);
        const bool truth =
            match && (r.question == Question::kIsPublic ? is_public(*match) : is_private(*match));
        if (result.truth(i) != truth) fail("truth", i);
        return;
    }
    std::optional<std::string_view> expected;
    switch (r.question) {
        case Question::kPublicSuffix: expected = publicsuffix(*match, r.keep_case); break;
        case Question::kPrivateSuffix: expected = privatesuffix(*match, r.keep_case); break;
        case Question::kSubdomain: expected = subdomain(*match, r.depth, r.keep_case); break;
        case Question::kPrivateParts: {
            const auto parts = privateparts(*match, r.keep_case);
            if (!parts) {
                if (!result.is_null(i)) fail("parts: expected null", i);
                return;
            }
            if (result.is_null(i)) fail("parts: unexpected null", i);
            const PartsView got = result.parts(i);
            if (got.size() != parts->subdomain_count + 1) fail("parts: count", i);
            std::string joined;
            for (std::size_t j = 0; j + 1 < got.size(); ++j) {
                joined += got[j];
                if (j + 2 < got.size()) joined += '.';
            }
            if (joined != parts->subdomains) fail("parts: subdomains", i);
            if (got[got.size() - 1] != parts->private_suffix) fail("parts: suffix", i);
            return;
        }
        default: break;
    }
    if (expected.has_value() == result.is_null(i)) fail("text: null", i);
    if (expected && text_of(result, i) != *expected) fail("text", i);
}

ColumnRequest random_request(Input& input, bool large) {
    ColumnRequest r{static_cast<Question>(input.take(1) % 8)};
    r.accept_unknown = input.flag();
    r.icann_only = input.flag();
    r.keep_case = input.flag();
    r.keep_ip = r.keep_case;
    r.depth = input.take(1) % 4;
    if (r.depth == 3) r.depth = ~std::uint64_t{0};
    r.threads = 1 + static_cast<unsigned>(input.take(1) % 3);
    if (r.question == Question::kExtract && input.flag()) {
        // Some of the fields, each once, in an order of their own.
        ExtractFields fields;
        const std::uint64_t chosen = input.take(2);
        const std::size_t first = static_cast<std::size_t>(input.take(1) % kExtractFieldCount);
        for (std::size_t k = 0; k < kExtractFieldCount; ++k) {
            const std::size_t field = (first + k) % kExtractFieldCount;
            if ((chosen >> field) & 1) fields.order[fields.count++] = static_cast<ExtractField>(field);
        }
        if (fields.count != 0) r.fields = fields;
    }
    r.wide_offsets = large;
    return r;
}

void answer_and_compare(const StringColumn& column, Input& input) {
    const ColumnRequest r = random_request(input, column.large());
    const ResultColumn result = answer_column(column, r, compiled_tables());
    if (result.length != column.size()) fail("length", -1);
    for (std::int64_t i = 0; i < column.size(); ++i) {
        const bool null = column.is_null(i);
        check_element(result, i, null, null ? std::string_view() : column.value(i), r);
    }
}

// Every row as its entry: an index inside the dictionary, the entry's answer.
void answer_and_compare(const DictionaryColumn& column, Input& input) {
    const StringColumn& values = column.values();
    const ColumnRequest r = random_request(input, values.large());
    const ResultColumn entries = answer_column(values, r, compiled_tables());
    ColumnRequest rows = r;
    widen_for_rows(column, entries, rows);
    const ResultColumn result = spread_answers(column, entries, rows);
    if (result.length != column.size()) fail("length", -1);
    for (std::int64_t i = 0; i < column.size(); ++i) {
        if (column.is_null(i)) {
            check_element(result, i, true, {}, r);
            continue;
        }
        const std::int64_t entry = column.index(i);
        if (entry < 0 || entry >= values.size()) fail("an index outside the dictionary was taken", i);
        const bool null = values.is_null(entry);
        check_element(result, i, null, null ? std::string_view() : values.value(entry), r);
    }
    if (result.type.kind == ResultType::Kind::kDictionary) {
        const ResultColumn& answers = *result.dictionary;
        if (answers.null_count != 0) fail("a null among the answers", -1);
        for (std::int64_t a = 1; a < answers.length; ++a) {
            for (std::int64_t b = 0; b < a; ++b) {
                if (answers.text(a) == answers.text(b)) fail("an answer twice", a);
            }
        }
    }
}

// Slots of the arrays below: a texts' pool cut into elements.
std::vector<std::string> cut(const std::string& pool, Input& input, std::size_t count) {
    std::vector<std::string> texts;
    std::size_t at = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t size = std::min<std::size_t>(input.take(1) % 24, pool.size() - at);
        texts.push_back(pool.substr(at, size));
        at += size;
    }
    return texts;
}

// The array built by run() as the dictionary of rows of random indices.
void run_dictionary(Input& input, ArrowSchema& values_schema, ArrowArray& values_array,
                    const std::vector<std::int64_t>& values_sizes, bool told) {
    const auto type = static_cast<IndexType>(input.take(1) % 8);
    const std::size_t width = index_bytes(type);
    const std::int64_t length = input.small(60);
    const std::int64_t offset = input.small(9);
    const std::int64_t rows = length + offset;
    std::vector<std::uint8_t> validity(static_cast<std::size_t>(rows / 8 + 1), 0xFF);
    const bool has_nulls = input.flag();
    std::int64_t null_count = 0;
    if (has_nulls) {
        for (std::uint8_t& byte : validity) byte = static_cast<std::uint8_t>(input.take(1));
        for (std::int64_t i = offset; i < rows; ++i) null_count += !((validity[i / 8] >> (i % 8)) & 1);
    }
    // Mostly indices inside the dictionary, now and then any bytes at all.
    std::vector<unsigned char> indices(static_cast<std::size_t>(rows) * width);
    const std::int64_t entries = values_array.length > 0 ? values_array.length : 1;
    for (std::int64_t i = 0; i < rows; ++i) {
        std::uint64_t index = static_cast<std::uint64_t>(input.small(entries - 1));
        if (input.take(1) == 11) index = input.take(8);
        for (std::size_t b = 0; b < width; ++b) {
            indices[static_cast<std::size_t>(i) * width + b] = static_cast<unsigned char>(index >> (8 * b));
        }
    }
    const void* buffers[2] = {has_nulls ? validity.data() : nullptr, indices.data()};
    std::vector<std::int64_t> sizes;
    if (told) {
        sizes = {static_cast<std::int64_t>(validity.size()), static_cast<std::int64_t>(indices.size())};
        sizes.insert(sizes.end(), values_sizes.begin(), values_sizes.end());
    }
    ArrowSchema schema{index_format(type), "", nullptr, ARROW_FLAG_NULLABLE, 0, nullptr, &values_schema,
                       [](ArrowSchema* s) { s->release = nullptr; }, nullptr};
    ArrowArray array{length, null_count, offset, 2, 0, buffers, nullptr, &values_array,
                     [](ArrowArray* a) { a->release = nullptr; }, nullptr};
    if (told && input.take(1) == 6) array.length = input.small(90);
    if (told && input.take(1) == 6) array.offset = input.small(20) - 2;
    const ColumnImport imported = import_column(schema, array, sizes);
    if (const auto* column = std::get_if<DictionaryColumn>(&imported)) {
        if (column->size() != array.length) fail("rows taken from nowhere", -1);
        answer_and_compare(*column, input);
    }
}

void run(Input& input) {
    const unsigned kind = static_cast<unsigned>(input.take(1) % 8);
    const char* formats[] = {"u", "U", "vu", "u", "U", "vu", "z", "i"};
    const char* format = formats[kind];
    const bool told = input.flag();  // the producer tells its buffer sizes
    const std::int64_t length = input.small(40);
    const std::int64_t offset = input.small(16);
    const std::int64_t slots = length + offset;
    // Descriptions a producer may get wrong, when its sizes are told.
    const std::int64_t claimed_length = told && input.take(1) == 7 ? input.small(100) : length;
    const std::int64_t claimed_offset = told && input.take(1) == 7 ? input.small(100) - 2 : offset;
    std::int64_t null_count = 0;

    std::vector<std::uint8_t> validity(static_cast<std::size_t>(slots / 8 + 1));
    const bool has_nulls = input.flag();
    for (std::uint8_t& byte : validity) byte = has_nulls ? static_cast<std::uint8_t>(input.take(1)) : 0xFF;
    for (std::int64_t i = offset; i < slots; ++i) null_count += !((validity[i / 8] >> (i % 8)) & 1);
    if (told && input.take(1) == 9) null_count = input.small(50) - 3;
    const std::string pool = input.bytes(static_cast<std::size_t>(input.small(600)));
    std::vector<std::string> texts = cut(pool, input, static_cast<std::size_t>(slots));

    std::vector<const void*> buffers{has_nulls ? validity.data() : nullptr};
    std::vector<std::int64_t> sizes{static_cast<std::int64_t>(validity.size())};
    std::vector<std::int32_t> offsets32{0};
    std::vector<std::int64_t> offsets64{0};
    std::string data;
    std::vector<unsigned char> views;
    std::vector<std::string> variadic(2);
    std::vector<std::int64_t> variadic_sizes(2);
    if (std::strcmp(format, "vu") == 0) {
        views.assign(static_cast<std::size_t>(slots) * 16, 0);
        for (std::int64_t i = 0; i < slots; ++i) {
            const std::string& text = texts[static_cast<std::size_t>(i)];
            unsigned char* view = views.data() + i * 16;
            std::int32_t size = static_cast<std::int32_t>(text.size());
            std::int32_t buffer = static_cast<std::int32_t>(i % 2);
            std::int32_t start = static_cast<std::int32_t>(variadic[buffer].size());
            if (text.size() > 12) variadic[buffer] += text;
            if (input.take(1) == 5) size = static_cast<std::int32_t>(input.take(2)) - 100;
            if (input.take(1) == 5) buffer = static_cast<std::int32_t>(input.take(1)) - 3;
            if (input.take(1) == 5) start = static_cast<std::int32_t>(input.take(2)) - 100;
            std::memcpy(view, &size, 4);
            if (text.size() <= 12) {
                std::memcpy(view + 4, text.data(), text.size());
            } else {
                std::memcpy(view + 8, &buffer, 4);
                std::memcpy(view + 12, &start, 4);
            }
        }
        buffers.push_back(views.data());
        sizes.push_back(static_cast<std::int64_t>(views.size()));
        for (int b = 0; b < 2; ++b) {
            variadic_sizes[b] = static_cast<std::int64_t>(variadic[b].size());
            // A size that lies is caught only when the real one is told.
            if (told && input.take(1) == 4) variadic_sizes[b] += input.small(20) - 10;
            buffers.push_back(variadic[b].data());
            sizes.push_back(static_cast<std::int64_t>(variadic[b].size()));
        }
        buffers.push_back(variadic_sizes.data());
        sizes.push_back(16);
    } else {
        for (const std::string& text : texts) {
            data += text;
            offsets32.push_back(static_cast<std::int32_t>(data.size()));
            offsets64.push_back(static_cast<std::int64_t>(data.size()));
        }
        if (told && !offsets32.empty() && input.take(1) == 3) {
            const std::size_t at = static_cast<std::size_t>(input.take(1)) % offsets32.size();
            offsets32[at] = static_cast<std::int32_t>(input.take(2)) - 1000;
            offsets64[at] = offsets32[at];
        }
        const bool wide = std::strcmp(format, "U") == 0;
        buffers.push_back(wide ? static_cast<const void*>(offsets64.data()) : offsets32.data());
        sizes.push_back(static_cast<std::int64_t>(offsets32.size()) * (wide ? 8 : 4));
        buffers.push_back(data.data());
        sizes.push_back(static_cast<std::int64_t>(data.size()));
    }

    ArrowSchema schema{format, "", nullptr, ARROW_FLAG_NULLABLE, 0, nullptr, nullptr,
                       [](ArrowSchema* s) { s->release = nullptr; }, nullptr};
    ArrowArray array{claimed_length, null_count, claimed_offset,
                     static_cast<std::int64_t>(buffers.size()), 0, buffers.data(), nullptr,
                     nullptr, [](ArrowArray* a) { a->release = nullptr; }, nullptr};
    if (told && input.take(1) == 2) {
        array.n_buffers = input.small(static_cast<std::int64_t>(buffers.size()));
    }
    if (!told) sizes.clear();
    if (input.take(1) % 3 == 0) return run_dictionary(input, schema, array, sizes, told);
    const ColumnImport imported = import_column(schema, array, sizes);
    if (const auto* column = std::get_if<StringColumn>(&imported)) {
        if (!told && column->size() != length) fail("length taken from nowhere", -1);
        answer_and_compare(*column, input);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input input(data, size);
    run(input);
    return 0;
}
