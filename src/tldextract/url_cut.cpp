#include "tldextract/url_cut.h"

#include <bit>
#include <cstddef>
#include <string_view>

#include "common/simd.h"

namespace vexlo::tldextract {
namespace {

bool is_scheme_char(char c) noexcept {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '+' || c == '-' || c == '.';
}

// The UTF-8 of the characters that Python's str.strip() drops, past the
// one-byte ones (is_ascii_space).
constexpr std::string_view kWideSpaces[] = {
    "\u0085", "\u00A0", "\u1680", "\u2000", "\u2001", "\u2002", "\u2003", "\u2004",
    "\u2005", "\u2006", "\u2007", "\u2008", "\u2009", "\u200A", "\u2028", "\u2029",
    "\u202F", "\u205F", "\u3000",
};

// The full stops that tldextract reads as '.', past '.' itself.
constexpr std::string_view kFullStops[] = {"\u3002", "\uFF0E", "\uFF61"};

bool is_ascii_space(char c) noexcept {
    return (c >= '\t' && c <= '\r') || (c >= '\x1C' && c <= ' ');
}

// How many bytes one of `wide` takes at the start (or, with `at_end`, at the
// end) of `text`; 0 when none does. Each is a whole character: its lead byte
// is never a continuation byte, so a match is that character.
template <std::size_t N>
std::size_t wide_match(std::string_view text, const std::string_view (&wide)[N], bool at_end) noexcept {
    for (const std::string_view w : wide) {
        if (at_end ? text.ends_with(w) : text.starts_with(w)) return w.size();
    }
    return 0;
}

// `text` less the characters at its start (or, with `at_end`, at its end)
// that are `one_byte` bytes or one of `wide`. A wide character's bytes at
// either end are 0x80 or more.
template <class OneByte, std::size_t N>
std::string_view strip(std::string_view text, bool at_end, OneByte one_byte,
                       const std::string_view (&wide)[N]) noexcept {
    while (!text.empty()) {
        const char c = at_end ? text.back() : text.front();
        const std::size_t n = one_byte(c)                            ? 1
                              : static_cast<unsigned char>(c) >= 0x80 ? wide_match(text, wide, at_end)
                                                                      : 0;
        if (n == 0) break;
        if (at_end) {
            text.remove_suffix(n);
        } else {
            text.remove_prefix(n);
        }
    }
    return text;
}

std::string_view strip_spaces(std::string_view text) noexcept {
    return strip(strip(text, false, is_ascii_space, kWideSpaces), true, is_ascii_space, kWideSpaces);
}

std::string_view strip_trailing_stops(std::string_view text) noexcept {
    return strip(text, true, [](char c) { return c == '.'; }, kFullStops);
}

// Bit i set where byte from + i of `text` (for at most sixteen bytes, none
// past its end) is one that `match` selects in a block.
template <class Match>
unsigned block_mask(std::string_view text, std::size_t from, Match match) noexcept {
    const std::size_t size = text.size() - from;
    if (size >= simd::kBlockBytes) return simd::bits(match(simd::load(text.data() + from)));
    return simd::text_bits(simd::bits(match(simd::load_partial(text.data() + from, size))), size);
}

// Where the first byte that `match` selects is, or the text's size.
template <class Match>
std::size_t first_of(std::string_view text, Match match) noexcept {
    for (std::size_t from = 0; from < text.size(); from += simd::kBlockBytes) {
        if (const unsigned mask = block_mask(text, from, match)) {
            return from + static_cast<std::size_t>(std::countr_zero(mask));
        }
    }
    return text.size();
}

simd::Block colon_or_slash(simd::Block b) noexcept { return simd::equal(b, ':') | simd::equal(b, '/'); }
simd::Block ends_authority(simd::Block b) noexcept {
    return simd::equal(b, '/') | simd::equal(b, '?') | simd::equal(b, '#');
}
simd::Block at_sign(simd::Block b) noexcept { return simd::equal(b, '@'); }
simd::Block colon(simd::Block b) noexcept { return simd::equal(b, ':'); }

// The text less a leading "scheme://" or "//". tldextract looks for the
// first "//" and takes what stands before it, less a ':', for a scheme if
// every character of it is one: since no scheme character is ':' or '/',
// that is "://" at the first ':' or '/' of the text, with only scheme
// characters before it.
std::string_view schemeless(std::string_view url) noexcept {
    if (url.starts_with("//")) return url.substr(2);
    const std::size_t first = first_of(url, colon_or_slash);
    if (first == 0 || url.substr(first, 3) != "://") return url;
    for (const char c : url.substr(0, first)) {
        if (!is_scheme_char(c)) return url;
    }
    return url.substr(first + 3);
}

}  // namespace

std::string_view lenient_netloc(std::string_view url) noexcept {
    const std::string_view rest = schemeless(url);
    return host_from_authority(rest.substr(0, first_of(rest, ends_authority)));
}

std::string_view host_from_authority(std::string_view authority) noexcept {
    // After the last '@'.
    std::size_t host_start = 0;
    for (std::size_t from = 0; from < authority.size(); from += simd::kBlockBytes) {
        if (const unsigned mask = block_mask(authority, from, at_sign)) {
            host_start = from + static_cast<std::size_t>(std::bit_width(mask));
        }
    }
    const std::string_view host = authority.substr(host_start);
    if (!host.empty() && host.front() == '[') {
        if (const std::size_t close = host.find(']'); close != std::string_view::npos) {
            return host.substr(0, close + 1);
        }
    }
    return strip_trailing_stops(strip_spaces(host.substr(0, first_of(host, colon))));
}

bool holds_full_stop(std::string_view text) noexcept {
    for (std::size_t i = 0; i + 3 <= text.size(); ++i) {
        if (static_cast<unsigned char>(text[i]) >= 0xE3 &&
            wide_match(text.substr(i, 3), kFullStops, false) != 0) {
            return true;
        }
    }
    return false;
}

std::size_t replace_full_stops(std::string_view text, char* out) noexcept {
    std::size_t written = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) >= 0xE3 &&
            wide_match(text.substr(i, 3), kFullStops, false) != 0) {
            out[written++] = '.';
            i += 3;
        } else {
            out[written++] = text[i++];
        }
    }
    return written;
}

}  // namespace vexlo::tldextract
