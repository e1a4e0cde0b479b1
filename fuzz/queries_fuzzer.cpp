// Arbitrary bytes through normalisation, matching and every query, under
// every switch setting, checked against the invariants the module relies on.
// Every walk that reads the proven tables without a check (the single walk
// over any tables, the one made for the compiled tables, the short ASCII
// path, the batch front end) must answer as the plainly written reference
// walk. Ill-formed UTF-8 never reaches the core from Python, but it must
// still not be read out of bounds, and its dots must keep their meaning.
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "compiled_walk.h"
#include "invariant_check.h"
#include "common/dots.h"
#include "normalize/normalize.h"
#include "query/answers.h"
#include "query/match.h"
#include "query/name_batch.h"
#include "query/short_match.h"
#include "reference_walk.h"
#include "rules/compiled_tables.h"
#include "rules/public_suffix.h"

namespace {

using vexlo::Match;
using vexlo::MatchView;
using vexlo::NormalizedDomain;
using vexlo::Switches;

// Strict UTF-8 well-formedness, written apart from the decoder under test.
bool is_utf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const unsigned char b = *p;
        std::size_t n;
        unsigned char lo = 0x80, hi = 0xBF;
        if (b < 0x80) { ++p; continue; }
        if (b >= 0xC2 && b <= 0xDF) n = 1;
        else if (b == 0xE0) n = 2, lo = 0xA0;
        else if (b == 0xED) n = 2, hi = 0x9F;
        else if (b >= 0xE1 && b <= 0xEF) n = 2;
        else if (b == 0xF0) n = 3, lo = 0x90;
        else if (b >= 0xF1 && b <= 0xF3) n = 3;
        else if (b == 0xF4) n = 3, hi = 0x8F;
        else return false;
        if (static_cast<std::size_t>(end - p) <= n) return false;
        if (p[1] < lo || p[1] > hi) return false;
        for (std::size_t i = 2; i <= n; ++i) {
            if (p[i] < 0x80 || p[i] > 0xBF) return false;
        }
        p += n + 1;
    }
    return true;
}

std::vector<std::string_view> split_labels(std::string_view text) {
    std::vector<std::string_view> labels;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = text.find('.', start);
        labels.push_back(text.substr(start, dot == std::string_view::npos ? dot : dot - start));
        if (dot == std::string_view::npos) return labels;
        start = dot + 1;
    }
}

std::string join(const std::vector<std::string_view>& labels, std::size_t from, std::size_t to) {
    std::string text;
    for (std::size_t i = from; i < to; ++i) {
        if (i > from) text += '.';
        text += labels[i];
    }
    return text;
}

