// The IP address tests, as Python's ipaddress (and tldextract's regular
// expression for IPv4) answer them.
#include "tldextract/ip_address.h"

#include <gtest/gtest.h>

namespace vexlo::tldextract {
namespace {

TEST(LooksLikeIpv4, IsTheStrictDottedForm) {
    for (const char* good : {"1.2.3.4", "0.0.0.0", "255.255.255.255", "10.0.99.199"}) {
        EXPECT_TRUE(looks_like_ipv4(good)) << good;
    }
    for (const char* bad : {"01.2.3.4", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4.", "1..3.4",
                            "0x7f.0.0.1", "1.2.3.4 ", "\xd9\xa1.2.3.4", "", "1234.1.1.1"}) {
        EXPECT_FALSE(looks_like_ipv4(bad)) << bad;
    }
}

TEST(LooksLikeIpv6, IsWhatIPv6AddressTakes) {
    for (const char* good : {"::", "::1", "1::", "1:2:3:4:5:6:7:8", "1:2:3:4:5:6::", "::2:3:4:5:6:7:8",
                             "aBcD:ef01:2345:6789:aBcD:ef01:127.0.0.1", "::ffff:1.2.3.4",
                             "fe80::1%eth0", "fe80::1%\xe4\xbd\xa0:]", "1:2:3:4:5:6:1.2.3.4",
                             "0000:0:0:0:0:0:0:0"}) {
        EXPECT_TRUE(looks_like_ipv6(good)) << good;
    }
    for (const char* bad : {"", ":", ":::", "1:2", "1::2::3", "1:2:3:4:5:6:7:8:9", "1:2:3:4:5:6:7::8",
                            "1:2:3:4:5:6:7:8::", ":1:2:3:4:5:6:7", "1:2:3:4:5:6:7:", "12345::",
                            "g::", "::1.2.3", "::01.2.3.4", "1:2:3:4:5:6:7:1.2.3.4", "::1%",
                            "::1%a%b", "%eth0", "::1/64", "::1 ", "1:2:3:4:5:6:7:8:9:10:11"}) {
        EXPECT_FALSE(looks_like_ipv6(bad)) << bad;
    }
}

}  // namespace
}  // namespace vexlo::tldextract
