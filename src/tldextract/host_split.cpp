#include "tldextract/host_split.h"

#include <bit>

#include "common/dots.h"
#include "common/simd.h"
#include "normalize/normalize.h"
#include "normalize/utf8_check.h"
#include "tldextract/ip_address.h"
#include "tldextract/suffix_index.h"
#include "tldextract/url_cut.h"

namespace vexlo::tldextract {
namespace {

// The host's labels: how many, and where the rightmost ones that are not
// empty begin (after the last dot that begins the host or follows another;
// the host never ends in a dot, its cut strips them).
struct LabelCount {
    std::size_t labels;
    std::size_t tail;
};

LabelCount count_labels(std::string_view host, std::uint64_t dots) noexcept {
    if (host.size() <= kDotBitmapBytes) {
        // Dots at the start or after another dot.
        const std::uint64_t empty_before = dots & ((dots << 1) | 1);
        return {simd::count_bits(dots) + 1,
                empty_before == 0 ? 0 : static_cast<std::size_t>(std::bit_width(empty_before))};
    }
    LabelCount count{1, 0};
    for (std::size_t i = 0; i < host.size(); ++i) {
        if (host[i] != '.') continue;
        ++count.labels;
        if (i == 0 || host[i - 1] == '.') count.tail = i + 1;
    }
    return count;
}

}  // namespace

HostSplit::HostSplit(std::string_view text, TextKind kind, const RuleTables& tables,
                     const std::uint8_t* facts) {
    const std::string_view netloc =
        kind == TextKind::kUrl ? lenient_netloc(text) : host_from_authority(text);
    host_ = netloc;
    if (!is_ascii(netloc) && holds_full_stop(netloc)) [[unlikely]] {
        copy_.resize(netloc.size());
        copy_.resize(replace_full_stops(netloc, copy_.data()));
        host_ = copy_;
    }
    const std::string_view host = host_;
    const std::string_view none = host.substr(0, 0);
    // An IPv6 address in brackets is the domain, brackets and all.
    if (host.size() >= 4 && host.front() == '[' && host.back() == ']' &&
        looks_like_ipv6(host.substr(1, host.size() - 2))) {
        parts_ = {none, host, none, none, false};
        return;
    }
    const std::uint64_t dots = dot_bitmap(host.data(), host.size());
    const auto [label_count, tail] = count_labels(host, dots);
    SuffixMatch match;
    if (tail < host.size() && host.back() != '.') {
        NormalizedDomain labels;
        // Never false: the tail is not empty and holds no empty label.
        if (normalize_domain_into(host.substr(tail), labels)) {
            match = suffix_match(tables, facts, labels.lowered.view(), labels.dots,
                                 labels.label_count, tail != 0);
        }
    }
    const auto labels_from = [&](std::size_t count) {
        return count == 0 ? host.size() : rightmost_labels_start(host.data(), host.size(), dots, count);
    };
    if (!match.found) {
        // No suffix: a dotted IPv4 address is the domain; otherwise the last
        // label is, and every label before it the subdomain.
        if (label_count == 4 && looks_like_ipv4(host)) {
            parts_ = {none, host, none, none, false};
            return;
        }
        const std::size_t last = labels_from(1);
        parts_ = {host.substr(0, last == 0 ? 0 : last - 1), host.substr(last), host.substr(host.size()),
                  host.substr(host.size()), false};
        return;
    }
    // The suffix's labels, the one label before them, and the rest.
    const std::size_t suffix_start = labels_from(match.suffix_labels);
    parts_.suffix = host.substr(suffix_start);
    parts_.is_private = match.is_private;
    parts_.registry_suffix =
        match.is_private ? host.substr(labels_from(match.registry_labels)) : parts_.suffix;
    if (match.suffix_labels == label_count) {
        parts_.domain = parts_.subdomain = none;
        return;
    }
    const std::size_t domain_start = labels_from(match.suffix_labels + 1);
    const std::size_t domain_end = match.suffix_labels == 0 ? host.size() : suffix_start - 1;
    parts_.domain = host.substr(domain_start, domain_end - domain_start);
    parts_.subdomain = host.substr(0, domain_start == 0 ? 0 : domain_start - 1);
}

}  // namespace vexlo::tldextract
