#include "list_file/parse_list.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "list_file/label_check.h"
#include "list_file/limits.h"
#include "list_file/message_text.h"
#include "list_file/punycode.h"
#include "normalize/utf8.h"
#include "normalize/utf8_check.h"

namespace vexlo::list_file {

namespace {

// What Python's str.isspace() and the regular expression \s take for
// whitespace, with which the section markers were always matched.
// What the list trims around a line and what ends a rule.
bool is_list_space(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

bool is_marker_space(char32_t c) noexcept {
    return (c >= 0x09 && c <= 0x0D) || (c >= 0x1C && c <= 0x20) || c == 0x85 || c == 0xA0 ||
           c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 ||
           c == 0x202F || c == 0x205F || c == 0x3000;
}

std::string_view trim(std::string_view text) noexcept {
    while (!text.empty() && is_list_space(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_list_space(text.back())) text.remove_suffix(1);
    return text;
}

std::string_view skip_leading_space(std::string_view text) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        const utf8::Decoded d = utf8::decode(p, end);
        if (!d.valid || !is_marker_space(d.code_point)) break;
        p += d.length;
    }
    const auto* begin = reinterpret_cast<const unsigned char*>(text.data());
    return text.substr(static_cast<std::size_t>(p - begin));
}

std::string_view skip_trailing_space(std::string_view text) noexcept {
    const auto* begin = reinterpret_cast<const unsigned char*>(text.data());
    const auto* p = begin + text.size();
    while (p > begin) {
        const utf8::Decoded d = utf8::decode_before(begin, p);
        if (!d.valid || !is_marker_space(d.code_point)) break;
        p -= d.length;
    }
    return text.substr(0, static_cast<std::size_t>(p - begin));
}

const char* section_name(Section section) noexcept {
    return section == Section::icann ? "ICANN" : "PRIVATE";
}

struct Marker {
    bool begin;
    Section section;
};

// A line "// ===BEGIN ICANN DOMAINS===" and the like, spaces allowed after
// the slashes and at the end.
std::optional<Marker> section_marker(std::string_view comment) noexcept {
    std::string_view text = skip_trailing_space(skip_leading_space(comment.substr(2)));
    Marker marker{};
    if (text.starts_with("===BEGIN ")) {
        marker.begin = true;
        text.remove_prefix(9);
    } else if (text.starts_with("===END ")) {
        marker.begin = false;
        text.remove_prefix(7);
    } else {
        return std::nullopt;
    }
    if (text == "ICANN DOMAINS===") {
        marker.section = Section::icann;
    } else if (text == "PRIVATE DOMAINS===") {
        marker.section = Section::private_domains;
    } else {
        return std::nullopt;
    }
    return marker;
}

std::optional<std::string> version_header(std::string_view comment) {
    std::string_view text = skip_trailing_space(skip_leading_space(comment.substr(2)));
    constexpr std::string_view kKey = "VERSION:";
    if (!text.starts_with(kKey)) return std::nullopt;
    text = skip_leading_space(text.substr(kKey.size()));
    if (text.empty()) return std::nullopt;
    return std::string(text);
}

class Parser {
public:
    Parser(ParsedList& out, std::size_t errors_kept)
        : out_(out), errors_(out.errors, errors_kept) {}

    // False when reading must stop here.
    bool read(std::string_view data) {
        if (data.size() > kMaxFileBytes) {
            errors_.add(0, "the list file is larger than " + with_thousands(kMaxFileBytes) +
                               " bytes, the most a list may have");
            return false;
        }
        // Editors on some systems begin a UTF-8 file with one.
        if (data.starts_with(kByteOrderMark)) data.remove_prefix(kByteOrderMark.size());
        std::size_t number = 0;
        for (std::size_t start = 0; start <= data.size();) {
            std::size_t stop = data.find('\n', start);
            if (stop == std::string_view::npos) stop = data.size();
            ++number;
            if (!read_line(data.substr(start, stop - start), number)) return false;
            start = stop + 1;
        }
        if (section_) {
            errors_.add_in_line_order(section_line_, std::string("the ") + section_name(*section_) +
                                                         " section begun here is never ended");
        }
        out_.errors.file_lines = number;
        return true;
    }

    // Each extra rule as a line after the file's last, in the PRIVATE
    // section. A line holds one rule: one holding no rule, or more than one
    // line, is refused.
    void read_extra(std::span<const std::string_view> extra) {
        section_ = Section::private_domains;
        std::size_t number = out_.errors.file_lines;
        for (const std::string_view rule : extra) {
            ++number;
            if (rule.find('\n') != std::string_view::npos) {
                refuse(number, [] { return std::string("holds a line break (one rule each)"); });
            } else if (const std::string_view text = trim(rule);
                       text.empty() || text.starts_with("//")) {
                refuse(number, [&] { return quoted(rule) + " holds no rule"; });
            } else if (!read_line(rule, number)) {
                return;
            }
        }
        section_.reset();
    }