bool inside(std::string_view part, std::string_view whole) {
    return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

bool contains_capital_sigma(std::string_view text) { return text.find("\xCE\xA3") != text.npos; }

// A text result: the `count` rightmost labels of `source`, cut from it.
void check_rightmost(std::string_view result, std::string_view source,
                     const std::vector<std::string_view>& labels, std::size_t count,
                     std::string_view input) {
    CHECK(inside(result, source), input);
    CHECK(result.data() + result.size() == source.data() + source.size(), input);
    CHECK(result == join(labels, labels.size() - count, labels.size()), input);
}

void check_queries(const MatchView& match, std::string_view input, bool well_formed) {
    const std::size_t labels = match.label_count;
    const std::size_t p = match.public_length;
    CHECK(p <= labels, input);
    const bool is_public = vexlo::is_public(match);
    const bool is_private = vexlo::is_private(match);
    CHECK(is_public == (p == labels), input);
    CHECK(is_private == (p >= 1 && p < labels), input);
    CHECK(!(is_public && is_private), input);

    for (const bool keep_case : {false, true}) {
        const std::string_view source = vexlo::answer_source(match, keep_case);
        CHECK(inside(source, keep_case ? input : match.lowered), input);
        const std::vector<std::string_view> split = split_labels(source);
        CHECK(split.size() == labels, input);

        const auto publicsuffix = vexlo::publicsuffix(match, keep_case);
        CHECK(publicsuffix.has_value() == (p >= 1), input);
        if (publicsuffix) check_rightmost(*publicsuffix, source, split, p, input);

        const auto privatesuffix = vexlo::privatesuffix(match, keep_case);
        CHECK(privatesuffix.has_value() == is_private, input);
        if (privatesuffix) check_rightmost(*privatesuffix, source, split, p + 1, input);

        const auto parts = vexlo::privateparts(match, keep_case);
        CHECK(parts.has_value() == is_private, input);
        if (parts) {
            const std::size_t s = labels - p - 1;
            CHECK(parts->subdomain_count == s, input);
            CHECK(parts->private_suffix == *privatesuffix, input);
            CHECK(parts->private_suffix.data() == privatesuffix->data(), input);
            CHECK(inside(parts->subdomains, source), input);
            CHECK(parts->subdomains == join(split, 0, s), input);
            if (s > 0) CHECK(parts->subdomains.data() == source.data(), input);
        }

        const std::uint64_t s = is_private ? labels - p - 1 : 0;
        for (const std::uint64_t depth :
             {std::uint64_t{0}, std::uint64_t{1}, s - (s > 0), s, s + 1,
              std::numeric_limits<std::uint64_t>::max()}) {
            const auto sub = vexlo::subdomain(match, depth, keep_case);
            CHECK(sub.has_value() == (is_private && depth <= s), input);
            if (!sub) continue;
            check_rightmost(*sub, source, split, p + 1 + static_cast<std::size_t>(depth), input);
            if (depth == 0) CHECK(*sub == *privatesuffix, input);
            if (depth == s) CHECK(*sub == source, input);
        }

        // Without a capital sigma lowercasing needs no context, so a slice of
        // the caller's text lowercases to the same slice of the lowercase.
        if (keep_case && publicsuffix && well_formed && !contains_capital_sigma(input)) {
            const auto lowered = vexlo::publicsuffix(match, false);
            CHECK(vexlo::lowercase_text(*publicsuffix).view() == *lowered, input);
        }
    }
}

// Two views of one match give the same answers only if they agree on all of it.
bool same_view(const MatchView& a, const MatchView& b) {
    return a.lowered == b.lowered && a.given == b.given && a.given.data() == b.given.data() &&
           a.dots == b.dots && a.label_count == b.label_count && a.public_length == b.public_length &&
           a.given_is_ascii == b.given_is_ascii;
}

// The other front ends over the same text: the short ASCII path (which
// answers only some names) and the batch of one name (which takes any
// bytes and refuses those that are not UTF-8).
void check_front_ends(std::string_view input, Switches switches, const std::optional<Match>& match,
                      bool well_formed) {
    vexlo::ShortMatch short_match;
    std::string_view given = input;
    switch (vexlo::match_short<vexlo::kCompiledRootEdgeCount>(vexlo::compiled_tables(), given,
                                                              switches, short_match)) {
        case vexlo::ShortOutcome::kMatched:
            CHECK(match && same_view(short_match.view(given), match->view()), input);
            break;
        case vexlo::ShortOutcome::kInvalid:
            CHECK(!match, input);
            break;
        case vexlo::ShortOutcome::kOther:
            break;
    }
    vexlo::NameBatch batch;
    batch.add(input);
    batch.match(vexlo::compiled_tables(), switches);
    const bool valid = batch[0].state == vexlo::NameBatch::State::kValid;
    CHECK(valid == (match.has_value() && well_formed), input);
    if (valid) CHECK(same_view(batch.view(0), match->view()), input);
}

void check(std::string_view input) {
    const bool well_formed = is_utf8(input);
    std::string_view expected_given = input;
    if (!expected_given.empty() && expected_given.back() == '.') expected_given.remove_suffix(1);
    const std::vector<std::string_view> given_labels = split_labels(expected_given);
    bool expected_valid = !expected_given.empty();
    for (std::string_view label : given_labels) expected_valid = expected_valid && !label.empty();

    const std::optional<NormalizedDomain> normalized = vexlo::normalize_domain(input);
    CHECK(normalized.has_value() == expected_valid, input);
    if (!normalized) {
        for (const bool accept_unknown : {false, true}) {
            for (const bool icann_only : {false, true}) {
                const Switches switches{accept_unknown, icann_only};
                CHECK(!vexlo::match_domain(input, vexlo::compiled_tables(), switches), input);
                check_front_ends(input, switches, std::nullopt, well_formed);
            }
        }
        return;
    }

    const std::string_view given = normalized->given;
    const std::string_view lowered = normalized->lowered.view();
    CHECK(given.data() == input.data() && given == expected_given, input);
    CHECK(normalized->label_count == given_labels.size(), input);
    CHECK(split_labels(lowered).size() == normalized->label_count, input);
    CHECK(normalized->dots == vexlo::dot_bitmap(lowered.data(), lowered.size()), input);
    bool ascii = true;
    for (const char c : given) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    CHECK(normalized->ascii == ascii, input);
    CHECK(vexlo::lowercase_text(given).view() == lowered, input);
    if (well_formed) {
        CHECK(is_utf8(lowered), input);
        // Every lowercase mapping ends in a code point that maps to itself,
        // and the output has no capital sigma left, so a second pass changes
        // nothing.
        CHECK(vexlo::lowercase_text(lowered).view() == lowered, input);
    }

    const vexlo::RuleTables& tables = vexlo::compiled_tables();
    std::size_t lengths[2][2];
    for (const bool accept_unknown : {false, true}) {
        for (const bool icann_only : {false, true}) {
            const Switches switches{accept_unknown, icann_only};
            const std::size_t p = vexlo::testing::reference_length(tables.trie(), lowered, switches);
            CHECK(p <= normalized->label_count, input);
            if (accept_unknown) CHECK(p >= 1, input);
            lengths[accept_unknown][icann_only] = p;
            CHECK(vexlo::public_suffix_length(tables, lowered, normalized->dots, normalized->label_count,
                                              switches) == p,
                  input);
            if (lowered.size() <= vexlo::kDotBitmapBytes) {
                CHECK(vexlo::compiled_public_suffix_length(lowered.data(), lowered.size(), normalized->dots,
                                                           normalized->label_count, switches) == p,
                      input);
            }

            const std::optional<Match> match = vexlo::match_domain(input, tables, switches);
            CHECK(match.has_value(), input);
            CHECK(match->public_length == p, input);
            CHECK(match->domain.label_count == normalized->label_count, input);
            CHECK(match->domain.lowered.view() == lowered, input);
            check_queries(match->view(), input, well_formed);
            check_front_ends(input, switches, match, well_formed);
        }
    }
    // accept_unknown only decides the fallback when no rule applies.
    for (const bool icann_only : {false, true}) {
        const std::size_t without = lengths[false][icann_only];
        const std::size_t with = lengths[true][icann_only];
        CHECK(without == with || (without == 0 && with == 1), input);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    check({reinterpret_cast<const char*>(data), size});
    return 0;
}
