#include "host/find_host.h"

#include <cstring>

#include "host/byte_class.h"
#include "host/ip_literal.h"

namespace vexlo::host {
namespace {

using namespace detail;

// How an authority is read: where it ends, and what its host may be.
enum class Mode {
    special,  // http and the like, and text without a scheme: '\' ends it too
    file,     // as special, but no userinfo, no port, and "localhost" is no host
    other,    // any other scheme followed by "//": '\' is no part of a host
    mail,     // a mailto: recipient: up to ',', '?' or '#', and the host follows an '@'
};

constexpr std::uint16_t kSpecialEnd = kSlash | kQueryOrFragment | kBackslash;

constexpr std::uint16_t ends_of(Mode mode) noexcept {
    switch (mode) {
        case Mode::special:
        case Mode::file: return kSpecialEnd;
        case Mode::other: return kSlash | kQueryOrFragment;
        case Mode::mail: return kQueryOrFragment | kComma;
    }
    return kSpecialEnd;
}

FoundHost make(const char* begin, const char* end, HostKind kind, bool maybe_ignored) noexcept {
    bool has_ignored = false;
    if (maybe_ignored) {
        for (const char* p = begin; p < end && !has_ignored; ++p) has_ignored = is_ignored(*p);
    }
    return {{begin, static_cast<std::size_t>(end - begin)}, kind, has_ignored};
}

// ASCII digits (or none) up to `end`, at most 65535.
bool is_port(const char* p, const char* end) noexcept {
    unsigned value = 0;
    for (; p < end; ++p) {
        const std::uint16_t cls = byte_class(*p);
        if (cls & kIgnored) continue;
        if (!(cls & kDigit)) return false;
        value = value * 10 + static_cast<unsigned>(*p - '0');
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
// and ']'.
FoundHost read_host(const char* begin, const char* end, unsigned brackets, bool maybe_ignored,
                    Mode mode) noexcept {
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
    if (ends_in_number(begin, end)) {
        return is_ipv4(begin, end) ? make(begin, end, HostKind::ipv4, maybe_ignored) : FoundHost{};
    }
    if (mode == Mode::file && is_localhost(begin, end)) return {};
    return make(begin, end, HostKind::domain, maybe_ignored);
}

// The host of the authority that starts at `begin`. The scan starts at
// `from`: the bytes before it are known to be letters, digits, '+', '-', '.'
// or (when `ignored`) TAB, LF and CR.
FoundHost read_authority(const char* begin, const char* from, const char* end, Mode mode,
                         bool ignored) noexcept {
    const std::uint16_t ends = ends_of(mode);
    const std::uint16_t watched =
        ends | kAt | kColon | kOpen | kClose | kIgnored | kForbidden | kSpecialEnd;
    const char* host = begin;
    const char* colon = nullptr;
    unsigned brackets = 0;
    bool in_brackets = false, bad = false, at = false;
    const char* p = from;
    for (; p < end; ++p) {
        const std::uint16_t cls = byte_class(*p);
        if (!(cls & watched)) continue;
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
        } else {
            bad = true;  // forbidden, or a '/' or '\' that does not end this authority
        }
    }
    if (bad || (mode == Mode::mail && !at) || (mode == Mode::file && (at || colon != nullptr))) {
        return {};
    }
    if (colon != nullptr && !is_port(colon + 1, p)) return {};
    return read_host(host, colon != nullptr ? colon : p, brackets, ignored, mode);
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

enum class Scheme { special, file, mailto, other };

Scheme scheme_of(const char* name, std::size_t length) noexcept {
    const auto is = [&](const char* known) {
        return std::strlen(known) == length && std::memcmp(name, known, length) == 0;
    };
    if (is("http") || is("https") || is("ws") || is("wss") || is("ftp")) return Scheme::special;
    if (is("file")) return Scheme::file;
    if (is("mailto")) return Scheme::mailto;
    return Scheme::other;
}

// The next byte of [p, end) that is not TAB, LF or CR is in `cls`: then just
// after it, else null.
const char* after(const char* p, const char* end, std::uint16_t cls) noexcept {
    p = skip_ignored(p, end);
    return p < end && (byte_class(*p) & cls) ? p + 1 : nullptr;
}

// [begin, end) holds no C0 control or space at either end and is not empty.
FoundHost find_in(const char* begin, const char* end) noexcept {
    const std::uint16_t first = byte_class(*begin);
    if (first & (kSlash | kBackslash)) {
        if (*begin != '/') return {};
        const char* authority = after(begin + 1, end, kSlash);
        return authority != nullptr ? read_authority(authority, authority, end, Mode::special, false)
                                    : FoundHost{};
    }
    if (!(first & kAlpha)) return read_authority(begin, begin, end, Mode::special, false);

    // A scheme, or the start of a host. Only the first bytes of the name
    // matter: no known scheme is longer.
    char name[6];
    std::size_t length = 0;
    bool ignored = false;
    const char* p = begin;
    for (; p < end; ++p) {
        const std::uint16_t cls = byte_class(*p);
        if (cls & kSchemeChar) {
            if (length < sizeof name) name[length] = static_cast<char>(*p | ((cls & kAlpha) ? 0x20 : 0));
            ++length;
        } else if (cls & kIgnored) {
            ignored = true;
        } else {
            break;
        }
    }
    if (p == end || *p != ':') return read_authority(begin, p, end, Mode::special, ignored);

    const char* rest = p + 1;
    const Scheme scheme = length <= sizeof name ? scheme_of(name, length) : Scheme::other;
    switch (scheme) {
        case Scheme::special: {
            while (rest < end && (byte_class(*rest) & (kSlash | kBackslash | kIgnored))) ++rest;
            return read_authority(rest, rest, end, Mode::special, false);
        }
        case Scheme::file: {
            const char* slash = after(rest, end, kSlash | kBackslash);
            const char* authority = slash != nullptr ? after(slash, end, kSlash | kBackslash) : nullptr;
            return authority != nullptr ? read_authority(authority, authority, end, Mode::file, false)
                                        : FoundHost{};
        }
        case Scheme::mailto:
        case Scheme::other: break;
    }
    if (const char* slash = after(rest, end, kSlash)) {
        if (const char* authority = after(slash, end, kSlash)) {
            return read_authority(authority, authority, end, Mode::other, false);
        }
    }
    if (scheme == Scheme::mailto) return read_authority(rest, rest, end, Mode::mail, false);
    if (is_port_then_end(rest, end)) return read_authority(begin, p, end, Mode::special, ignored);
    return {};
}

// find_in(), and else the whole text as an IPv6 address without brackets.
FoundHost find_in_or_ipv6(const char* begin, const char* end) noexcept {
    const FoundHost found = find_in(begin, end);
    if (found.kind != HostKind::none || !is_ipv6(begin, end)) return found;
    return make(begin, end, HostKind::ipv6, true);
}

bool is_space_or_control(char c) noexcept { return static_cast<unsigned char>(c) <= 0x20; }

// [begin, end) without the C0 controls and spaces at either end; false when
// nothing is left.
bool trim(const char*& begin, const char*& end) noexcept {
    while (begin < end && is_space_or_control(*begin)) ++begin;
    while (end > begin && is_space_or_control(end[-1])) --end;
    return begin < end;
}

}  // namespace

FoundHost find_host(std::string_view text) noexcept {
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (!trim(begin, end)) return {};
    const FoundHost found = find_in_or_ipv6(begin, end);
    if (found.kind != HostKind::none || end[-1] != '>') return found;
    // A mail header's "Name <address>", or a URL in angle brackets.
    const char* open = end - 1;
    while (open > begin && open[-1] != '<') --open;
    if (open == begin) return found;
    const char* inner_end = end - 1;
    if (!trim(open, inner_end)) return found;
    return find_in_or_ipv6(open, inner_end);
}

std::size_t copy_without_tab_or_newline(std::string_view host, char* out) noexcept {
    std::size_t size = 0;
    for (const char c : host) {
        out[size] = c;
        size += !is_ignored(c);
    }
    return size;
}

}  // namespace vexlo::host
