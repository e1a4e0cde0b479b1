// The host finder over the forms people write URLs and addresses in, with
// the hosts they hold, and over hostile text.
#include <ostream>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "../param_names.h"
#include "host/find_host.h"

namespace vexlo::host {
namespace {

using namespace std::literals;

struct Case {
    std::string_view input;
    HostKind kind;
    std::string_view host;  // without TAB, LF and CR, with '.' for each full stop
};

constexpr HostKind kNone = HostKind::none, kDomain = HostKind::domain, kIPv4 = HostKind::ipv4,
                   kIPv6 = HostKind::ipv6;

std::string host_of(const FoundHost& found) {
    std::string host(found.text().size(), '\0');
    host.resize(copy_host(found.text(), host.data()));
    return host;
}

bool is_tab_or_newline(char c) { return c == '\t' || c == '\n' || c == '\r'; }

// The input's bytes in the test's name and in failure reports.
void PrintTo(const Case& c, std::ostream* out) { *out << testing::PrintToString(std::string(c.input)); }

void expect_case(const Case& c) {
    SCOPED_TRACE(testing::PrintToString(std::string(c.input.substr(0, 80))));
    const FoundHost found = find_host(c.input);
    EXPECT_EQ(found.kind(), c.kind);
    EXPECT_EQ(host_of(found), c.host);
    if (found.kind() == kNone) {
        EXPECT_TRUE(found.text().empty());
        return;
    }
    // A slice of the text given, without TAB, LF or CR at its ends.
    ASSERT_FALSE(found.text().empty());
    EXPECT_GE(found.text().data(), c.input.data());
    EXPECT_LE(found.text().data() + found.text().size(), c.input.data() + c.input.size());
    EXPECT_FALSE(is_tab_or_newline(found.text().front()));
    EXPECT_FALSE(is_tab_or_newline(found.text().back()));
    EXPECT_EQ(found.needs_copy(), host_of(found) != found.text());
}

class FindHost : public testing::TestWithParam<Case> {};

TEST_P(FindHost, FindsTheHostAsWritten) { expect_case(GetParam()); }

const Case kUrls[] = {
    {"https://user@Shop.Example.CO.UK:8443/cart?x=1", kDomain, "Shop.Example.CO.UK"},
    {"HTTP://EXAMPLE.COM", kDomain, "EXAMPLE.COM"},
    {"ftp://ftp.example.org/pub/", kDomain, "ftp.example.org"},
    {"wss://chat.example.net:443/socket", kDomain, "chat.example.net"},
    {"git+ssh://git@example.com/repo.git", kDomain, "example.com"},
    {"http://user:pa:ss@example.com:8080/p", kDomain, "example.com"},
    {"http://a@b:c@d:e@example.com/", kDomain, "example.com"},
    {"http://[x]@example.com/", kDomain, "example.com"},
    {"http://a b<c>@example.com/", kDomain, "example.com"},
    {"http://example.com?q=@x", kDomain, "example.com"},
    {"http://example.com#@x", kDomain, "example.com"},
    {"http://example.com/a@b:c", kDomain, "example.com"},
    {"http://example.com:/", kDomain, "example.com"},
    {"http://example.com:0065535/", kDomain, "example.com"},
    {"http://example.com./", kDomain, "example.com."},
    {"http://münchen.de/", kDomain, "münchen.de"},
    {"http://a,b.example/", kDomain, "a,b.example"},
    // Special schemes take any run of '/' and '\', and '\' ends the host.
    {"http:example.com", kDomain, "example.com"},
    {"https:\\\\example.com\\x", kDomain, "example.com"},
    {"http:///\\/example.com", kDomain, "example.com"},
    {"http://a\\b/", kDomain, "a"},
    {"sc://host/x", kDomain, "host"},
    {"sc://us\\er@host/", kDomain, "host"},
    {"sc://a\\b/", kNone, ""},
    {"sc:/host", kNone, ""},
    {"sc:\\\\host", kNone, ""},
    {"sc:///x", kNone, ""},
    // Scheme-relative, and no scheme at all.
    {"//cdn.example.com/lib.js", kDomain, "cdn.example.com"},
    {"example.com", kDomain, "example.com"},
    {"example.com/x", kDomain, "example.com"},
    {"example.com\\x", kDomain, "example.com"},
    {"example.com?x#y", kDomain, "example.com"},
    {"example.com:8080/x", kDomain, "example.com"},
    {"localhost:8080", kDomain, "localhost"},
    {"a.b-c+d:1?q", kDomain, "a.b-c+d"},
    {"my_host.example", kDomain, "my_host.example"},
    {"-x.example:80", kDomain, "-x.example"},
    {"///x", kNone, ""},
    {"/path/only", kNone, ""},
    {"\\\\server\\share", kNone, ""},
    {"localhost:", kNone, ""},
    {"localhost:80x", kNone, ""},
    {"localhost:80@x", kNone, ""},
    {"localhost:65536", kNone, ""},
    {"user:pw@example.com", kNone, ""},
    {"urn:isbn:0451450523", kNone, ""},
    {"javascript:alert(1)", kNone, ""},
    {"blob:https://example.com/x", kNone, ""},
    {"tag:joe@example.org,2001:foo/bar", kNone, ""},
    // No host, or not one that a URL may have.
    {"", kNone, ""},
    {" \t\n\x01 ", kNone, ""},
    {"http:", kNone, ""},
    {"http://", kNone, ""},
    {"http://@/", kNone, ""},
    {"http://user@:80/", kNone, ""},
    {"http://?x", kNone, ""},
    {"http://example.com:65536/", kNone, ""},
    {"http://example.com:8a/", kNone, ""},
    {"http://example.com:80:90/", kNone, ""},
    {"http://example.com: 80/", kNone, ""},
    {"http://exa mple.com/", kNone, ""},
    {"http://a<b/", kNone, ""},
    {"http://a>b/", kNone, ""},
    {"http://a^b/", kNone, ""},
    {"http://ex%41mple.com/", kNone, ""},
    {"sc://H%4fSt/", kNone, ""},
    {"http://%@example.com/", kDomain, "example.com"},
    {"http://a|b/", kNone, ""},
    {"http://a\x7F" "b/", kNone, ""},
    {"http://a\x01" "b/", kNone, ""},
    {"http://a\0b/"sv, kNone, ""},
    {"hello world", kNone, ""},
    // file: exactly two slashes, no userinfo, no port, and localhost is none.
    {"file://server/share", kDomain, "server"},
    {"FILE:\\\\server\\share", kDomain, "server"},
    {"file:///etc/passwd", kNone, ""},
    {"file://localhost/etc", kNone, ""},
    {"file://LocalHost./etc", kDomain, "LocalHost."},
    {"file://local\thost/etc", kNone, ""},
    {"file:/server/x", kNone, ""},
    {"file:server", kNone, ""},
    {"file://user@server/", kNone, ""},
    {"file://server:80/", kNone, ""},
    {"file://C:/x", kNone, ""},
    {"file://C|/x", kNone, ""},
    {"file://1.2.3.4/x", kIPv4, "1.2.3.4"},
    // Spaces and controls at the ends go; TAB, LF and CR go everywhere.
    {"  http://example.com/  ", kDomain, "example.com"},
    {"\x01\x1F http://example.com\x1F", kDomain, "example.com"},
    {"\0example.com\0"sv, kDomain, "example.com"},
    {"h\tt\ntp:/\r/exa\tmple.c\nom/", kDomain, "example.com"},
    {"http://\texample.com\n/", kDomain, "example.com"},
    {"http://user\t@\tex\nample.com\t:\t80/", kDomain, "example.com"},
    {"exa\tmple.com:8\t0", kDomain, "example.com"},
    {"mail\tto:alice@exa\rmple.com", kDomain, "example.com"},
};
INSTANTIATE_TEST_SUITE_P(Urls, FindHost, testing::ValuesIn(kUrls), param_names::Short());

// A last label that is a number makes the host an IPv4 address, or nothing.
const Case kIPv4Hosts[] = {
    {"http://1.2.3.4/", kIPv4, "1.2.3.4"},
    {"http://1.2.3.4./", kIPv4, "1.2.3.4."},
    {"http://0x7f.1/", kIPv4, "0x7f.1"},
    {"http://0X7F.0.0.0X1/", kIPv4, "0X7F.0.0.0X1"},
    {"http://0x/", kIPv4, "0x"},
    {"http://017.0.0.1/", kIPv4, "017.0.0.1"},
    {"http://1.2.3.04/", kIPv4, "1.2.3.04"},
    {"http://2130706433/", kIPv4, "2130706433"},
    {"http://4294967295/", kIPv4, "4294967295"},
    {"http://0x00000000000000000000000000000000ff.1/", kIPv4, "0x00000000000000000000000000000000ff.1"},
    {"http://1.16777215/", kIPv4, "1.16777215"},
    {"http://1.2.65535/", kIPv4, "1.2.65535"},
    {"http://1.2.3.\t4/", kIPv4, "1.2.3.4"},
    {"sc://1.2.3.4/", kIPv4, "1.2.3.4"},
    {"alice@10.0.0.1", kIPv4, "10.0.0.1"},
    {"10.0.0.1:8080/x", kIPv4, "10.0.0.1"},
    {"http://4294967296/", kNone, ""},
    {"http://1.16777216/", kNone, ""},
    {"http://1.2.65536/", kNone, ""},
    {"http://1.2.3.256/", kNone, ""},
    {"http://1.2.3.0x100/", kNone, ""},
    {"http://1.2.3.4.5/", kNone, ""},
    {"http://999.1.1.1/", kNone, ""},
    {"http://256.0.0.0x1/", kNone, ""},
    {"http://1.2.3.09/", kNone, ""},
    {"http://09/", kNone, ""},
    {"http://0xg.1/", kNone, ""},
    {"http://foo.0x/", kNone, ""},
    {"http://foo.09/", kNone, ""},
    {"http://example.123/", kNone, ""},
    {"http://1..2/", kNone, ""},
    {"http://.1/", kNone, ""},
    {"http://1.2.3.4../", kDomain, "1.2.3.4.."},
    {"http://foo.0x1g/", kDomain, "foo.0x1g"},
    {"http://foo.1a/", kDomain, "foo.1a"},
    {"http://a.cafe/", kDomain, "a.cafe"},
    {"http://cafe/", kDomain, "cafe"},
    {"http://a-0xcafe/", kDomain, "a-0xcafe"},
    {"http://a.x0cafe/", kDomain, "a.x0cafe"},
    {"http://0xcafe/", kIPv4, "0xcafe"},
    {"http://a.0xcafe/", kNone, ""},
    {"http://a.0Xa\t/", kNone, ""},
    {"http://1.0x\tA/", kIPv4, "1.0xA"},
    {"http://a.b\tc/", kDomain, "a.bc"},
    {"http://1\u3002a/", kDomain, "1.a"},
    {"http://123.example/", kDomain, "123.example"},
    {"http://./", kDomain, "."},
    {"http://１２７.0.0.1/", kNone, ""},
    {"http://1.2.3.４/", kDomain, "1.2.3.４"},
};
INSTANTIATE_TEST_SUITE_P(IPv4, FindHost, testing::ValuesIn(kIPv4Hosts), param_names::Short());

// Between brackets an IPv6 address, returned without them, or nothing.
const Case kIPv6Hosts[] = {
    {"http://[::1]/", kIPv6, "::1"},
    {"http://[::1]:8080/x", kIPv6, "::1"},
    {"http://user:pw@[2001:DB8::1]/", kIPv6, "2001:DB8::1"},
    {"http://[1:2:3:4:5:6:7:8]/", kIPv6, "1:2:3:4:5:6:7:8"},
    {"http://[1:2:3:4:5:6:7::]/", kIPv6, "1:2:3:4:5:6:7::"},
    {"http://[::]/", kIPv6, "::"},
    {"http://[::ffff:192.0.2.1]/", kIPv6, "::ffff:192.0.2.1"},
    {"http://[1:2:3:4:5:6:0.0.0.0]/", kIPv6, "1:2:3:4:5:6:0.0.0.0"},
    {"http://[\t:\n:1\r]/", kIPv6, "::1"},
    {"sc://[::1]/", kIPv6, "::1"},
    {"[::1]:80", kIPv6, "::1"},
    {"mailto:root@[::1]", kIPv6, "::1"},
    {"2001:db8::1", kIPv6, "2001:db8::1"},
    {"::", kIPv6, "::"},
    {"http://[1:2:3:4:5:6:7:8:9]/", kNone, ""},
    {"http://[1:2:3:4:5:6:7]/", kNone, ""},
    {"http://[1:2:3:4:5:6:7:8::]/", kNone, ""},
    {"http://[::1::]/", kNone, ""},
    {"http://[:1]/", kNone, ""},
    {"http://[1:]/", kNone, ""},
    {"http://[:::]/", kNone, ""},
    {"http://[12345::]/", kNone, ""},
    {"http://[g::1]/", kNone, ""},
    {"http://[]/", kNone, ""},
    {"http://[1:2:3:4:5:6:7:1.2.3.4]/", kNone, ""},
    {"http://[1:2:3:4:5:1.2.3.4]/", kNone, ""},
    {"http://[::01.2.3.4]/", kNone, ""},
    {"http://[::1.2.3]/", kNone, ""},
    {"http://[::1.2.3.4.5]/", kNone, ""},
    {"http://[::1.2.3.256]/", kNone, ""},
    {"http://[::1.2.3.4x]/", kNone, ""},
    {"http://[::1/", kNone, ""},
    {"http://::1]/", kNone, ""},
    {"http://[::1]]/", kNone, ""},
    {"http://[[::1]]/", kNone, ""},
    {"http://[::1]x/", kNone, ""},
    {"http://a[::1]/", kNone, ""},
    {"http://[::1]:x/", kNone, ""},
    {"http://[192.0.2.1]/", kNone, ""},
    {"fe80::1%eth0", kNone, ""},
    {"2001:db8::1/64", kNone, ""},
};
INSTANTIATE_TEST_SUITE_P(IPv6, FindHost, testing::ValuesIn(kIPv6Hosts), param_names::Short());

// U+3002, U+FF0E and U+FF61 separate labels as '.' does, for domains and
// IPv4 addresses alike; the host comes back with '.' in their place.
const Case kFullStops[] = {
    {"http://www.example\u3002co\u3002uk/", kDomain, "www.example.co.uk"},
    {"https://shop\uFF0Eexample\uFF61com:8080/x", kDomain, "shop.example.com"},
    {"example\u3002com\u3002", kDomain, "example.com."},
    {"alice@mail\u3002example\u3002com", kDomain, "mail.example.com"},
    {"mailto:a@b\uFF0Eexample", kDomain, "b.example"},
    {"Alice <alice@example\uFF61com>", kDomain, "example.com"},
    {"http://user\u3002name@example.com/", kDomain, "example.com"},
    {"http://\u3002/", kDomain, "."},
    {"file://localhost\u3002/x", kDomain, "localhost."},
    // TAB, LF and CR go first, also from between the bytes of a full stop.
    {"http://a\xE3\t\x80\n\x82" "b/", kDomain, "a.b"},
    {"http://a\u3002\tb/", kDomain, "a.b"},
    // Other characters, and parts of a full stop, stay as written.
    {"http://a\u3001b\uFF0Fc/", kDomain, "a\u3001b\uFF0Fc"},
    {"http://a\xE3\x80" "b\xEF\xBC/", kDomain, "a\xE3\x80" "b\xEF\xBC"},
    {"http://\u65E5\u672C\u3002\u65E5\u672C/", kDomain, "\u65E5\u672C.\u65E5\u672C"},
    // The IPv4 test reads them as dots.
    {"http://192\u3002168\u30020\u30021/", kIPv4, "192.168.0.1"},
    {"http://1\uFF0E2\uFF613\u30024\u3002/", kIPv4, "1.2.3.4."},
    {"http://0x7f\u30021/", kIPv4, "0x7f.1"},
    {"http://1\u30022\u3002\t3\xE3\x80\t\x82" "4/", kIPv4, "1.2.3.4"},
    {"http://1\u30022\u30023\u3002256/", kNone, ""},
    {"http://1.2.3.4\u30025/", kNone, ""},
    {"http://example\u3002123/", kNone, ""},
    {"http://example\u30020x/", kNone, ""},
    {"http://1\u3002\u30022/", kNone, ""},
    {"http://[::1\u30022]/", kNone, ""},
};
INSTANTIATE_TEST_SUITE_P(FullStops, FindHost, testing::ValuesIn(kFullStops), param_names::Short());

const Case kMail[] = {
    {"alice@mail.example.co.uk", kDomain, "mail.example.co.uk"},
    {"alice.smith+tag@example.co.uk", kDomain, "example.co.uk"},
    {"\"a@b\"@example.com", kDomain, "example.com"},
    {"mailto:alice@example.com", kDomain, "example.com"},
    {"MAILTO:alice@example.com?subject=hi&cc=bob@example.org", kDomain, "example.com"},
    {"mailto:alice@example.com#x", kDomain, "example.com"},
    {"mailto:a@example.com,b@example.org", kDomain, "example.com"},
    {"mailto:\"a@b\"@example.com", kDomain, "example.com"},
    {"mailto:a/b\\c@example.com", kDomain, "example.com"},
    {"mailto://example.com:8080/x", kDomain, "example.com"},
    {"mailto:///alice@example.com", kNone, ""},
    {"mailto:\\alice@example.com", kDomain, "example.com"},
    {"mailto:alice", kNone, ""},
    {"mailto:", kNone, ""},
    {"mailto:alice@", kNone, ""},
    {"mailto:?to=alice@example.com", kNone, ""},
    {"mailto:alice@example.com/x", kNone, ""},
    {"mailto:alice@exa mple.com", kNone, ""},
    {"Alice <alice@example.com>", kDomain, "example.com"},
    {"\"Smith, Bob\" <bob@example.org>", kDomain, "example.org"},
    {"<alice@example.com>", kDomain, "example.com"},
    {"Alice < alice@example.com >", kDomain, "example.com"},
    {"Alice <mailto:alice@example.com>", kDomain, "example.com"},
    {"<https://example.com/x>", kDomain, "example.com"},
    {"http://example.com/?q=<a>", kDomain, "example.com"},
    {"Alice <>", kNone, ""},
    {"<>", kNone, ""},
    {"a>", kNone, ""},
    {"Alice <alice@example.com> (work)", kNone, ""},
    {"alice@example.com (Alice)", kNone, ""},
};
INSTANTIATE_TEST_SUITE_P(Mail, FindHost, testing::ValuesIn(kMail), param_names::Short());

const Case kHostile[] = {
    {"@@@@", kNone, ""},
    {"::::", kNone, ""},
    {"[[[[", kNone, ""},
    {"]]]]", kNone, ""},
    {"<<<<>>>>", kNone, ""},
    {":", kNone, ""},
    {"@", kNone, ""},
    {"http://@@@@example.com", kDomain, "example.com"},
    {"http://:@:@:@example.com:", kDomain, "example.com"},
    {"http://[@]@[@example.com", kDomain, "example.com"},
    {"http://[@]@[example.com", kNone, ""},
    {"a:b:c:d", kNone, ""},
    {"\t\n\r", kNone, ""},
    {"http://\t\n\r/", kNone, ""},
    {"http://[\t]/", kNone, ""},
};
INSTANTIATE_TEST_SUITE_P(Hostile, FindHost, testing::ValuesIn(kHostile), param_names::Short());

// Long runs of the bytes the scan stops on: the answers must not change with
// the length, and a scan that went back over them would be seen as slow.
TEST(FindHostLong, LongInputs) {
    const std::string long_label(100000, 'a');
    expect_case({long_label + ".com", kDomain, long_label + ".com"});
    const std::string userinfo = "http://" + std::string(100000, '@') + "example.com/";
    expect_case({userinfo, kDomain, "example.com"});
    std::string mixed = "http://";
    for (int i = 0; i < 20000; ++i) mixed += "a:[]@";
    expect_case({mixed + "example.com", kDomain, "example.com"});
    const struct {
        char filler;
        HostKind kind;
        bool whole;  // the host is the run and "x", not "x" alone
    } runs[] = {{':', kNone, false}, {'[', kNone, false}, {']', kNone, false}, {'<', kNone, false},
                {'.', kDomain, true},  {'0', kDomain, true}, {'\t', kDomain, false},
                {'/', kDomain, false}, {'\\', kDomain, false}, {'@', kDomain, false}};
    for (const auto& run : runs) {
        const std::string bytes(100000, run.filler);
        const std::string host = run.kind == kNone ? "" : run.whole ? bytes + "x" : "x";
        expect_case({"http://" + bytes + "x", run.kind, host});
    }
    const std::string ipv4 = "0x" + std::string(100000, '0') + "1";
    expect_case({"http://" + ipv4 + "/", kIPv4, ipv4});
    std::string full_stops, numbers;
    for (int i = 0; i < 30000; ++i) full_stops += "\u3002", numbers += "1\u3002";
    expect_case({"http://" + full_stops + "x/", kDomain, std::string(30000, '.') + "x"});
    expect_case({"http://" + numbers + "/", kNone, ""});
}

TEST(FindHostAnswer, KeepsIpLiteralsOnlyWhenAsked) {
    EXPECT_TRUE(is_answer(find_host("example.com"), false));
    EXPECT_FALSE(is_answer(find_host("1.2.3.4"), false));
    EXPECT_TRUE(is_answer(find_host("1.2.3.4"), true));
    EXPECT_TRUE(is_answer(find_host("[::1]"), true));
    EXPECT_FALSE(is_answer(find_host("http://"), true));
}

}  // namespace
}  // namespace vexlo::host
