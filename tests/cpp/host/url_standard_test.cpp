// The finder against the URL Standard's own parser tests (the
// web-platform-tests file urltestdata.json in VEXLO_SHARED_DIR/urltestdata,
// skipped without it). For every absolute URL the Standard parses: where its
// hostname is the host as written, but for ASCII case, the finder finds that
// same text as a domain; where its hostname is an IP address, the finder
// finds an IP literal of the same kind, written as in the input.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/find_host.h"

namespace vexlo::host {
namespace {

std::string data_file() {
    const char* from_environment = std::getenv("VEXLO_SHARED_DIR");
    return std::string(from_environment != nullptr ? from_environment : VEXLO_SHARED_DIR) +
           "/urltestdata/urltestdata.json";
}

// Just enough JSON for that file: an array of strings (comments) and flat
// objects whose values are strings, null or booleans. A member that is not a
// string is kept as "" and the test reads only strings.
class Reader {
public:
    explicit Reader(std::string text) : text_(std::move(text)) {}

    bool read_tests(std::vector<std::map<std::string, std::optional<std::string>>>& tests) {
        if (!expect('[')) return false;
        for (;;) {
            skip_space();
            if (peek() == '{') {
                std::map<std::string, std::optional<std::string>> test;
                if (!read_object(test)) return false;
                tests.push_back(std::move(test));
            } else {
                std::string comment;
                if (!read_string(comment)) return false;
            }
            skip_space();
            if (peek() == ']') return true;
            if (!expect(',')) return false;
        }
    }

private:
    char peek() const { return at_ < text_.size() ? text_[at_] : '\0'; }
    void skip_space() {
        while (peek() == ' ' || peek() == '\n' || peek() == '\r' || peek() == '\t') ++at_;
    }
    bool expect(char c) {
        skip_space();
        if (peek() != c) return false;
        ++at_;
        return true;
    }
    bool read_word(const char* word) {
        for (; *word != '\0'; ++word, ++at_) {
            if (peek() != *word) return false;
        }
        return true;
    }
    bool read_hex4(std::uint32_t& value) {
        value = 0;
        for (int i = 0; i < 4; ++i, ++at_) {
            const char c = peek();
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0) return false;
            value = value * 16 + static_cast<std::uint32_t>(digit);
        }
        return true;
    }
    static void append_utf8(std::string& out, std::uint32_t c) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    bool read_string(std::string& out) {
        if (!expect('"')) return false;
        for (;;) {
            if (at_ >= text_.size()) return false;
            const char c = text_[at_++];
            if (c == '"') return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            const char escaped = text_[at_++];
            switch (escaped) {
                case 'b': out += '\b'; break;
                case 'f': out += '\f'; break;
                case 'n': out += '\n'; break;
                case 'r': out += '\r'; break;
                case 't': out += '\t'; break;
                case 'u': {
                    std::uint32_t c1;
                    if (!read_hex4(c1)) return false;
                    if (c1 >= 0xD800 && c1 < 0xDC00 && read_word("\\u")) {
                        std::uint32_t c2;
                        if (!read_hex4(c2)) return false;
                        c1 = 0x10000 + ((c1 - 0xD800) << 10) + (c2 - 0xDC00);
                    }
                    append_utf8(out, c1);
                    break;
                }
                default: out += escaped;
            }
        }
    }
    bool read_object(std::map<std::string, std::optional<std::string>>& object) {
        if (!expect('{')) return false;
        for (;;) {
            std::string key, value;
            if (!read_string(key) || !expect(':')) return false;
            skip_space();
            if (peek() == '"') {
                if (!read_string(value)) return false;
                object[key] = value;
            } else if (read_word(peek() == 'n' ? "null" : peek() == 't' ? "true" : "false")) {
                object[key] = std::nullopt;
            } else {
                return false;
            }
            skip_space();
            if (peek() == '}') {
                ++at_;
                return true;
            }
            if (!expect(',')) return false;
        }
    }

    std::string text_;
    std::size_t at_ = 0;
};

std::string ascii_lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// The input as the Standard reads it: no C0 controls or spaces at either
// end, no TAB, LF or CR anywhere.
std::string cleaned(const std::string& input) {
    std::size_t begin = 0, end = input.size();
    while (begin < end && static_cast<unsigned char>(input[begin]) <= 0x20) ++begin;
    while (end > begin && static_cast<unsigned char>(input[end - 1]) <= 0x20) --end;
    std::string text;
    for (std::size_t i = begin; i < end; ++i) {
        if (input[i] != '\t' && input[i] != '\n' && input[i] != '\r') text += input[i];
    }
    return text;
}

bool is_dotted_decimal(const std::string& host) {
    int dots = 0;
    bool digit_before = false;
    for (const char c : host) {
        if (c == '.') {
            if (!digit_before) return false;
            ++dots;
            digit_before = false;
        } else if (c >= '0' && c <= '9') {
            digit_before = true;
        } else {
            return false;
        }
    }
    return dots == 3 && digit_before;
}

TEST(UrlStandard, FindsTheHostnameOfEveryParsedUrl) {
    std::ifstream file(data_file(), std::ios::binary);
    if (!file) GTEST_SKIP() << "no " << data_file() << " (set VEXLO_SHARED_DIR to the folder holding urltestdata/)";
    std::stringstream content;
    content << file.rdbuf();
    std::vector<std::map<std::string, std::optional<std::string>>> tests;
    ASSERT_TRUE(Reader(content.str()).read_tests(tests)) << "cannot read " << data_file();
    ASSERT_GT(tests.size(), 800u);

    int domains = 0, literals = 0;
    for (auto& test : tests) {
        if (test.count("base") == 0 || test["base"].has_value() || test.count("hostname") == 0) {
            continue;  // relative to a base, or a URL the Standard refuses
        }
        const std::string input = *test["input"];
        const std::string hostname = ascii_lower(test["hostname"].value_or(""));
        const std::string text = ascii_lower(cleaned(input));
        SCOPED_TRACE(testing::PrintToString(input) + " with hostname " + hostname);
        const FoundHost found = find_host(input);
        std::string host(found.text.size(), '\0');
        host.resize(copy_without_tab_or_newline(found.text, host.data()));
        host = ascii_lower(host);

        if (hostname.size() > 2 && hostname.front() == '[') {
            EXPECT_EQ(found.kind, HostKind::ipv6);
            EXPECT_NE(text.find("[" + host + "]"), std::string::npos);
            ++literals;
        } else if (is_dotted_decimal(hostname)) {
            EXPECT_EQ(found.kind, HostKind::ipv4);
            EXPECT_NE(host, "");
            EXPECT_NE(text.find(host), std::string::npos);
            ++literals;
        } else if (!hostname.empty() && text.find(hostname) != std::string::npos &&
                   hostname.find('%') == std::string::npos) {
            // A host holding '%' is no host to the finder, which decodes
            // nothing; the Standard keeps one as written for other schemes.
            EXPECT_EQ(found.kind, HostKind::domain);
            EXPECT_EQ(host, hostname);
            ++domains;
        }
    }
    // What the data held when this test was written, less a margin.
    EXPECT_GT(domains, 150);
    EXPECT_GT(literals, 8);
}

}  // namespace
}  // namespace vexlo::host
