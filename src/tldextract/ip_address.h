// tldextract's tests of IP addresses, on the UTF-8 of a text. They are not
// the URL Standard's (host/ip_literal.h): tldextract asks Python's own.
#pragma once

#include <string_view>

namespace vexlo::tldextract {

// Four decimal numbers below 256 joined by '.', each "0" or without a
// leading zero: tldextract's looks_like_ip, which is also what Python's
// ipaddress.IPv4Address takes.
bool looks_like_ipv4(std::string_view text) noexcept;

// What Python's ipaddress.IPv6Address takes (tldextract's looks_like_ipv6):
// hextets of one to four ASCII hex digits, eight of them or fewer with one
// "::", the last two possibly written as a dotted IPv4 address; then
// possibly '%' and a scope of any characters but '%'. No '/' anywhere.
bool looks_like_ipv6(std::string_view text) noexcept;

}  // namespace vexlo::tldextract
