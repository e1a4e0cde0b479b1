// Every code point's lowercase mapping and case properties against the
// Unicode 17.0 data files, read here by a parser of our own. The files live
// outside the repository (VEXLO_SHARED_DIR, or the environment variable of
// that name); without them the test skips.
#include <array>
#include <bitset>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "case_table_reads.h"
#include "normalize/case_data.h"
#include "normalize/normalize.h"
#include "reference_model.h"

namespace vexlo {
namespace {

constexpr char32_t kCodePoints = 0x110000;
using CodePointSet = std::bitset<kCodePoints>;

std::string ucd_dir() {
    const char* from_environment = std::getenv("VEXLO_SHARED_DIR");
    return std::string(from_environment != nullptr ? from_environment : VEXLO_SHARED_DIR) +
           "/ucd-17.0.0";
}

std::vector<std::string> split(const std::string& line, char separator) {
    std::vector<std::string> fields;
    std::stringstream stream(line);
    for (std::string field; std::getline(stream, field, separator);) {
        const auto first = field.find_first_not_of(' ');
        const auto last = field.find_last_not_of(' ');
        fields.push_back(first == std::string::npos ? "" : field.substr(first, last - first + 1));
    }
    return fields;
}

char32_t hex(const std::string& text) { return static_cast<char32_t>(std::stoul(text, nullptr, 16)); }

struct UcdCaseData {
    std::vector<std::vector<char32_t>> lower = std::vector<std::vector<char32_t>>(kCodePoints);
    std::unique_ptr<CodePointSet> lowercase = std::make_unique<CodePointSet>();
    std::unique_ptr<CodePointSet> uppercase = std::make_unique<CodePointSet>();
    std::unique_ptr<CodePointSet> titlecase = std::make_unique<CodePointSet>();
    std::unique_ptr<CodePointSet> cased = std::make_unique<CodePointSet>();
    std::unique_ptr<CodePointSet> case_ignorable = std::make_unique<CodePointSet>();
};

// Lines with their comments removed; empty ones skipped.
template <typename Visit>
bool for_each_line(const std::string& path, Visit visit) {
    std::ifstream file(path);
    if (!file) return false;
    for (std::string line; std::getline(file, line);) {
        line = line.substr(0, line.find('#'));
        if (line.find_first_not_of(' ') != std::string::npos) visit(split(line, ';'));
    }
    return true;
}

bool load(const std::string& dir, UcdCaseData& data) {
    for (char32_t c = 0; c < kCodePoints; ++c) data.lower[c] = {c};
    const bool unicode_data = for_each_line(dir + "/UnicodeData.txt", [&](const auto& fields) {
        const char32_t c = hex(fields[0]);
        if (!fields[13].empty()) data.lower[c] = {hex(fields[13])};
        if (fields[2] == "Lt") data.titlecase->set(c);
    });
    // Unconditional entries have four fields; conditional ones a fifth.
    const bool special_casing = for_each_line(dir + "/SpecialCasing.txt", [&](auto fields) {
        while (!fields.empty() && fields.back().empty()) fields.pop_back();
        if (fields.size() != 4) return;
        std::vector<char32_t> lower;
        std::stringstream parts(fields[1]);
        for (std::string part; parts >> part;) lower.push_back(hex(part));
        data.lower[hex(fields[0])] = lower;
    });
    const bool derived = for_each_line(dir + "/DerivedCoreProperties.txt", [&](const auto& fields) {
        if (fields.size() != 2) return;
        CodePointSet* set = fields[1] == "Lowercase"        ? data.lowercase.get()
                            : fields[1] == "Uppercase"      ? data.uppercase.get()
                            : fields[1] == "Cased"          ? data.cased.get()
                            : fields[1] == "Case_Ignorable" ? data.case_ignorable.get()
                                                            : nullptr;
        if (set == nullptr) return;
        const auto dots = fields[0].find("..");
        const char32_t first = hex(fields[0].substr(0, dots));
        const char32_t last = dots == std::string::npos ? first : hex(fields[0].substr(dots + 2));
        for (char32_t c = first; c <= last; ++c) set->set(c);
    });
    return unicode_data && special_casing && derived;
}

class UcdExhaustive : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        data_ = new UcdCaseData;
        if (!load(ucd_dir(), *data_)) {
            delete data_;
            data_ = nullptr;
        }
    }
    static void TearDownTestSuite() {
        delete data_;
        data_ = nullptr;
    }
    void SetUp() override {
        if (data_ == nullptr) {
            GTEST_SKIP() << "Unicode 17.0 data files not found in " << ucd_dir()
                         << " (set VEXLO_SHARED_DIR to the folder holding ucd-17.0.0/)";
        }
    }
    static bool is_surrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

    // Runs `check` on every scalar value; reports the first few that fail.
    template <typename Check>
    static void every_code_point(const char* what, Check check) {
        int failures = 0;
        for (char32_t c = 0; c < kCodePoints; ++c) {
            if (is_surrogate(c) || check(c)) continue;
            if (++failures <= 10) ADD_FAILURE() << what << " differs for U+" << std::hex << std::uppercase
                                          << static_cast<std::uint32_t>(c);
        }
        EXPECT_EQ(failures, 0) << what;
    }

    static UcdCaseData* data_;
};

UcdCaseData* UcdExhaustive::data_ = nullptr;

TEST_F(UcdExhaustive, LowerMapping) {
    every_code_point("lower_mapping", [](char32_t c) {
        const testing::LowerMapping mapping = testing::lower_mapping(c);
        return std::vector<char32_t>(mapping.code_points, mapping.code_points + mapping.count) ==
               data_->lower[c];
    });
}

TEST_F(UcdExhaustive, CaseProperties) {
    every_code_point("is_cased", [](char32_t c) { return is_cased(c) == data_->cased->test(c); });
    every_code_point("is_case_ignorable",
                     [](char32_t c) { return is_case_ignorable(c) == data_->case_ignorable->test(c); });
    every_code_point("is_lowercase",
                     [](char32_t c) { return testing::is_lowercase(c) == data_->lowercase->test(c); });
    every_code_point("is_uppercase",
                     [](char32_t c) { return testing::is_uppercase(c) == data_->uppercase->test(c); });
    every_code_point("is_titlecase",
                     [](char32_t c) { return testing::is_titlecase(c) == data_->titlecase->test(c); });
}

// The same answers through the text path, alone and after an ASCII prefix
// that ends in neither a cased nor a case-ignorable character.
TEST_F(UcdExhaustive, LowercaseTextOfEachCodePoint) {
    every_code_point("lowercase_text", [](char32_t c) {
        std::string expected;
        for (char32_t lower : data_->lower[c]) expected += testing::encode(lower);
        if (c == 0x3A3) expected = testing::encode(0x3C3);  // alone, the sigma is not final
        const std::string text = testing::encode(c);
        return lowercase_text(text).view() == expected &&
               lowercase_text("0123456789ABCDEF-" + text).view() == "0123456789abcdef-" + expected;
    });
}

}  // namespace
}  // namespace vexlo
