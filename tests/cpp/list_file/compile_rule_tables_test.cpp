// The build's tool as the build runs it: exit status, what it prints, and
// that a failed run leaves no output behind for the build to compile.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "common/sha256.h"
#include "list_text.h"

namespace vexlo::list_file {
namespace {

namespace fs = std::filesystem;
using testing::icann_list;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

class Tool : public ::testing::Test {
protected:
    void SetUp() override {
        static int count = 0;
        dir_ = fs::temp_directory_path() /
               (std::string("vexlo-compile-rule-tables-") + std::to_string(getpid()) + "-" + std::to_string(++count));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // Writes list.dat and runs the tool on it, from the temporary folder.
    Outcome run(const std::string& list, const std::string& arguments) {
        std::ofstream(path("list.dat"), std::ios::binary) << list;
        return run_only(path("list.dat") + " " + arguments);
    }

    Outcome run_only(const std::string& arguments) {
        const std::string command = std::string("cd '") + dir_.string() + "' && '" VEXLO_COMPILE_RULE_TABLES "' " +
                                    arguments + " >'" + path("stdout") + "' 2>'" + path("stderr") + "'";
        const int status = std::system(command.c_str());
        Outcome result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, *testing::read_file(path("stdout")),
                   *testing::read_file(path("stderr"))};
        fs::remove(path("stdout"));
        fs::remove(path("stderr"));
        return result;
    }

    std::set<std::string> files() const {
        std::set<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(dir_)) {
            if (entry.is_regular_file()) names.insert(fs::relative(entry.path(), dir_).string());
        }
        return names;
    }

    fs::path dir_;
};

TEST_F(Tool, RefusedLineIsReportedAndNothingWritten) {
    const Outcome r = run(icann_list({"com", "uk", "Foo.com", "org"}), "--output out.cpp");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, path("list.dat") +
                         ":4: rule 'Foo.com': upper-case letter in label 'Foo' (the list is written in lower case)\n");
    EXPECT_EQ(files(), std::set<std::string>{"list.dat"});
}

TEST_F(Tool, EveryRefusedLineInOrder) {
    const Outcome r = run(icann_list({"Foo.com", "ok.com", "bar..com"}), "--summary-only");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, path("list.dat") + ":2: rule 'Foo.com': upper-case letter in label 'Foo' (the list is written in lower case)\n" +
                         path("list.dat") + ":4: rule 'bar..com': empty label\n");
    const Outcome empty = run(std::string(testing::kIcannBegin) + std::string(testing::kIcannEnd), "--summary-only");
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.err, path("list.dat") + ": the list holds no rules\n");
}

TEST_F(Tool, FailedRunRemovesEarlierOutput) {
    const std::string args = "--output out.cpp --header shape/compiled_shape.h";
    ASSERT_EQ(run(icann_list({"com"}), args).status, 0);
    EXPECT_EQ(files(), (std::set<std::string>{"list.dat", "out.cpp", "shape/compiled_shape.h"}));
    EXPECT_EQ(run(icann_list({"Com"}), args).status, 1);
    EXPECT_EQ(files(), std::set<std::string>{"list.dat"});
}

// The build reads a file that begins with a byte-order mark as the loader
// does; the checksum is of the file's bytes, mark and all.
TEST_F(Tool, ByteOrderMarkIsSkipped) {
    const std::string text = "\xEF\xBB\xBF" + icann_list({"uk", "co.uk"});
    const Outcome r = run(text, "--summary-only");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("2 rules (+0 twins)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("checksum " + sha256_hex(text)), std::string::npos) << r.out;
}

TEST_F(Tool, UnreadableList) {
    const Outcome r = run_only(path("absent.dat") + " --output out.cpp");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, path("absent.dat") + ": cannot read the list: No such file or directory\n");
    EXPECT_TRUE(files().empty());
}

TEST_F(Tool, UsageErrors) {
    EXPECT_EQ(run_only("").status, 2);
    EXPECT_EQ(run(icann_list({"com"}), "").status, 2);  // neither --output nor --summary-only
    EXPECT_EQ(run(icann_list({"com"}), "--output").status, 2);
    EXPECT_EQ(run(icann_list({"com"}), "--summary-only --bogus").status, 2);
    EXPECT_EQ(files(), std::set<std::string>{"list.dat"});
}

