// Finding the host name in a URL, an e-mail address or a bare host, as the
// text was written: vexlo.host(), vexlo.columns.host() and the command line's
// --urls all ask this one finder. docs/hosts.md says the same for users.
//
// What is read, after leading and trailing C0 controls and spaces (bytes up
// to 0x20) are dropped; TAB, LF and CR anywhere else are read as if absent,
// as a browser reads a URL:
//
//   scheme://[userinfo@]host[:port][/path][?query][#fragment]
//       Any scheme. The userinfo ends at the last '@' of the authority; the
//       authority ends at '/', '?', '#' or the end, and at '\' too for the
//       special schemes http, https, ws, wss, ftp and file. A port is ASCII
//       digits (none at all is allowed) and at most 65535.
//   http:host, https:\\host, http:///host
//       The special schemes but file take any run of '/' and '\' after the
//       colon, none included. file takes exactly two, then a host without
//       userinfo or port; "localhost" there means no host (file:///x).
//   //host/path
//       Scheme-relative: read as with http.
//   [userinfo@]host[:port][/path...]
//       No scheme: read as with http. Text that starts like a scheme ("name:")
//       is a host and port when the colon is followed by at least one digit
//       and nothing but digits up to the end of the authority
//       (localhost:8080, example.com:8080/x); otherwise it is a scheme
//       without an authority, and has no host (urn:isbn:123, user:pw@host).
//   alice@mail.example.co.uk
//       An e-mail address is an authority with userinfo: the host follows
//       the last '@'.
//   mailto:alice@example.com?subject=x
//       The first recipient, up to ',', '?' or '#'; the host follows its
//       last '@', and a recipient without '@' has none.
//   Alice <alice@example.com>, <https://example.com/>
//       Text ending in '>' that gives no host otherwise is read again between
//       its last '<' and that '>'.
//   2001:db8::1
//       A whole text that gives no host otherwise but is an IPv6 address.
//
// U+3002, U+FF0E and U+FF61, the full stops that the URL Standard's host
// parser maps to '.', separate a host's labels as '.' does: the host is
// returned with '.' in their place, and read so for the IPv4 test below.
//
// The host is otherwise returned as written: no lowercasing, no other IDNA
// mapping, no percent-decoding, a trailing dot kept. It is an IPv4 literal
// when its last label, after one trailing dot is dropped, is a number (all
// ASCII digits, or "0x"/"0X" and hex digits), and then the whole host must be
// an IPv4 address in one of the URL Standard's forms (0x7f.1, 017.0.0.1,
// 2130706433) or there is no host; it is an IPv6 literal between brackets,
// returned without them.
// Whatever the scheme, such a host is never a domain. No host at all: an
// empty host, a scheme without "//" (but mailto), a host holding a C0
// control, space, '%' (a percent-encoded host is not decoded, and as written
// it is not the host the URL reaches), '<', '>', '^', '|', DEL, '[' or ']'
// (but around one IPv6 literal), '\' where it does not end the authority, a
// bad port, brackets around no valid IPv6 address, a number-ended host that
// is no IPv4 address.
//
// The common URL, "http://" or "https://" (any case), a host of ASCII
// letters, digits, '-' and '.' that neither begins with a digit nor ends in
// a number, an optional port, then '/', '?', '#' or the end, is read a short
// way first: its first eight bytes at once, the host thirty-two bytes at a
// time up to the first byte that is none of those, the port's digits. At
// any byte the short way is not sure of, the long way goes on from there,
// scanning none of the bytes before it again; any other text goes the long
// way from the start.
// The long way reads every form above, and gives the same host for a text
// the short way reads: the authority is scanned forwards once, sixteen
// bytes at a time, up to its end (the path and what follows it are not
// read); the last label is read again, the host once more when the
// authority holds TAB, LF, CR or a byte above 0x7F (which a full stop is
// made of), and the whole text at most twice more when it names a scheme
// other than http, https and mailto or gives no host at first. No
// allocation; no byte outside the text is read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vexlo::host {

enum class HostKind : std::uint8_t { none, domain, ipv4, ipv6 };

// Sixteen bytes, so that it comes back in two registers: a host found in a
// tight loop is then read without a round trip through memory.
class FoundHost {
public:
    constexpr FoundHost() noexcept = default;
    FoundHost(const char* begin, std::size_t size, HostKind kind, bool needs_copy) noexcept
        : begin_(begin),
          size_and_facts_(size | std::uint64_t{static_cast<std::uint8_t>(kind)} << kKindShift |
                          std::uint64_t{needs_copy} << kCopyShift) {}

    // Inside the text given, without brackets; empty when kind() is none. Its
    // first and last bytes are never TAB, LF or CR.
    std::string_view text() const noexcept { return {begin_, size_and_facts_ & kSizeMask}; }
    HostKind kind() const noexcept {
        return static_cast<HostKind>((size_and_facts_ >> kKindShift) & 3);
    }
    // text() is not the host byte for byte: it holds TAB, LF or CR, which are
    // no part of the host, or full stops, which are '.' in it. copy_host()
    // gives the host itself.
    bool needs_copy() const noexcept { return (size_and_facts_ >> kCopyShift) & 1; }

private:
    // No text in memory comes near 2^56 bytes: the top byte holds the rest.
    static constexpr unsigned kKindShift = 56, kCopyShift = 58;
    static constexpr std::uint64_t kSizeMask = (std::uint64_t{1} << kKindShift) - 1;
    const char* begin_ = nullptr;
    std::uint64_t size_and_facts_ = 0;
};

FoundHost find_host(std::string_view text) noexcept;

// Writes the host that `text` (a FoundHost's text()) holds to `out`, which
// has room for text.size() bytes: without TAB, LF and CR, and with '.' for
// each full stop. Returns how many bytes it wrote.
std::size_t copy_host(std::string_view text, char* out) noexcept;

namespace detail {

// The finder's two ways apart, for the tests and the fuzzer that prove them
// alike: find_host() gives what find_short() gives, and what find_long()
// gives where that finds nothing. find_short() gives a domain or nothing
// (not sure: the long way's to read); find_long() reads every text.
FoundHost find_short(std::string_view text) noexcept;
FoundHost find_long(std::string_view text) noexcept;

}  // namespace detail

// Whether vexlo.host() answers with this host: a domain always, an IP
// literal only when the caller keeps them.
inline bool is_answer(const FoundHost& found, bool keep_ip) noexcept {
    return found.kind() == HostKind::domain || (keep_ip && found.kind() != HostKind::none);
}

}  // namespace vexlo::host
