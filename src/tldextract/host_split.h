// tldextract's answer for one text: the host cut from it as tldextract cuts
// it (url_cut.h), its full stops read as '.', then split as tldextract's
// _extract_netloc splits it: an IPv6 address in brackets, or else the labels
// matched by its matcher (suffix_index.h), or else an IPv4 address, or else
// no suffix, the last label the domain.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "rules/rule_tables.h"

namespace vexlo::tldextract {

// The fields of an ExtractResult, views into the text or the host copied.
struct HostParts {
    std::string_view subdomain;
    std::string_view domain;
    std::string_view suffix;
    std::string_view registry_suffix;
    bool is_private = false;
};

enum class TextKind : std::uint8_t {
    kUrl,        // anything: a URL, a host name, an e-mail address (extract_str)
    kAuthority,  // the netloc of a parsed URL (extract_urllib)
};

class HostSplit {
public:
    // `text` (UTF-8) and `tables` must outlive this object; `facts` is a
    // view of a SuffixIndex of `tables`.
    HostSplit(std::string_view text, TextKind kind, const RuleTables& tables,
              const std::uint8_t* facts);

    HostSplit(const HostSplit&) = delete;
    HostSplit& operator=(const HostSplit&) = delete;

    const HostParts& parts() const noexcept { return parts_; }
    // The host the parts are cut from: a view into the text, or into this
    // object when it held a full stop.
    std::string_view host() const noexcept { return host_; }

private:
    std::string copy_;
    std::string_view host_;
    HostParts parts_;
};

}  // namespace vexlo::tldextract