    void finish() {
        if (out_.rules.empty() && out_.errors.empty()) {
            errors_.add(0, "the list holds no rules");
        }
    }

private:
    // False when reading must stop here.
    bool read_line(std::string_view line, std::size_t number) {
        if (const std::size_t bad = utf8_error_offset(line); bad != kWellFormed) {
            refuse(number, [&] {
                return "not valid UTF-8 (byte " + std::to_string(bad + 1) + " of the line)";
            });
            return true;
        }
        const std::string_view text = trim(line);
        if (text.empty()) return true;
        if (text.starts_with("//")) {
            read_comment(text, number);
            return true;
        }
        std::size_t gap = 0;
        while (gap < text.size() && !is_list_space(text[gap])) ++gap;
        const std::string_view token = text.substr(0, gap);
        const std::string_view rest = trim(text.substr(gap));
        if (!rest.empty() && !rest.starts_with("//")) {
            refuse(number, [&] {
                return "text after the rule " + quoted(token) + ": " + quoted(rest) +
                       " (one rule per line)";
            });
            return true;
        }
        if (!section_) {
            refuse(number, [&] {
                return "rule " + quoted(token) + " lies outside the ICANN and PRIVATE sections";
            });
            return true;
        }
        std::string why;
        const std::optional<ListRule> rule =
            read_rule(token, number, errors_.keeps_next() ? &why : nullptr);
        if (!rule) {
            errors_.add(number, std::move(why));
            return true;
        }
        if (out_.rules.size() == kMaxRules) {
            errors_.add(number, "the list holds more than " + with_thousands(kMaxRules) + " rules");
            return false;
        }
        out_.rules.push_back(*rule);
        return true;
    }

    void read_comment(std::string_view text, std::size_t number) {
        const std::optional<Marker> marker = section_marker(text);
        if (!marker) {
            if (!seen_marker_ && !out_.version) out_.version = version_header(text);
            return;
        }
        seen_marker_ = true;
        const char* name = section_name(marker->section);
        if (marker->begin) {
            if (section_) {
                refuse(number, [&] {
                    return std::string(name) + " section begins inside the " +
                           section_name(*section_) + " section begun on line " +
                           std::to_string(section_line_);
                });
            }
            section_ = marker->section;
            section_line_ = number;
        } else {
            if (section_ != marker->section) {
                refuse(number, [&] {
                    return std::string("end of the ") + name + " section, which is not open";
                });
            }
            section_.reset();
        }
    }

    std::optional<ListRule> read_rule(std::string_view token, std::size_t number,
                                      std::string* why) {
        const auto fail = [&](auto&& spell) -> std::optional<ListRule> {
            if (why != nullptr) *why = spell();
            return std::nullopt;
        };
        RuleKind kind = RuleKind::rule;
        std::string_view name = token;
        if (token.starts_with('!')) {
            kind = RuleKind::exception;
            name.remove_prefix(1);
            if (name.starts_with('*')) {
                return fail(
                    [&] { return "exception rule " + quoted(token) + " holds a wildcard"; });
            }
        } else if (token.starts_with("*.")) {
            kind = RuleKind::wildcard;
            name.remove_prefix(2);
        } else if (token == "*") {
            return fail([] {
                return std::string("wildcard rule '*' names no suffix below which it applies");
            });
        }
        if (name.empty()) return fail([&] { return "rule " + quoted(token) + " names no domain"; });

        bool unicode = false;
        bool ace = false;
        for (std::size_t start = 0; start <= name.size();) {
            std::size_t stop = name.find('.', start);
            if (stop == std::string_view::npos) stop = name.size();
            const std::string_view label = name.substr(start, stop - start);
            if (label == "*") {
                return fail([&] {
                    return "rule " + quoted(token) + ": a wildcard '*' must be the leftmost label";
                });
            }
            std::string problem;
            if (!labels_.usable(label, why != nullptr ? &problem : nullptr)) {
                return fail([&] { return "rule " + quoted(token) + ": " + problem; });
            }
            unicode = unicode || !is_ascii(label);
            ace = ace || label.starts_with(kAcePrefix);
            start = stop + 1;
        }
        if (unicode && ace) {
            return fail([&] {
                return "rule " + quoted(token) + " mixes Unicode labels and '" +
                       std::string(kAcePrefix) + "' labels (write the whole name in one form)";
            });
        }
        return ListRule{static_cast<std::uint32_t>(number), *section_, kind, name};
    }

    void refuse(std::size_t number, auto&& spell) {
        errors_.add(number, errors_.keeps_next() ? spell() : std::string());
    }

    ParsedList& out_;
    ErrorSink errors_;
    LabelCheck labels_;
    std::optional<Section> section_;
    std::size_t section_line_ = 0;
    bool seen_marker_ = false;
};

}  // namespace

ParsedList parse_list(std::string_view data, std::size_t errors_kept) {
    return parse_list(data, {}, errors_kept);
}

ParsedList parse_list(std::string_view data, std::span<const std::string_view> extra,
                      std::size_t errors_kept) {
    ParsedList out;
    // Room for a rule a line at once: grown step by step, the vector would
    // touch about three times the memory it keeps.
    const auto lines = static_cast<std::size_t>(std::count(data.begin(), data.end(), '\n')) + 1;
    out.rules.reserve(std::min(lines + extra.size(), kMaxRules + 1));
    Parser parser(out, errors_kept);
    if (parser.read(data)) {
        parser.read_extra(extra);
        parser.finish();
    }
    if (!out.errors.empty()) out.rules.clear();
    return out;
}

}  // namespace vexlo::list_file
