// tldextract's split of a host over a small list of its own, in both views:
// the expected parts are tldextract 5.4.0's answers for the same list. Its
// quirks are here one by one (the wildcard's parent, an exception's label
// spelled out, a key that blocks a wildcard in one view only, empty labels,
// the registry suffix of a private rule); the differential against
// tldextract itself runs over the published list, in the Python tests.
#include "tldextract/host_split.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <variant>

#include "../list_file/list_text.h"
#include "list_file/loaded_list.h"
#include "../param_names.h"
#include "rules/compiled_tables.h"
#include "tldextract/suffix_rules.h"

namespace vexlo::tldextract {
namespace {

struct Parts {
    std::string subdomain, domain, suffix, registry_suffix;
    bool is_private;
    bool operator==(const Parts&) const = default;
    friend void PrintTo(const Parts& p, std::ostream* out) {
        *out << '{' << p.subdomain << ", " << p.domain << ", " << p.suffix << ", "
             << p.registry_suffix << ", " << p.is_private << '}';
    }
};

struct SplitCase {
    const char* text;
    bool include_private;
    Parts parts;
    friend void PrintTo(const SplitCase& c, std::ostream* out) {
        *out << c.text << (c.include_private ? " private" : "");
    }
};

Parts split(std::string_view text, const SuffixRules& rules, bool include_private,
            TextKind kind = TextKind::kUrl) {
    const HostSplit split(text, kind, rules.tables(), rules.index().facts(include_private));
    const HostParts& p = split.parts();
    return {std::string(p.subdomain), std::string(p.domain), std::string(p.suffix),
            std::string(p.registry_suffix), p.is_private};
}

const std::string& mini_list() {
    static const std::string text = testing::icann_list(
        {"jp", "kobe.jp", "*.kobe.jp", "!city.kobe.jp", "*.sendai.jp", "!city.sendai.jp", "com",
         "io", "uk", "co.uk", "cn", "公司.cn", "*.ck", "!www.ck"},
        {"github.io", "blogspot.com", "x.y.kobe.jp", "*.priv.jp", "!ex.priv.jp", "*.pub.jp"});
    return text;
}

std::unique_ptr<SuffixRules> rules_with(const RuleTables& base,
                                        std::span<const std::string_view> extras) {
    auto made = SuffixRules::make(base, extras);
    if (std::holds_alternative<std::string>(made)) {
        ADD_FAILURE() << std::get<std::string>(made);
        return nullptr;
    }
    return std::move(std::get<std::unique_ptr<SuffixRules>>(made));
}

class MiniList : public ::testing::TestWithParam<SplitCase> {
protected:
    static void SetUpTestSuite() {
        loaded_ = list_file::load_list(mini_list()).list;
        rules_ = rules_with(loaded_->tables.tables(), {});
    }
    static void TearDownTestSuite() {
        rules_.reset();
        loaded_.reset();
    }
    static inline std::unique_ptr<list_file::LoadedList> loaded_;
    static inline std::unique_ptr<SuffixRules> rules_;
};

TEST_P(MiniList, SplitsAsTldextract) {
    ASSERT_NE(rules_, nullptr);
    EXPECT_EQ(split(GetParam().text, *rules_, GetParam().include_private), GetParam().parts);
}

INSTANTIATE_TEST_SUITE_P(
    Quirks, MiniList,
    ::testing::Values(
        SplitCase{"https://alice@Shop.Example.CO.UK:8443/cart?x#y", false, {"Shop", "Example", "CO.UK", "CO.UK", false}},
        SplitCase{"sendai.jp", true, {"", "sendai", "jp", "jp", false}},
        SplitCase{"a.b.sendai.jp", true, {"", "a", "b.sendai.jp", "b.sendai.jp", false}},
        SplitCase{"www.city.kobe.jp", true, {"www", "city", "kobe.jp", "kobe.jp", false}},
        SplitCase{"kobe.jp", false, {"", "", "kobe.jp", "kobe.jp", false}},
        SplitCase{"q.y.kobe.jp", false, {"", "q", "y.kobe.jp", "y.kobe.jp", false}},
        SplitCase{"q.y.kobe.jp", true, {"q", "y", "kobe.jp", "kobe.jp", false}},
        SplitCase{"a.x.y.kobe.jp", false, {"a", "x", "y.kobe.jp", "y.kobe.jp", false}},
        SplitCase{"a.x.y.kobe.jp", true, {"", "a", "x.y.kobe.jp", "kobe.jp", true}},
        SplitCase{"*.kobe.jp", false, {"", "", "*.kobe.jp", "*.kobe.jp", false}},
        SplitCase{"x.!CITY.kobe.jp", true, {"", "x", "!CITY.kobe.jp", "!CITY.kobe.jp", false}},
        SplitCase{"a..b.kobe.jp", false, {"a", "", "b.kobe.jp", "b.kobe.jp", false}},
        SplitCase{".kobe.jp", true, {"", "", ".kobe.jp", ".kobe.jp", false}},
        SplitCase{"example..com", false, {"example", "", "com", "com", false}},
        SplitCase{"foo.bar.github.io", false, {"foo.bar", "github", "io", "io", false}},
        SplitCase{"foo.bar.github.io", true, {"foo", "bar", "github.io", "io", true}},
        SplitCase{"github.io", true, {"", "", "github.io", "io", true}},
        SplitCase{"a.ex.priv.jp", false, {"a.ex", "priv", "jp", "jp", false}},
        SplitCase{"a.ex.priv.jp", true, {"a", "ex", "priv.jp", "jp", true}},
        SplitCase{"a.b.pub.jp", true, {"", "a", "b.pub.jp", "jp", true}},
        SplitCase{"www.公司.cn", false, {"", "www", "公司.cn", "公司.cn", false}},
        SplitCase{"WWW.XN--55QX5D.CN", false, {"", "WWW", "XN--55QX5D.CN", "XN--55QX5D.CN", false}},
        SplitCase{"www\u3002example\uFF0Ecom\uFF61", false, {"www", "example", "com", "com", false}},
        SplitCase{"1.2.3.4", false, {"", "1.2.3.4", "", "", false}},
        SplitCase{"01.2.3.4", false, {"01.2.3", "4", "", "", false}},
        SplitCase{"[::1%eth0]:80", false, {"", "[::1%eth0]", "", "", false}},
        SplitCase{"[1.2.3.4]", false, {"[1.2.3", "4]", "", "", false}},
        SplitCase{"http://[::ffff:1.2.3.4]/", true, {"", "[::ffff:1.2.3.4]", "", "", false}},
        SplitCase{"localhost", false, {"", "localhost", "", "", false}},
        SplitCase{"", true, {"", "", "", "", false}},
        SplitCase{"a.b.unknowntld", false, {"a.b", "unknowntld", "", "", false}},
        SplitCase{"a.www.ck", false, {"a", "www", "ck", "ck", false}},
        SplitCase{"a.b.ck", false, {"", "a", "b.ck", "b.ck", false}}),
    param_names::Short());

// Extra suffixes are public in both views; one that is a private rule too
// stays private in the full view.
TEST(ExtraSuffixes, AreTldextracts) {
    const auto loaded = list_file::load_list(mini_list()).list;
    const std::string_view extras[] = {"blogspot.com", "*.corp", "!www.corp", "q.y.kobe.jp"};
    const auto rules = rules_with(loaded->tables.tables(), extras);
    ASSERT_NE(rules, nullptr);
    const SplitCase cases[] = {
        {"a.blogspot.com", false, {"", "a", "blogspot.com", "blogspot.com", false}},
        {"a.blogspot.com", true, {"", "a", "blogspot.com", "com", true}},
        {"a.b.corp", false, {"", "a", "b.corp", "b.corp", false}},
        {"a.www.corp", true, {"a", "www", "corp", "corp", false}},
        {"corp", true, {"", "corp", "", "", false}},
        {"z.q.y.kobe.jp", false, {"", "z", "q.y.kobe.jp", "q.y.kobe.jp", false}},
        {"p.y.kobe.jp", false, {"p", "y", "kobe.jp", "kobe.jp", false}},
    };
    for (const SplitCase& c : cases) {
        EXPECT_EQ(split(c.text, *rules, c.include_private), c.parts) << c.text << ' ' << c.include_private;
    }
    const std::string_view faulty[] = {"corp", "Corp"};
    const auto refused = SuffixRules::make(loaded->tables.tables(), faulty);
    ASSERT_TRUE(std::holds_alternative<std::string>(refused));
    EXPECT_TRUE(std::get<std::string>(refused).starts_with("extra rule 2: ")) << std::get<std::string>(refused);
}

// A parsed URL's netloc is cut as an authority, with the compiled list.
TEST(Authority, IsCutAsANetloc) {
    const auto rules = rules_with(compiled_tables(), {});
    ASSERT_NE(rules, nullptr);
    EXPECT_EQ(split("bob@www.Example.co.uk.:80", *rules, false, TextKind::kAuthority),
              (Parts{"www", "Example", "co.uk", "co.uk", false}));
    EXPECT_EQ(split("a/b@www.example.com", *rules, false, TextKind::kAuthority),
              (Parts{"www", "example", "com", "com", false}));
}

}  // namespace
}  // namespace vexlo::tldextract
