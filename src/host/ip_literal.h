// IP literals read from a host as the URL Standard's host parser reads them:
// a host whose last label is a number is an IPv4 address or nothing, and what
// stands between brackets is an IPv6 address or nothing. Each function reads
// [begin, end) only and passes over TAB, LF and CR as if they were absent; a
// host's labels are separated by '.' or by the full stops that the parser
// maps to '.' (byte_class.h).
#pragma once

#include "host/byte_class.h"

namespace vexlo::host::detail {

// Whether the last label, after one trailing dot is dropped, is a number:
// all ASCII digits, or "0x" or "0X" followed by hex digits (or by nothing).
// Such a host is never a domain. [begin, end) is non-empty and does not end in
// TAB, LF or CR.
bool last_label_is_number(const char* begin, const char* end) noexcept;

inline bool ends_in_number(const char* begin, const char* end) noexcept {
    // Most hosts end in a letter that no number ends in.
    const char last = end[-1];
    return ((byte_class(last) & (kHexDigit | kSeparatorLast)) || (last | 0x20) == 'x') &&
           last_label_is_number(begin, end);
}

// Whether [begin, end) is an IPv4 address in any form the URL Standard
// accepts: one to four numbers separated by dots (one trailing dot allowed),
// each decimal, hexadecimal after "0x" or octal after a leading '0', the last
// one below 256 to the power of the numbers missing plus one, the others
// below 256.
bool is_ipv4(const char* begin, const char* end) noexcept;

// Whether [begin, end) is an IPv6 address: eight groups of one to four hex
// digits separated by ':', or fewer with one "::", the last two groups
// possibly written as a dotted IPv4 address (four decimal numbers below 256
// without leading zeros).
bool is_ipv6(const char* begin, const char* end) noexcept;

}  // namespace vexlo::host::detail
