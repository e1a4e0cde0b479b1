// Names for comparing the column path with the scalar one: every rule of the
// compiled list reached in several ways, plus the awkward cases.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "rules/compiled_tables.h"

namespace vexlo::testing_names {

// The names the compiled rules stand for, from the root's children down.
inline std::vector<std::string> rule_names() {
    const RuleTrie trie = compiled_rules();
    std::vector<std::string> names;
    std::vector<std::pair<std::uint32_t, std::string>> stack{{0, ""}};
    while (!stack.empty()) {
        auto [node, name] = stack.back();
        stack.pop_back();
        const TrieNode& n = trie.nodes[node];
        for (std::uint32_t e = n.first_edge; e < n.first_edge + n.edge_count; ++e) {
            const TrieEdge& edge = trie.edges[e];
            std::string label(trie.label_pool.substr(edge.label_start, edge.label_end - edge.label_start));
            std::string child = name.empty() ? label : label + "." + name;
            names.push_back(child);
            if (edge.child >= 0) stack.emplace_back(static_cast<std::uint32_t>(edge.child), child);
        }
    }
    return names;
}

inline std::string upper_ascii(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    }
    return text;
}

// Hand-picked names where the column path could go wrong.
inline std::vector<std::string> awkward_names() {
    return {
        "", ".", "..", "a..b", "example.com..", ".example.com", "example.com.", "Example.COM.",
        "Shop.Example.CO.UK.", "a.b.example.co.uk", "co.uk", "uk", "kawasaki.jp",
        "city.kawasaki.jp", "shop.city.kawasaki.jp", "a.b.kawasaki.jp", "test.ck", "ck",
        "example.za", "shop.example.co.za", "localhost", "example.unknowntld", "unknowntld",
        "\xE5\x85\xAC\xE5\x8F\xB8.cn", "xn--55qx5d.cn", "foo.kobe.jp", "a.city.kobe.jp",
        "X\xC4\xB0.Example.CO.UK", "\xCE\x9F\xCE\x94\xCE\x9F\xCE\xA3.\xCE\x95\xCE\x9B",
        "www.\xCE\x9F\xCE\x94\xCE\x9F\xCE\xA3.gr", "\xE2\x84\xAA.Example.COM",
        "S3.AMAZONAWS.COM", "bucket.s3.amazonaws.com", "x.y.z.amazonaws.com",
        "abcdefghijklmnop.amazonaws.com", "a.blogspot.com", "blogspot.co.uk",
        "very-long-label-that-passes-sixteen-bytes.example.co.uk",
        std::string(70, 'a') + ".example.co.uk", "b." + std::string(80, 'c') + ".com",
        std::string(63, 'x') + ".uk", std::string(64, 'x') + ".uk", "x." + std::string(62, 'y'),
        std::string(200, 'z'), "a.b.c.d.e.f.g.h.i.j.k.l.m.n.o.p.q.r.s.t.u.v.w.x.y.z.co.uk",
        std::string("nul\0l.example.com", 17), "sp ace.com", "*.com", "!.com", "a.*.kawasaki.jp",
        "\xF0\x96\xBA\xA0.example.com", "\xEA\x9F\x8E.COM", "ab.cdefghijk.com",
        "AbCdEfGhIjKlMnOp.com", "0123456789abcdef.co.uk", "0123456789abcdefg.co.uk",
        // Lowercasing lengthens the first label (U+0130) by as much as it
        // shortens the second (U+212A): both texts have the same length but
        // their dots at other places.
        "\xC4\xB0\xC4\xB0.\xE2\x84\xAA.com", "x\xC4\xB0\xC4\xB0.\xE2\x84\xAA.Example.CO.UK",
        "\xE2\x84\xAA.\xC4\xB0\xC4\xB0.kawasaki.jp",
    };
}

// Byte strings that are not UTF-8: invalid names for the column path.
inline std::vector<std::string> non_utf8_names() {
    return {"\xFF.com", "example.\xC3", "\xC3.example.com", "a\xED\xA0\x80.com",
            "\xC0\xAE.com", "\xF4\x90\x80\x80.com", "ex\x80" "ample.co.uk", "\xE2\x82.uk",
            std::string(20, 'a') + "\xF0\x9F\x98" + ".com"};
}

// A mix of rule names with subdomains, in several spellings, with the
// awkward names among them; deterministic for a given seed.
inline std::vector<std::string> mixed_names(std::size_t count, unsigned seed) {
    static const std::vector<std::string> rules = rule_names();
    const std::vector<std::string> awkward = awkward_names();
    std::mt19937 random(seed);
    std::vector<std::string> names;
    const char* prefixes[] = {"", "www.", "a.b.", "Shop.Example.", "x.", "deep.er.sub."};
    while (names.size() < count) {
        const unsigned pick = random() % 16;
        if (pick == 0) {
            names.push_back(awkward[random() % awkward.size()]);
            continue;
        }
        std::string name = prefixes[random() % 6] + rules[random() % rules.size()];
        if (pick == 1) name = upper_ascii(name);
        if (pick == 2) name += ".";
        if (pick == 3) name = "host." + name.substr(name.find('.') + 1);
        names.push_back(name);
    }
    return names;
}

}  // namespace vexlo::testing_names
