#include "host/find_host.h"

#include <cstdint>
#include <cstring>
#include <string_view>

#include "host/byte_class.h"
#include "host/byte_scan.h"
#include "host/ip_literal.h"

namespace vexlo::host {
namespace {

using namespace detail;

// How an authority is read: where it ends, and what its host may be.
enum class Mode : std::uint8_t {
    special,  // http and the like, and text without a scheme: '\' ends it too
    file,     // as special, but no userinfo, no port, and "localhost" is no host
    other,    // any other scheme followed by "//": '\' is no part of a host
    mail,     // a mailto: recipient: up to ',', '?' or '#', and the host follows an '@'
};

constexpr std::uint16_t kSpecialEnd = kSlash | kQueryOrFragment | kBackslash;

// Where an authority starts and how to read it. The scan starts at `from`:
// the bytes before it are letters, digits, '+', '-', '.' or (when `ignored`)
// TAB, LF and CR.
struct Authority {
    const char* begin;
    const char* from;
    Mode mode;
    bool ignored;
};

// Whether [begin, end) is not the host byte for byte: it holds TAB, LF, CR
// or a full stop.
bool needs_copy(const char* begin, const char* end) noexcept {
    for (const char* p = first_copy_candidate(begin, end); p < end; ++p) {
        const std::uint16_t cls = byte_class(*p);
        if ((cls & kIgnored) || ((cls & kFullStopFirst) && full_stop_end(p, end) != nullptr)) {
            return true;
        }
    }
    return false;
}

// `maybe_copy`: the scan saw TAB, LF, CR or a full stop in the authority,
// perhaps in the host.
[[gnu::always_inline]] inline FoundHost make(const char* begin, const char* end, HostKind kind,
                                             bool maybe_copy) noexcept {
    return {begin, static_cast<std::size_t>(end - begin), kind,
            maybe_copy && needs_copy(begin, end)};
}

// ASCII digits (or none) up to `end`, at most 65535; TAB, LF and CR aside
// when `ignored`.
[[gnu::always_inline]] inline bool is_port(const char* p, const char* end, bool ignored) noexcept {
    unsigned value = 0;
    for (; p < end; ++p) {
        const auto digit = static_cast<unsigned>(static_cast<unsigned char>(*p) - '0');
        if (digit > 9) {
            if (ignored && is_ignored(*p)) continue;
            return false;
        }
        value = value * 10 + digit;
        if (value > 65535) return false;
    }
    return true;
}

bool is_localhost(const char* p, const char* end) noexcept {
    static constexpr char kName[] = "localhost";
    std::size_t matched = 0;
    for (; p < end; ++p) {
        if (is_ignored(*p)) continue;
        if (matched == sizeof kName - 1 || (*p | 0x20) != kName[matched]) return false;
        ++matched;
    }
    return matched == sizeof kName - 1;
}

// What the host [begin, end) of an authority is. `brackets` counts its '['
// and ']'; `maybe_full_stop`: it may hold a full stop.
[[gnu::always_inline]] inline FoundHost read_host(const char* begin, const char* end,
                                                  unsigned brackets, bool maybe_ignored,
                                                  bool maybe_full_stop, Mode mode) noexcept {
    if (maybe_ignored) {
        begin = skip_ignored(begin, end);
        end = skip_ignored_back(begin, end);
    }
    if (begin == end) return {};
    if (brackets != 0) {
        if (brackets != 2 || *begin != '[' || end[-1] != ']') return {};
        const char* inner_begin = skip_ignored(begin + 1, end - 1);
        const char* inner_end = skip_ignored_back(inner_begin, end - 1);
        if (!is_ipv6(inner_begin, inner_end)) return {};
        return make(inner_begin, inner_end, HostKind::ipv6, maybe_ignored);
    }
    const bool maybe_copy = maybe_ignored || maybe_full_stop;
    if (ends_in_number(begin, end)) {
        return is_ipv4(begin, end) ? make(begin, end, HostKind::ipv4, maybe_copy) : FoundHost{};
    }
    if (mode == Mode::file && is_localhost(begin, end)) return {};
    return make(begin, end, HostKind::domain, maybe_copy);
}

FoundHost find_located(const char* begin, const char* end) noexcept;

bool all_scheme_chars(const char* begin, const char* end) noexcept {
    for (; begin < end; ++begin) {
        if (!(byte_class(*begin) & kSchemeChar)) return false;
    }
    return true;
}

// The host of the authority that starts at `host` in the text [text, end),
// its stops given by `stops` (the bytes before the first are letters,
// digits, '+', '-', '.' or, when `ignored`, TAB, LF and CR). `undecided`:
// the authority starts the text, which may still turn out to begin with a
// scheme; the first stop tells, as a scheme's name holds none and a ':'
// ends it.
[[gnu::always_inline]] inline FoundHost read_authority(const char* text, const char* host,
                                                       Stops<> stops, const char* end, Mode mode,
                                                       bool ignored, bool undecided) noexcept {
    const std::uint16_t ends = mode == Mode::mail    ? kQueryOrFragment | kComma
                               : mode == Mode::other ? kSlash | kQueryOrFragment
                                                     : kSpecialEnd;
    const char* colon = nullptr;
    unsigned brackets = 0;
    bool in_brackets = false, bad = false, at = false;
    const char* p;
    while ((p = stops.next()) != end) {
        const std::uint16_t cls = byte_class(*p);
        if (undecided && *p != '+') {
            undecided = false;
            if ((byte_class(*text) & kAlpha) && (*p == ':' || (cls & kIgnored)) &&
                all_scheme_chars(text, p)) {
                return find_located(text, end);
            }
        }
        if (cls & ends) break;
        if (cls & kAt) {
            // What came before was userinfo, which may hold anything.
            host = p + 1;
            colon = nullptr;
            brackets = 0;
            in_brackets = bad = false;
            at = true;
        } else if (cls & kColon) {
            if (!in_brackets && colon == nullptr) colon = p;
        } else if (cls & (kOpen | kClose)) {
            in_brackets = (cls & kOpen) != 0;
            ++brackets;
        } else if (cls & kIgnored) {
            ignored = true;
        } else if (cls & (kForbidden | kSpecialEnd)) {
            bad = true;  // forbidden, or a '/' or '\' that does not end this authority
        }
    }
    if (bad || (mode == Mode::mail && !at) || (mode == Mode::file && (at || colon != nullptr))) {
        return {};
    }
    if (colon != nullptr && !is_port(colon + 1, p, ignored)) return {};
    // A host with full stops holds bytes above 0x7F, which an ASCII
    // authority has none of.
    return read_host(host, colon != nullptr ? colon : p, brackets, ignored, stops.saw_utf8(),
                     mode);
}

// read_authority() scanned from `from` (the bytes before it as there).
[[gnu::always_inline]] inline FoundHost read_authority(const char* text, const char* host,
                                                       const char* from, const char* end, Mode mode,
                                                       bool ignored, bool undecided) noexcept {
    return read_authority(text, host, Stops<>(text, from, end), end, mode, ignored, undecided);
}

// "name:" then digits up to the end of an authority: a host and its port.
bool is_port_then_end(const char* p, const char* end) noexcept {
    bool digit = false;
    for (; p < end; ++p) {
        const std::uint16_t cls = byte_class(*p);
        if (cls & kDigit) {
            digit = true;
        } else if (!(cls & kIgnored)) {
            return digit && (cls & kSpecialEnd);
        }
    }
    return digit;
}

enum class Scheme : std::uint8_t { special, file, mailto, other };

// Up to eight bytes of a name, lowercase, in one word.
constexpr std::uint64_t name_key(std::string_view name) noexcept {
    std::uint64_t key = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        key |= std::uint64_t{static_cast<unsigned char>(name[i])} << (8 * i);
    }
    return key;
}

// The scheme named by the letters, digits, '+', '-' and '.' in [begin, end),
// TAB, LF and CR aside; the text goes on to `text_end`. Setting bit 0x20
// lowercases the letters and changes none of the others.
Scheme scheme_of(const char* begin, const char* end, const char* text_end, bool ignored) noexcept {
    constexpr std::size_t kLongest = 6;  // "mailto"
    std::uint64_t key = 0;
    if (!ignored && text_end - begin >= 8) {
        const auto length = static_cast<std::size_t>(end - begin);
        if (length > kLongest) return Scheme::other;
        std::memcpy(&key, begin, 8);
        if constexpr (std::endian::native == std::endian::big) key = __builtin_bswap64(key);
        key = (key | 0x2020202020202020ull) & ((std::uint64_t{1} << (8 * length)) - 1);
    } else {
        std::size_t length = 0;
        for (const char* p = begin; p < end; ++p) {
            if (is_ignored(*p)) continue;
            if (length == kLongest) return Scheme::other;
            key |= std::uint64_t{static_cast<unsigned char>(*p | 0x20)} << (8 * length++);
        }
    }
    switch (key) {
        case name_key("http"):
        case name_key("https"):
        case name_key("ws"):
        case name_key("wss"):
        case name_key("ftp"): return Scheme::special;
        case name_key("file"): return Scheme::file;
        case name_key("mailto"): return Scheme::mailto;
        default: return Scheme::other;
    }
}

// The next byte of [p, end) that is not TAB, LF or CR is in `cls`: then just
// after it, else null.
const char* after(const char* p, const char* end, std::uint16_t cls) noexcept {
    p = skip_ignored(p, end);
    return p < end && (byte_class(*p) & cls) ? p + 1 : nullptr;
}

// Where the authority of [begin, end) is; false when it has none. The text
// holds no C0 control or space at either end and is not empty.
bool locate_authority(const char* begin, const char* end, Authority& authority) noexcept {
    const std::uint16_t first = byte_class(*begin);
    if (first & (kSlash | kBackslash)) {
        // "//host" is scheme-relative; other leading slashes start a path.
        const char* start = *begin == '/' ? after(begin + 1, end, kSlash) : nullptr;
        authority = {start, start, Mode::special, false};
        return start != nullptr;
    }
    authority = {begin, begin, Mode::special, false};
    if (!(first & kAlpha)) return true;

    // A scheme, or the start of a host.
    const char* p = begin;
    while (p < end && (byte_class(*p) & kSchemeChar)) ++p;
    bool ignored = false;
    if (p < end && is_ignored(*p)) {
        ignored = true;
        while (p < end && (byte_class(*p) & (kSchemeChar | kIgnored))) ++p;
    }
    authority = {begin, p, Mode::special, ignored};
    if (p == end || *p != ':') return true;

    const char* rest = p + 1;
    const Scheme scheme = scheme_of(begin, p, end, ignored);
    if (scheme == Scheme::special) {
        while (rest < end && (byte_class(*rest) & (kSlash | kBackslash | kIgnored))) ++rest;
        authority = {rest, rest, Mode::special, false};
        return true;
    }
    if (scheme == Scheme::file) {
        const char* slash = after(rest, end, kSlash | kBackslash);
        const char* start = slash != nullptr ? after(slash, end, kSlash | kBackslash) : nullptr;
        authority = {start, start, Mode::file, false};
        return start != nullptr;
    }
    const char* slash = after(rest, end, kSlash);
    if (const char* start = slash != nullptr ? after(slash, end, kSlash) : nullptr) {
        authority = {start, start, Mode::other, false};
        return true;
    }
    if (scheme == Scheme::mailto) {
        authority = {rest, rest, Mode::mail, false};
        return true;
    }
    // "name:digits" is a host and its port: the authority as found above.
    return is_port_then_end(rest, end);
}

constexpr std::uint64_t kSevenBytes = 0x00FFFFFFFFFFFFFFull;

// The first eight bytes of a text of eight or more, as name_key() makes a
// word, with bit 0x20 set in the first four (lowercasing their letters).
[[gnu::always_inline]] inline std::uint64_t scheme_word(const char* begin) noexcept {
    std::uint64_t word;
    std::memcpy(&word, begin, 8);
    if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
    return word | 0x20202020;
}

// Where the authority starts in a text whose scheme_word() is `word`, when
// the text begins with "http://" or "https://"; else null.
[[gnu::always_inline]] inline const char* after_http(const char* begin, std::uint64_t word) noexcept {
    if ((word & kSevenBytes) == name_key("http://")) return begin + 7;
    if ((word | 0x2000000000ull) == name_key("https://")) return begin + 8;
    return nullptr;
}

// Where the authority of a text that begins with "http://", "https://" or
// "mailto:" starts, when it starts at once (no more slashes); else null. One
// comparison of the first eight bytes, letters lowercased, for each scheme.
[[gnu::always_inline]] inline const char* after_common_scheme(const char* begin, const char* end,
                                                              Mode& mode) noexcept {
    if (end - begin < 8) return nullptr;
    const std::uint64_t word = scheme_word(begin);
    const char* start = after_http(begin, word);
    const bool mailto =
        start == nullptr && ((word | 0x202000000000ull) & kSevenBytes) == name_key("mailto:");
    if (mailto) start = begin + 7;
    if (start == nullptr || start == end || (byte_class(*start) & (kSlash | kBackslash | kIgnored))) {
        return nullptr;
    }
    if (mailto) mode = Mode::mail;
    return start;
}

// The host of the text [begin, end) found the long way: where its authority
// is, from its scheme or its slashes, then what it holds.
[[gnu::noinline]] FoundHost find_located(const char* begin, const char* end) noexcept {
    Authority authority;
    if (!locate_authority(begin, end, authority)) return {};
    return read_authority(begin, authority.begin, authority.from, end, authority.mode,
                          authority.ignored, false);
}

// The host of the first recipient of a "mailto:" URL, which starts at
// `start` in the text [begin, end).
[[gnu::noinline]] FoundHost find_recipient(const char* begin, const char* start,
                                           const char* end) noexcept {
    return read_authority(begin, start, start, end, Mode::mail, false, false);
}

// The short way to the host of a text that begins with "http://" or
// "https://", its authority starting at `host` and the text ending at `end`,
// its stops given by `stops`: a host of ASCII letters, digits, '-' and '.',
// an optional port, then '/', '?', '#' or the end. It reads no form of its own:
// each test below is read_authority's for such a text (the first stop of the
// authority, is_port, ends_in_number), and whatever it is not sure of
// (userinfo, an empty host, a '%', '\', TAB or byte above 0x7F in the host,
// a number-ended host that may be an IPv4 address) it leaves to the long
// way by finding nothing; `stop` is then where the long way goes on.
[[gnu::always_inline]] inline FoundHost read_plain_authority(const char* host, const char* end,
                                                             Stops<true>& stops,
                                                             const char*& stop) noexcept {
    stop = stops.next();
    const char* after = stop;
    if (after != end && *after == ':') {
        // The port's digits, which are no stops.
        do ++after;
        while (after != end && (byte_class(*after) & kDigit));
        if (!is_port(stop + 1, after, false)) return {};
    }
    if (after != end && !(byte_class(*after) & (kSlash | kQueryOrFragment))) return {};
    if (stop == host || ends_in_number(host, stop)) return {};
    return {host, static_cast<std::size_t>(stop - host), HostKind::domain, false};
}

// Which ways a search may take: the finder takes both; the tests compare
// each alone.
enum class Ways : std::uint8_t { both, long_only, short_only };

// The host of [begin, end), which holds no C0 control or space at either end
// and is not empty.
template <Ways kWays>
[[gnu::always_inline]] inline FoundHost find_in(const char* begin, const char* end) noexcept {
    // Most URLs begin with "http://", "https://" or "mailto:"; other text
    // that does not begin with a slash is an authority unless its first stop
    // says it begins with a scheme.
    Mode mode = Mode::special;
    const char* start = after_common_scheme(begin, end, mode);
    if (kWays == Ways::short_only && (start == nullptr || mode != Mode::special)) return {};
    if (mode == Mode::mail) return find_recipient(begin, start, end);
    if (start == nullptr && (byte_class(*begin) & (kSlash | kBackslash))) return find_located(begin, end);
    const char* host = start != nullptr ? start : begin;
    Stops<> stops(begin, host, end);
    // The short way for http and https but a host that begins with a digit,
    // as an IPv4 address does, or a bracket; where it is not sure, the long
    // way takes its stops on from where it stopped.
    if constexpr (kWays != Ways::long_only) {
        if (start != nullptr && !(byte_class(*start) & (kDigit | kOpen))) {
            Stops<true> plain(begin, start, end);
            const char* stop;
            const FoundHost found = read_plain_authority(start, end, plain, stop);
            if (kWays == Ways::short_only || found.kind() != HostKind::none) [[likely]] return found;
            stops = plain.long_stops(stop);
        } else if (kWays == Ways::short_only) {
            return {};
        }
    }
    return read_authority(begin, host, stops, end, Mode::special, false, start == nullptr);
}

template <Ways kWays>
[[gnu::noinline]] FoundHost find_in_or_ipv6(const char* begin, const char* end) noexcept {
    const FoundHost found = find_in<kWays>(begin, end);
    if (found.kind() != HostKind::none || !is_ipv6(begin, end)) return found;
    return make(begin, end, HostKind::ipv6, true);
}

bool is_space_or_control(char c) noexcept { return static_cast<unsigned char>(c) <= 0x20; }

// [begin, end) without the C0 controls and spaces at either end; false when
// nothing is left.
[[gnu::always_inline]] inline bool trim(const char*& begin, const char*& end) noexcept {
    if (begin == end) return false;
    // Most texts have none: two bytes tell.
    if (!is_space_or_control(*begin) && !is_space_or_control(end[-1])) return true;
    while (begin < end && is_space_or_control(*begin)) ++begin;
    while (end > begin && is_space_or_control(end[-1])) --end;
    return begin < end;
}

// What find_host() tries when the text is no URL, address or host: the whole
// text as an IPv6 address, and a mail header's "Name <address>" or a URL in
// angle brackets, the text between the last '<' and the '>' that ends it.
template <Ways kWays>
[[gnu::noinline]] FoundHost find_otherwise(const char* begin, const char* end) noexcept {
    if (is_ipv6(begin, end)) return make(begin, end, HostKind::ipv6, true);
    if (end[-1] != '>') return {};
    const char* open = end - 1;
    while (open > begin && open[-1] != '<') --open;
    const char* close = end - 1;
    if (open == begin || !trim(open, close)) return {};
    return find_in_or_ipv6<kWays>(open, close);
}

template <Ways kWays>
[[gnu::always_inline]] inline FoundHost find(std::string_view text) noexcept {
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (!trim(begin, end)) return {};
    const FoundHost found = find_in<kWays>(begin, end);
    if (kWays == Ways::short_only || found.kind() != HostKind::none) return found;
    return find_otherwise<kWays>(begin, end);
}

}  // namespace

namespace detail {

FoundHost find_short(std::string_view text) noexcept { return find<Ways::short_only>(text); }

FoundHost find_long(std::string_view text) noexcept { return find<Ways::long_only>(text); }

}  // namespace detail

FoundHost find_host(std::string_view text) noexcept { return find<Ways::both>(text); }

std::size_t copy_host(std::string_view text, char* out) noexcept {
    const char* const end = text.data() + text.size();
    std::size_t size = 0;
    for (const char* p = text.data(); p < end;) {
        if (const char* after = full_stop_end(p, end)) {
            out[size++] = '.';
            p = after;
            continue;
        }
        out[size] = *p;
        size += !is_ignored(*p++);
    }
    return size;
}

}  // namespace vexlo::host
