// Arbitrary bytes through the host finder, checked against a slow reading of
// the same rules written apart from it: the TAB, LF and CR taken out first,
// then std::string searches instead of one scan, and the full stops of a host
// replaced by '.' before it is read. The finder's short way, where it
// answers, gives what its long way gives, to the byte and the flag. Also: the
// host found lies inside the text, a domain holds nothing that ends or splits
// an authority, each kind holds only the bytes its literals are made of, and
// a host found is found again, alike, in itself.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/find_host.h"
#include "invariant_check.h"

namespace {

using vexlo::host::FoundHost;
using vexlo::host::HostKind;

struct Answer {
    HostKind kind = HostKind::none;
    std::string host;
};

enum class Mode { special, file, other, mail };

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_hex(char c) { return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool is_alpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool all_of(const std::string& s, bool (*test)(char)) {
    for (char c : s) {
        if (!test(c)) return false;
    }
    return true;
}
std::string lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return s;
}
bool starts_with_0x(const std::string& s) { return s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X'); }

std::string trim(const std::string& s) {
    std::size_t begin = 0, end = s.size();
    while (begin < end && static_cast<unsigned char>(s[begin]) <= 0x20) ++begin;
    while (end > begin && static_cast<unsigned char>(s[end - 1]) <= 0x20) --end;
    return s.substr(begin, end - begin);
}

std::vector<std::string> split(const std::string& s, char separator) {
    std::vector<std::string> parts(1);
    for (char c : s) {
        if (c == separator) {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

bool ends_in_number(const std::string& host) {
    std::vector<std::string> parts = split(host, '.');
    if (parts.back().empty()) {
        if (parts.size() == 1) return false;
        parts.pop_back();
    }
    const std::string& last = parts.back();
    if (!last.empty() && all_of(last, is_digit)) return true;
    return starts_with_0x(last) && all_of(last.substr(2), is_hex);
}

// An IPv4 number, or -1.
long long ipv4_number(const std::string& part) {
    if (part.empty()) return -1;
    std::string digits = part;
    int radix = 10;
    if (starts_with_0x(part)) {
        digits = part.substr(2);
        radix = 16;
    } else if (part.size() >= 2 && part[0] == '0') {
        digits = part.substr(1);
        radix = 8;
    }
    long long value = 0;
    for (char c : digits) {
        const int digit = is_digit(c) ? c - '0' : is_hex(c) ? (c | 0x20) - 'a' + 10 : 99;
        if (digit >= radix) return -1;
        value = value * radix + digit;
        if (value > (1LL << 40)) value = 1LL << 40;
    }
    return value;
}

bool is_ipv4(const std::string& host) {
    std::vector<std::string> parts = split(host, '.');
    if (parts.back().empty() && parts.size() > 1) parts.pop_back();
    if (parts.size() > 4) return false;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const long long n = ipv4_number(parts[i]);
        if (n < 0) return false;
        if (i + 1 < parts.size() ? n > 255 : n >= (1LL << (8 * (5 - parts.size())))) return false;
    }
    return true;
}

// Four decimal numbers below 256 without leading zeros.
bool is_dotted_quad(const std::string& s) {
    const std::vector<std::string> parts = split(s, '.');
    if (parts.size() != 4) return false;
    for (const std::string& part : parts) {
        if (part.empty() || part.size() > 3 || !all_of(part, is_digit)) return false;
        if (part.size() > 1 && part[0] == '0') return false;
        if (std::stoi(part) > 255) return false;
    }
    return true;
}

// How many 16-bit groups ':'-separated text stands for, or -1.
int group_count(const std::string& s, bool last_may_be_ipv4) {
    if (s.empty()) return 0;
    const std::vector<std::string> groups = split(s, ':');
    int count = 0;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        const std::string& group = groups[i];
        if (last_may_be_ipv4 && i + 1 == groups.size() && group.find('.') != std::string::npos) {
            if (!is_dotted_quad(group)) return -1;
            count += 2;
        } else if (group.empty() || group.size() > 4 || !all_of(group, is_hex)) {
            return -1;
        } else {
            ++count;
        }
    }
    return count;
}

bool is_ipv6(const std::string& s) {
    const std::size_t gap = s.find("::");
    if (gap == std::string::npos) return group_count(s, true) == 8;
    if (s.find("::", gap + 1) != std::string::npos) return false;
    const int left = group_count(s.substr(0, gap), false);
    const int right = group_count(s.substr(gap + 2), true);
    return left >= 0 && right >= 0 && left + right <= 7;
}

// U+3002, U+FF0E and U+FF61 as '.'.
std::string map_full_stops(std::string host) {
    for (const char* stop : {"\xE3\x80\x82", "\xEF\xBC\x8E", "\xEF\xBD\xA1"}) {
        for (std::size_t at; (at = host.find(stop)) != std::string::npos;) host.replace(at, 3, ".");
    }
    return host;
}

Answer read_host(const std::string& written, Mode mode) {
    if (written.empty()) return {};
    const std::string host = written.find_first_of("[]") != std::string::npos ? written : map_full_stops(written);
    if (host.find_first_of("[]") != std::string::npos) {
        const std::string inner = host.substr(1, host.size() - 2);
        if (host.size() < 2 || host.front() != '[' || host.back() != ']' ||
            inner.find_first_of("[]") != std::string::npos || !is_ipv6(inner)) {
            return {};
        }
        return {HostKind::ipv6, inner};
    }
    for (char c : host) {
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F || std::string_view("%<>^|\\/").find(c) != std::string_view::npos) return {};
    }
    if (ends_in_number(host)) return is_ipv4(host) ? Answer{HostKind::ipv4, host} : Answer{};
    if (mode == Mode::file && lower(host) == "localhost") return {};
    return {HostKind::domain, host};
}

Answer read_authority(const std::string& text, Mode mode) {
    const char* ends = mode == Mode::other ? "/?#" : mode == Mode::mail ? "?#," : "/?#\\";
    const std::string authority = text.substr(0, text.find_first_of(ends));
    const std::size_t at = authority.rfind('@');
    if ((mode == Mode::mail && at == std::string::npos) || (mode == Mode::file && at != std::string::npos)) {
        return {};
    }
    const std::string host_and_port = at == std::string::npos ? authority : authority.substr(at + 1);
    std::size_t colon = std::string::npos;
    bool in_brackets = false;
    for (std::size_t i = 0; i < host_and_port.size() && colon == std::string::npos; ++i) {
        if (host_and_port[i] == '[') in_brackets = true;
        if (host_and_port[i] == ']') in_brackets = false;
        if (host_and_port[i] == ':' && !in_brackets) colon = i;
    }
    if (colon != std::string::npos) {
        if (mode == Mode::file) return {};
        const std::string port = host_and_port.substr(colon + 1);
        if (!all_of(port, is_digit)) return {};
        const std::size_t significant = port.find_first_not_of('0');
        if (significant != std::string::npos &&
            (port.size() - significant > 5 || std::stol(port.substr(significant)) > 65535)) {
            return {};
        }
    }
    return read_host(host_and_port.substr(0, colon), mode);
}

Answer find_in(const std::string& s) {
    if (s[0] == '/') return s.size() >= 2 && s[1] == '/' ? read_authority(s.substr(2), Mode::special) : Answer{};
    if (s[0] == '\\') return {};
    if (!is_alpha(s[0])) return read_authority(s, Mode::special);
    std::size_t colon = 0;
    while (colon < s.size() && (is_alpha(s[colon]) || is_digit(s[colon]) || s[colon] == '+' ||
                                s[colon] == '-' || s[colon] == '.')) {
        ++colon;
    }
    if (colon == s.size() || s[colon] != ':') return read_authority(s, Mode::special);
    const std::string scheme = lower(s.substr(0, colon));
    const std::string rest = s.substr(colon + 1);
    if (scheme == "http" || scheme == "https" || scheme == "ws" || scheme == "wss" || scheme == "ftp") {
        const std::size_t authority = rest.find_first_not_of("/\\");
        return read_authority(authority == std::string::npos ? "" : rest.substr(authority), Mode::special);
    }
    if (scheme == "file") {
        const bool slashes = rest.size() >= 2 && (rest[0] == '/' || rest[0] == '\\') &&
                             (rest[1] == '/' || rest[1] == '\\');
        return slashes ? read_authority(rest.substr(2), Mode::file) : Answer{};
    }
    if (rest.rfind("//", 0) == 0) return read_authority(rest.substr(2), Mode::other);
    if (scheme == "mailto") return read_authority(rest, Mode::mail);
    const std::size_t digits = rest.find_first_not_of("0123456789");
    if (!rest.empty() && digits != 0 && (digits == std::string::npos || std::string("/?#\\").find(rest[digits]) != std::string::npos)) {
        return read_authority(s, Mode::special);
    }
    return {};
}

Answer find_in_or_ipv6(const std::string& s) {
    const Answer answer = find_in(s);
    if (answer.kind == HostKind::none && is_ipv6(s)) return {HostKind::ipv6, s};
    return answer;
}

Answer reference(std::string_view input) {
    std::string text;
    for (char c : trim(std::string(input))) {
        if (c != '\t' && c != '\n' && c != '\r') text += c;
    }
    if (text.empty()) return {};
    const Answer answer = find_in_or_ipv6(text);
    if (answer.kind != HostKind::none || text.back() != '>') return answer;
    const std::size_t open = text.rfind('<', text.size() - 2);
    if (open == std::string::npos || open + 1 == text.size()) return answer;
    const std::string inner = trim(text.substr(open + 1, text.size() - open - 2));
    return inner.empty() ? Answer{} : find_in_or_ipv6(inner);
}

bool is_tab_or_newline(char c) { return c == '\t' || c == '\n' || c == '\r'; }

std::string host_of(const FoundHost& found) {
    std::string host(found.text().size(), '\0');
    host.resize(vexlo::host::copy_host(found.text(), host.data()));
    return host;
}

bool same(const FoundHost& a, const FoundHost& b) {
    return a.kind() == b.kind() && a.text().data() == b.text().data() &&
           a.text().size() == b.text().size() && a.needs_copy() == b.needs_copy();
}

void check(std::string_view input) {
    const FoundHost found = vexlo::host::find_host(input);
    const FoundHost long_way = vexlo::host::detail::find_long(input);
    CHECK(same(found, long_way), input);
    const FoundHost short_way = vexlo::host::detail::find_short(input);
    CHECK(short_way.kind() == HostKind::none || same(short_way, long_way), input);
    const std::string host = host_of(found);
    const Answer expected = reference(input);
    CHECK(found.kind() == expected.kind, input);
    CHECK(host == expected.host, input);
    if (found.kind() == HostKind::none) {
        CHECK(found.text().empty() && !found.needs_copy(), input);
        return;
    }
    CHECK(!found.text().empty(), input);
    CHECK(found.text().data() >= input.data(), input);
    CHECK(found.text().data() + found.text().size() <= input.data() + input.size(), input);
    CHECK(!is_tab_or_newline(found.text().front()) && !is_tab_or_newline(found.text().back()), input);
    CHECK(found.needs_copy() == (host.size() != found.text().size()), input);
    switch (found.kind()) {
        case HostKind::domain:
            CHECK(host.find_first_of("/?#@[]:\\%<>^| ") == std::string::npos, input);
            CHECK(!ends_in_number(host), input);
            break;
        case HostKind::ipv4:
            CHECK(host.find_first_not_of("0123456789abcdefABCDEFxX.") == std::string::npos, input);
            break;
        case HostKind::ipv6:
            CHECK(host.find_first_not_of("0123456789abcdefABCDEF:.") == std::string::npos, input);
            break;
        case HostKind::none: break;
    }
    // A host is its own host.
    const FoundHost again = vexlo::host::find_host(host);
    CHECK(again.kind() == found.kind() && again.text() == host, input);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    check({reinterpret_cast<const char*>(data), size});
    return 0;
}
