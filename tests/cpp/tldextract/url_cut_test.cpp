// tldextract's cut of a URL, case by case as tldextract 5.4.0's
// lenient_netloc and _host_from_authority give it.
#include "tldextract/url_cut.h"

#include <gtest/gtest.h>

#include <string>

#include "../param_names.h"

namespace vexlo::tldextract {
namespace {

struct CutCase {
    const char* text;
    const char* host;
    friend void PrintTo(const CutCase& c, std::ostream* out) { *out << c.text; }
};

class LenientNetloc : public ::testing::TestWithParam<CutCase> {};

TEST_P(LenientNetloc, IsTldextracts) { EXPECT_EQ(lenient_netloc(GetParam().text), GetParam().host); }

INSTANTIATE_TEST_SUITE_P(
    Forms, LenientNetloc,
    ::testing::Values(
        CutCase{"https://alice@Shop.Example.CO.UK:8443/cart?x#y", "Shop.Example.CO.UK"},
        CutCase{"//example.com/x", "example.com"},
        CutCase{"git+ssh://a:b@c@host.example:22", "host.example"},
        CutCase{"1a+-.://example.com", "example.com"},
        CutCase{"ht tp://example.com", "ht tp"},        // no scheme: read from the start
        CutCase{"://example.com", ""},                  // nothing before "//" is no scheme
        CutCase{"a//example.com", "a"},                 // nor is a text without ':'
        CutCase{"é://example.com", "é"},                // nor anything but ASCII
        CutCase{"example.com?q=//x", "example.com"},
        CutCase{"mailto:bob@example.com", "example.com"},
        CutCase{"user@[::1]:80/x", "[::1]"},
        CutCase{"[::1", "["},                           // a '[' without ']' is cut at ':'
        CutCase{"[a]b:1", "[a]"},
        CutCase{" \t example.com. \x1c", "example.com"},
        CutCase{"example.com. .", "example.com. "},     // stripped of spaces first, then dots
        CutCase{"\u3000example.com\u00A0", "example.com"},
        CutCase{"\u2029example.com\u0085:8", "example.com"},
        CutCase{"example.com\u3002\uFF0E\uFF61.", "example.com"},
        CutCase{"\u200Bexample.com", "\u200Bexample.com"},  // U+200B is no space to Python
        CutCase{"", ""}),
    param_names::Short());

TEST(HostFromAuthority, TakesTheHostOfANetloc) {
    EXPECT_EQ(host_from_authority("user:pw@Example.COM.:80"), "Example.COM");
    EXPECT_EQ(host_from_authority("[fe80::1%eth0]"), "[fe80::1%eth0]");
    EXPECT_EQ(host_from_authority("a/b@c"), "c");  // only a URL's cut stops at '/'
}

TEST(FullStops, AreReadAsDots) {
    const std::string text = "a\u3002b\uFF0Ec\uFF61d\u3001e";
    ASSERT_TRUE(holds_full_stop(text));
    EXPECT_FALSE(holds_full_stop("a.b\u3001c\u3000"));
    std::string out(text.size(), '\0');
    out.resize(replace_full_stops(text, out.data()));
    EXPECT_EQ(out, "a.b.c.d\u3001e");
}

}  // namespace
}  // namespace vexlo::tldextract
