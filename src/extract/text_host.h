// How extract reads the host of a text, for one text and for a batch alike:
// the host as vexlo.host finds it, and the record's host when it has no
// match (an IP literal, or a name with an empty label).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/find_host.h"
#include "normalize/owned_text.h"

namespace vexlo {

struct TextHost {
    enum class Kind : std::uint8_t {
        kNone,  // no host: every field of the record is none
        kBare,  // an IP literal kept by keep_ip: the host is the only field
        kName,  // a name, to be matched
    };
    Kind kind;
    std::string_view host;  // inside the text, or in the caller's `copy`
};

// `host` as it reads (host::copy_host), in `copy`.
std::string_view copied_host(std::string_view host, std::string& copy);

// The host of `text`. A host written with TAB, LF or CR in it, or with full
// stops, is copied into `copy` as it reads. Inline: a batch asks it of every
// text.
inline TextHost host_of_text(std::string_view text, bool keep_ip, std::string& copy) {
    const host::FoundHost found = host::find_host(text);
    if (!host::is_answer(found, keep_ip)) return {TextHost::Kind::kNone, {}};
    std::string_view host = found.text();
    if (found.needs_copy()) [[unlikely]] host = copied_host(host, copy);
    return {found.kind() == host::HostKind::domain ? TextHost::Kind::kName : TextHost::Kind::kBare, host};
}

// The record's host for a host without a match: less one root dot,
// lowercased into `lowered` unless keep_case.
std::string_view unmatched_host(std::string_view host, bool keep_case, OwnedText& lowered);

}  // namespace vexlo
