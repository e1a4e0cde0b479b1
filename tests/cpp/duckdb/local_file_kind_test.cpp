// The look psl_load_rules takes before it lets DuckDB open a path, under each
// spelling DuckDB's local file system reads (`file:` URLs, `~`); what it
// gives for each kind of thing, end to end, is in test_duckdb_sandbox.py.
#include "duckdb/local_file_kind.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace vexlo::duckdb {
namespace {

namespace fs = std::filesystem;

class LocalFileKind : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vexlo-kind-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        std::ofstream(folder_ / "list.dat") << "com\n";
        fs::create_directory(folder_ / "folder");
        ASSERT_EQ(::mkfifo((folder_ / "fifo").c_str(), 0600), 0);
    }
    void TearDown() override { fs::remove_all(folder_); }
    std::string at(const char* name) const { return (folder_ / name).string(); }

    fs::path folder_;
};

TEST_F(LocalFileKind, EverySpellingOfALocalPathIsLookedAt) {
    const std::string fifo = at("fifo");
    for (const std::string& url : {"file:" + fifo, "file://" + fifo, "file://localhost" + fifo}) {
        EXPECT_EQ(local_file_kind(url, ""), FileKind::kFifo) << url;
    }
    EXPECT_EQ(local_file_kind("file:" + at("list.dat"), ""), FileKind::kRegular);
    // A URL of another host is no local path DuckDB reads.
    EXPECT_EQ(local_file_kind("file://elsewhere" + fifo, ""), FileKind::kNothing);
    // `~` is the home folder given, and only when one is.
    const std::string home = folder_.string();
    EXPECT_EQ(local_file_kind("~/fifo", home), FileKind::kFifo);
    EXPECT_EQ(local_file_kind("~/folder", home), FileKind::kDirectory);
    EXPECT_EQ(local_file_kind("~/fifo", ""), FileKind::kNothing);
}

TEST_F(LocalFileKind, WhatMayNotBeOpenedWinsOverOtherSpellings) {
    // `~/fifo` names a file called so in the working folder and, through the
    // home folder, the FIFO.
    const fs::path working = fs::current_path();
    fs::create_directory(folder_ / "working");
    fs::create_directory(folder_ / "working" / "~");
    std::ofstream(folder_ / "working" / "~" / "fifo") << "com\n";
    fs::current_path(folder_ / "working");
    EXPECT_EQ(local_file_kind("~/fifo", folder_.string()), FileKind::kFifo);
    EXPECT_EQ(local_file_kind("~/list.dat", folder_.string()), FileKind::kRegular);
    fs::current_path(working);
}

}  // namespace
}  // namespace vexlo::duckdb
