// A stand-in for the part of DuckDB that the extension's calls reach: chunks
// of flat vectors, and the functions of DuckDB's C API over them, installed
// in the table the extension calls through. Every string longer than a
// vector element holds is in an allocation of exactly its size, so that the
// sanitizer sees any read past one; vectors move their items when they grow,
// as DuckDB's may; a string handed over that is not UTF-8 is recorded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "duckdb/duckdb_api.h"

namespace vexlo::fake_duckdb {

enum class Kind { kText, kTruth, kInteger, kList, kStruct };

struct Vector {
    Vector(Kind kind, std::size_t capacity);

    Kind kind;
    std::size_t capacity;
    std::unique_ptr<duckdb_string_t[]> texts;
    std::unique_ptr<bool[]> truths;
    std::unique_ptr<std::int64_t[]> integers;
    std::unique_ptr<duckdb_list_entry[]> lists;
    std::unique_ptr<Vector> items;  // of a list
    std::size_t item_count = 0;
    std::vector<std::unique_ptr<Vector>> members;  // of a struct, made when first asked for
    std::vector<std::uint64_t> validity;  // empty: every row valid
    // The bytes of the longer strings, each in an allocation of its own.
    std::vector<std::unique_ptr<char[]>> heap;

    void set_text(std::size_t row, std::string_view text);
    void set_null(std::size_t row);
    bool valid(std::size_t row) const;
    std::string_view text(std::size_t row) const;
    // The items of a list row.
    std::vector<std::string> list(std::size_t row) const;
    // Room for `count` elements, the present ones moved to a new place.
    void grow(std::size_t count);

    duckdb_vector handle() { return reinterpret_cast<duckdb_vector>(this); }
};

struct Chunk {
    std::size_t size = 0;
    std::vector<Vector*> vectors;

    duckdb_data_chunk handle() { return reinterpret_cast<duckdb_data_chunk>(this); }
};

// What a scalar function sees of its registration, and the error it sets.
struct FunctionInfo {
    void* extra_info = nullptr;
    std::optional<std::string> error;

    duckdb_function_info handle() { return reinterpret_cast<duckdb_function_info>(this); }
};

// Fills the extension's table of DuckDB's functions with this stand-in's.
void install();

// Strings handed to a VARCHAR vector that were not UTF-8, since install().
std::size_t not_utf8_strings();

}  // namespace vexlo::fake_duckdb