TEST_F(Tool, OutputAndSummary) {
    const std::string text = icann_list({"uk", "co.uk", "公司.cn"});
    const std::string checksum = sha256_hex(text);
    const Outcome r = run(text, "--output=gen/out.cpp --header gen/shape.h");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "3 rules (+1 twins), 6 nodes, 5 edges, 22 label-pool bytes, 5 distinct labels, checksum " +
                         checksum + "\n");
    EXPECT_EQ(files(), (std::set<std::string>{"list.dat", "gen/out.cpp", "gen/shape.h"}));

    const std::string source = *testing::read_file(path("gen/out.cpp"));
    const std::string head = source.substr(0, source.find("#include"));
    EXPECT_EQ(head,
              std::string("// Generated by tools/compile_rule_tables.cpp -- do not edit.\n") +
                  "// Input: " + path("list.dat") + "\n"
              "// Input SHA-256: " + checksum + "\n"
              "// " + r.out +
              "// Remake, from the repository root (the build does so whenever the list file\n"
              "// or the generator changes):\n"
              "//   " VEXLO_COMPILE_RULE_TABLES " " + path("list.dat") + " --output gen/out.cpp --header gen/shape.h\n\n");
    EXPECT_NE(source.find("#include \"shape.h\"\n"), std::string::npos);
    EXPECT_NE(source.find("LIST_CHECKSUM[LIST_CHECKSUM_LENGTH + 1] = \"" + checksum + "\";"), std::string::npos);
    EXPECT_NE(testing::read_file(path("gen/shape.h"))->find("kCompiledRootEdgeCount = 2;"), std::string::npos);

    const Outcome summary = run(text, "--summary-only --output other.cpp");
    EXPECT_EQ(summary.status, 0);
    EXPECT_EQ(summary.out, r.out);
    EXPECT_EQ(files(), (std::set<std::string>{"list.dat", "gen/out.cpp", "gen/shape.h"}));
}

// The compiled list's version: the provenance's date and commit when its
// checksum is the list's; else the list's VERSION line; else "custom list".
TEST_F(Tool, VersionFromTheProvenance) {
    const std::string text = icann_list({"uk", "co.uk"});
    const std::string with_header = "// VERSION: 2026-07-25_14-19-54_UTC\n" + text;
    const std::string commit = "e1b8015c3b2f0f4f8c18659c2480fc1a22c07b20";
    const auto provenance = [&](const std::string& sha256) {
        return "# comment\n\ncommit: " + commit + "\ndate: 2026-07-25\nsha256: " + sha256 + "\n";
    };
    struct Case {
        std::string list;
        std::string provenance;  // none when empty
        std::string version;
    };
    const Case cases[] = {
        {text, provenance(sha256_hex(text)), "2026-07-25, commit e1b8015c"},
        {with_header, provenance(sha256_hex(with_header)), "2026-07-25, commit e1b8015c"},
        {with_header, provenance(sha256_hex(text)), "2026-07-25_14-19-54_UTC"},
        {text, provenance(sha256_hex(with_header)), "custom list, SHA-256 " + sha256_hex(text)},
        {text, "", "custom list, SHA-256 " + sha256_hex(text)},
    };
    for (const Case& c : cases) {
        std::string arguments = "--output out.cpp";
        if (!c.provenance.empty()) {
            std::ofstream(path("PROVENANCE"), std::ios::binary) << c.provenance;
            arguments += " --provenance PROVENANCE";
        }
        const Outcome r = run(c.list, arguments);
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string source = *testing::read_file(path("out.cpp"));
        EXPECT_NE(source.find("compiled_list = {LIST_CHECKSUM, \"" + c.version + "\","), std::string::npos)
            << c.version;
        if (!c.provenance.empty()) {
            EXPECT_NE(source.find("--provenance PROVENANCE\n"), std::string::npos);  // the remake line
        }
    }
}

TEST_F(Tool, FaultyProvenanceIsRefusedAndNothingWritten) {
    const std::string good = "commit: e1b8015c3b2f0f4f8c18659c2480fc1a22c07b20\ndate: 2026-07-25\nsha256: " +
                             std::string(64, 'a') + "\n";
    const std::pair<std::string, std::string> cases[] = {
        {"commit e1b8015c\n" + good, "line 1: not a 'key: value' line"},
        {good + "date: 2026-07-26\n", "line 4: date given twice"},
        {"commit: E1B8015C3B2F0F4F8C18659C2480FC1A22C07B20\ndate: 2026-07-25\n", "commit: not 40 hex digits"},
        {"commit: e1b8015c3b2f0f4f8c18659c2480fc1a22c07b20\ndate: 25.07.2026\n", "date: not YYYY-MM-DD"},
        {"commit: e1b8015c3b2f0f4f8c18659c2480fc1a22c07b20\ndate: 2026-07-25\n", "sha256: not 64 hex digits"},
    };
    for (const auto& [provenance, reason] : cases) {
        std::ofstream(path("PROVENANCE"), std::ios::binary) << provenance;
        const Outcome r = run(icann_list({"com"}), "--output out.cpp --provenance PROVENANCE");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, "PROVENANCE: " + reason + "\n");
        EXPECT_EQ(files(), (std::set<std::string>{"list.dat", "PROVENANCE"}));
    }
    const Outcome absent = run(icann_list({"com"}), "--output out.cpp --provenance absent");
    EXPECT_EQ(absent.status, 1);
    EXPECT_EQ(absent.err, "absent: cannot read the provenance: No such file or directory\n");
}

}  // namespace
}  // namespace vexlo::list_file
