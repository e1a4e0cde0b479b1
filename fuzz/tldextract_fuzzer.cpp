// Arbitrary bytes through tldextract's answer (tldextract/host_split.h), as
// a URL and as a parsed URL's netloc, in both views, over the compiled list
// and over it with extra suffixes. The answer's parts are tldextract's
// split of one host: each lies inside it, the suffix and the registry suffix
// end it, the domain stands right before the suffix and the subdomain right
// before the domain.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <variant>

#include "invariant_check.h"
#include "rules/compiled_tables.h"
#include "tldextract/host_split.h"
#include "tldextract/suffix_rules.h"

namespace {

using vexlo::tldextract::HostParts;
using vexlo::tldextract::HostSplit;
using vexlo::tldextract::SuffixRules;
using vexlo::tldextract::TextKind;

bool inside(std::string_view part, std::string_view whole) {
    return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

const SuffixRules& rules(bool extras) {
    static const auto make = [](bool with) {
        static constexpr std::string_view kExtras[] = {"corp", "*.dev.corp", "!www.dev.corp",
                                                       "blogspot.com", "a.b.kobe.jp"};
        auto made = SuffixRules::make(vexlo::compiled_tables(),
                                      with ? std::span(kExtras) : std::span<const std::string_view>());
        return std::move(std::get<std::unique_ptr<SuffixRules>>(made));
    };
    static const std::unique_ptr<SuffixRules> plain = make(false), extended = make(true);
    return extras ? *extended : *plain;
}

void check(std::string_view text, TextKind kind, bool extras, bool include_private) {
    const SuffixRules& suffixes = rules(extras);
    const HostSplit split(text, kind, suffixes.tables(), suffixes.index().facts(include_private));
    const std::string_view host = split.host();
    const HostParts& p = split.parts();
    for (const std::string_view part : {p.subdomain, p.domain, p.suffix, p.registry_suffix}) {
        CHECK(inside(part, host), text);
    }
    CHECK(p.suffix.empty() || p.suffix.data() + p.suffix.size() == host.data() + host.size(), text);
    CHECK(p.registry_suffix.empty() || host.ends_with(p.registry_suffix), text);
    CHECK(p.is_private || p.registry_suffix.data() == p.suffix.data(), text);
    CHECK(!p.is_private || p.registry_suffix.size() < p.suffix.size(), text);
    if (!p.suffix.empty() && p.suffix.size() < host.size()) {
        CHECK(p.domain.data() + p.domain.size() + 1 == p.suffix.data(), text);
    }
    if (!p.subdomain.empty()) {
        CHECK(p.subdomain.data() == host.data(), text);
        CHECK(p.subdomain.data() + p.subdomain.size() + 1 == p.domain.data(), text);
    }
    CHECK(p.suffix.empty() || p.suffix.size() == host.size() || host[host.size() - p.suffix.size() - 1] == '.', text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const TextKind kind : {TextKind::kUrl, TextKind::kAuthority}) {
        for (const bool extras : {false, true}) {
            check(text, kind, extras, false);
            check(text, kind, extras, true);
        }
    }
    return 0;
}
