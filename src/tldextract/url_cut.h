// tldextract's cut of a URL: the host as its lenient_netloc and
// _host_from_authority find it, byte for byte on the UTF-8 of the text.
// Lenient on purpose: no character is refused, no scheme is special.
//
//   scheme://     dropped only when what stands before "//" is a scheme
//                 (ASCII letters, digits, '+', '-', '.'), and "//" at the
//                 very start too; otherwise the text is read from its start
//   authority     up to the first '/', '?' or '#'
//   userinfo@     up to the last '@' of the authority
//   [ ... ]       a host that starts with '[' and holds a ']' ends there,
//                 brackets kept, with nothing stripped
//   host:port     otherwise the host ends at the first ':', is stripped of
//                 Python's white space at both ends, then of every trailing
//                 '.', U+3002, U+FF0E and U+FF61
//
// Python's white space is what str.isspace() says of CPython 3.13's
// Unicode 15.1: TAB to CR, U+001C to U+0020, U+0085, U+00A0, U+1680, U+2000
// to U+200A, U+2028, U+2029, U+202F, U+205F and U+3000.
#pragma once

#include <string_view>

namespace vexlo::tldextract {

// The host of a URL-like text, a view into it.
std::string_view lenient_netloc(std::string_view url) noexcept;

// The host of an authority ([userinfo@]host[:port]), as urllib.parse gives
// it in a SplitResult's netloc: a view into it.
std::string_view host_from_authority(std::string_view authority) noexcept;

// Whether `text` holds one of the full stops U+3002, U+FF0E, U+FF61, which
// tldextract reads as '.'.
bool holds_full_stop(std::string_view text) noexcept;

// Writes `text` to `out` (room for text.size() bytes) with '.' for each full
// stop; returns how many bytes it wrote.
std::size_t replace_full_stops(std::string_view text, char* out) noexcept;

}  // namespace vexlo::tldextract
