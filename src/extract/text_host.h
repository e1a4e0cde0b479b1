// How extract reads the host of a text, for one text and for a batch alike:
// the host as vexlo.host finds it, and the record's host when it has no
// match (an IP literal, or a name with an empty label).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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

// The host of `text`. A host written with TAB, LF or CR in it is copied
// into `copy` without them.
TextHost host_of_text(std::string_view text, bool keep_ip, std::string& copy);

// The record's host for a host without a match: less one root dot,
// lowercased into `lowered` unless keep_case.
std::string_view unmatched_host(std::string_view host, bool keep_case, OwnedText& lowered);

}  // namespace vexlo
