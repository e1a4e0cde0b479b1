// How a harness reports a broken invariant: what broke and the input's bytes
// on standard error, then abort(), which libFuzzer takes for a crash and
// keeps the input of.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string_view>

[[noreturn]] inline void fail(const char* what, std::string_view text) {
    std::fprintf(stderr, "invariant broken: %s\ninput (%zu bytes):", what, text.size());
    for (unsigned char byte : text) std::fprintf(stderr, " %02x", byte);
    std::fputc('\n', stderr);
    std::abort();
}

#define CHECK(condition, text)                    \
    do {                                          \
        if (!(condition)) fail(#condition, text); \
    } while (false)
