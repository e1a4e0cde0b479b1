// The look psl_load_rules takes before it lets DuckDB open a path: each kind
// of thing a path may name, under each spelling DuckDB's local file system
// reads (plain, `file:` URLs, `~`), with nothing opened on the way.
#include "duckdb/local_file_kind.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

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
        fs::create_symlink(folder_ / "fifo", folder_ / "link-to-fifo");
        socket_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string socket_path = (folder_ / "socket").string();
        ASSERT_LT(socket_path.size(), sizeof address.sun_path);
        socket_path.copy(address.sun_path, socket_path.size());
        ASSERT_EQ(::bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    }
    void TearDown() override {
        ::close(socket_);
        fs::remove_all(folder_);
    }
    std::string at(const char* name) const { return (folder_ / name).string(); }

    fs::path folder_;
    int socket_ = -1;
};

TEST_F(LocalFileKind, EachKindOfThingIsNamed) {
    const struct {
        std::string path;
        FileKind kind;
    } cases[] = {
        {at("list.dat"), FileKind::kRegular},
        {at("folder"), FileKind::kDirectory},
        {at("fifo"), FileKind::kFifo},
        {at("link-to-fifo"), FileKind::kFifo},
        {at("socket"), FileKind::kSocket},
        {"/dev/null", FileKind::kCharacterDevice},
        {at("missing"), FileKind::kNothing},
        {at("list.dat/below"), FileKind::kNothing},
        {"", FileKind::kNothing},
        {"https://example.com/list.dat", FileKind::kNothing},
        {std::string(100000, 'x'), FileKind::kNothing},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(local_file_kind(c.path, "/"), c.kind) << c.path.substr(0, 80);
        EXPECT_EQ(may_open(c.kind), c.kind == FileKind::kNothing || c.kind == FileKind::kRegular ||
                                        c.kind == FileKind::kDirectory);
    }
}

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

TEST(FileKindNames, NameEachKind) {
    EXPECT_STREQ(kind_name(FileKind::kFifo), "a FIFO");
    EXPECT_STREQ(kind_name(FileKind::kDirectory), "a directory");
    EXPECT_STREQ(kind_name(FileKind::kCharacterDevice), "a character device");
}

}  // namespace
}  // namespace vexlo::duckdb
