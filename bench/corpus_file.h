// The benchmark corpus as bench/corpus.py writes it: one name per line, the
// empty line the empty name.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace vexlo::bench {

// The names of the corpus file at `path`. A benchmark has nothing to do
// without them: a file that cannot be read ends the program, `program`
// saying so.
inline std::vector<std::string> read_corpus(const char* path, const char* program) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot read corpus %s\n", program, path);
        std::exit(2);
    }
    std::vector<std::string> names;
    for (std::string line; std::getline(in, line);) names.push_back(line);
    return names;
}

}  // namespace vexlo::bench
