// The host finder's short way against its long way: wherever the short way
// answers, it gives the long way's host to the byte, and find_host() gives
// the long way's answer for every text. Over the URL Standard's test data
// (every text in it, inputs and results alike; the test skips without the
// shared data folder) and over URL forms put together from parts, around the
// forms the short way takes and the bytes where it must hand over.
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "../param_names.h"
#include "host/find_host.h"

namespace vexlo::host {
namespace {

using namespace std::literals;

std::string shown(std::string_view text) { return testing::PrintToString(std::string(text)); }

bool same(const FoundHost& a, const FoundHost& b) {
    return a.kind() == b.kind() && a.text().data() == b.text().data() &&
           a.text().size() == b.text().size() && a.needs_copy() == b.needs_copy();
}

// Whether the short way answered `text`; fails the test where the two ways
// differ.
bool short_way_answers(std::string_view text) {
    const FoundHost long_way = detail::find_long(text);
    EXPECT_TRUE(same(find_host(text), long_way)) << shown(text);
    const FoundHost short_way = detail::find_short(text);
    if (short_way.kind() == HostKind::none) return false;
    EXPECT_EQ(short_way.kind(), HostKind::domain) << shown(text);
    EXPECT_TRUE(same(short_way, long_way)) << shown(text);
    return true;
}

void append_utf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Every string literal of a JSON text, unescaped: a lone surrogate is
// written as its three bytes, as a text that is not UTF-8 may hold anything.
std::vector<std::string> json_strings(const std::string& json) {
    std::vector<std::string> strings;
    for (std::size_t i = json.find('"'); i != std::string::npos; i = json.find('"', i + 1)) {
        std::string text;
        for (++i; json[i] != '"'; ++i) {
            if (json[i] != '\\') {
                text += json[i];
                continue;
            }
            const char escaped = json[++i];
            if (escaped != 'u') {
                const std::string_view from = "bfnrt", to = "\b\f\n\r\t";
                const std::size_t at = from.find(escaped);
                text += at == std::string_view::npos ? escaped : to[at];
                continue;
            }
            unsigned code = static_cast<unsigned>(std::stoul(json.substr(i + 1, 4), nullptr, 16));
            i += 4;
            if (code >= 0xD800 && code < 0xDC00 && json.compare(i + 1, 2, "\\u") == 0) {
                const auto low = static_cast<unsigned>(std::stoul(json.substr(i + 3, 4), nullptr, 16));
                if (low >= 0xDC00 && low < 0xE000) {
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    i += 6;
                }
            }
            append_utf8(text, code);
        }
        strings.push_back(std::move(text));
    }
    return strings;
}

TEST(ShortWay, AgreesWithTheLongWayOnTheUrlStandardData) {
    const char* from_environment = std::getenv("VEXLO_SHARED_DIR");
    const std::string path = std::string(from_environment != nullptr ? from_environment : VEXLO_SHARED_DIR) +
                             "/urltestdata/urltestdata.json";
    std::ifstream file(path);
    if (!file) GTEST_SKIP() << "no " << path << " (set VEXLO_SHARED_DIR to the folder holding urltestdata/)";
    std::stringstream json;
    json << file.rdbuf();
    const std::vector<std::string> texts = json_strings(json.str());
    std::size_t answered = 0;
    for (const std::string& text : texts) answered += short_way_answers(text);
    // What the data held when this test was written (16,004 texts, the keys
    // and comments among them; 654 answered the short way), less a margin.
    EXPECT_GT(texts.size(), 12000u);
    EXPECT_GT(answered, 500u);
}

// URLs made of every combination of these parts; the short way must answer
// where every part is one of its own (the first `plain` of each list).
struct Parts {
    std::vector<std::string> items;
    std::size_t plain;
};

std::vector<std::string> hosts_around_blocks() {
    // Hosts that end just before, at and after the scan's 16- and 32-byte
    // steps, counted from the scheme.
    std::vector<std::string> hosts;
    for (const std::size_t size : {1, 14, 15, 16, 17, 23, 24, 25, 30, 31, 32, 33, 34, 47, 48, 49, 70}) {
        std::string host(size, 'a');
        for (std::size_t i = 3; i + 1 < size; i += 5) host[i] = '.';
        hosts.push_back(host);
    }
    return hosts;
}

TEST(ShortWay, AgreesWithTheLongWayOnUrlForms) {
    const Parts schemes{{"http://", "https://", "HTTP://", "hTtPs://", "http:", "http:/", "http:///",
                         "https:\\\\", "http:\\/", "ftp://", "ws://", "file://", "mailto:", "sc://",
                         "httpx://", "htt://", "//", "", " http://", "h\tttp://", "https:/\t/"},
                        4};
    const Parts users{{"", "user@", "u:p@", "@", "a@b@"}, 1};
    // Hosts that end in a hex digit or a dot are read for a number, and
    // found to be none; one that begins with a digit goes the long way.
    std::vector<std::string> plain_hosts = {"example.com", "www.Example.CO.uk", "x-y.z", "a", "a.b.",
                                            "xn--mnchen-3ya.de", "foo.1a", "a..b", "-"};
    for (std::string& host : hosts_around_blocks()) plain_hosts.push_back(std::move(host));
    const std::size_t plain_count = plain_hosts.size();
    // Where the short way stops and the long way goes on, around the ends
    // of the short way's blocks: a full stop, a TAB, a '%' or an '@'.
    for (const std::size_t at : {0, 14, 15, 16, 30, 31, 32, 33, 47}) {
        for (const std::string_view odd : {"\xE3\x80\x82" "b", "\tb", "%41", "@b", "\xC3\xA9"}) {
            plain_hosts.push_back(std::string(at, 'a') + std::string(odd));
        }
    }
    for (const std::string_view host :
         {"", ".", "..", "123.example", "1.2.3.4", "1.2.3.4.", "0x7f.1", "0x", "foo.09", "foo.0x", "example.123",
          "ex%41.com", "m\xC3\xBCnchen.de", "a\xE3\x80\x82" "b", "a\tb", "a b", "a\x01" "b", "[::1]",
          "a_b.c", "a|b", "localhost", "a\\b", "a,b"}) {
        plain_hosts.emplace_back(host);
    }
    const Parts hosts{plain_hosts, plain_count};
    const Parts ports{{"", ":", ":80", ":65535", ":0080", ":65536", ":8a", ":80:90", ": 80", ":\t8"}, 5};
    const Parts tails{{"", "/", "/path/1/page.html?q=1&lang=en#top", "?q=@x", "#f", "/\xC3\xBC", "/\tx",
                       "/\t", "\\x", " ", "\t", "@x", ":x", "\x01", "/ ", "%", "]"},
                      7};
    std::size_t answered = 0, expected = 0;
    for (std::size_t s = 0; s < schemes.items.size(); ++s) {
        for (std::size_t u = 0; u < users.items.size(); ++u) {
            for (std::size_t h = 0; h < hosts.items.size(); ++h) {
                for (std::size_t p = 0; p < ports.items.size(); ++p) {
                    for (std::size_t t = 0; t < tails.items.size(); ++t) {
                        const std::string url = schemes.items[s] + users.items[u] + hosts.items[h] +
                                                ports.items[p] + tails.items[t];
                        const bool taken = short_way_answers(url);
                        answered += taken;
                        if (s < schemes.plain && u < users.plain && h < hosts.plain &&
                            p < ports.plain && t < tails.plain) {
                            ++expected;
                            EXPECT_TRUE(taken) << shown(url);
                        }
                    }
                }
            }
        }
    }
    EXPECT_GT(expected, 1000u);
    EXPECT_GE(answered, expected);
}

// The long way goes on from the byte where the short way stopped, with the
// stops of the block in hand: every place of that byte and of a later stop
// that the long way must not miss, in full blocks, the text's last block and
// texts shorter than a block.
TEST(ShortWay, HandsOverAtEveryPlace) {
    std::size_t cases = 0;
    for (std::size_t at = 0; at <= 40; ++at) {
        for (const std::string_view first : {"\xC3\xA9", "\xE3\x80\x82", "\t", "%", "@", "["}) {
            for (std::size_t gap = 0; gap <= 15; ++gap) {
                for (const std::string_view later : {"@b", ":1", "]"}) {
                    for (const std::string_view tail : {"", "/", "/abcdefghijklmnopq"}) {
                        const std::string url = "http://" + std::string(at, 'a') + std::string(first) +
                                                std::string(gap, 'a') + std::string(later) + std::string(tail);
                        EXPECT_FALSE(short_way_answers(url)) << shown(url);
                        ++cases;
                    }
                }
            }
        }
    }
    EXPECT_GT(cases, 30000u);
}

}  // namespace
}  // namespace vexlo::host
