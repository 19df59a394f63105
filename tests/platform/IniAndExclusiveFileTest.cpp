// The INI reader's line rules and the exclusive raw-file creation: the lock
// is taken before truncation, so a second writer never damages the first.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/ExclusiveFile.h"
#include "platform/Ini.h"
#include "platform/OutputFile.h"
#include "tests/support/TempFolder.h"

namespace tarn {
namespace {

using Folder = tarn::testing::TempFolder;
// The file's bytes.
inline std::string Read(const std::string& path) { return tarn::testing::ReadText(path); }

TEST(ParseIni, SectionsLinesCommentsAndBlanks) {
    std::vector<IniSection> s = ParseIni(
        "before=ignored\r\n"
        "[ Server ]\r\n"
        "  port =  5000  \r\n"
        "; a comment\r\n"
        "\r\n"
        "no equals here\r\n"
        "key=a=b\n"
        "[raw]\n"
        "saveDir=/srv/out/\n"
        "[Server]\n"
        "port=6000");
    ASSERT_EQ(s.size(), 3u);
    EXPECT_EQ(s[0].name, "Server");
    EXPECT_EQ(s[0].lines, (std::vector<std::string>{"port=5000", "no equals here", "key=a=b"}));
    EXPECT_EQ(s[1].name, "raw");
    EXPECT_EQ(s[1].lines, std::vector<std::string>{"saveDir=/srv/out/"});
    EXPECT_EQ(s[2].name, "Server");
    EXPECT_EQ(s[2].lines, std::vector<std::string>{"port=6000"});
}

TEST(ExclusiveFile, SecondCreatorFailsWithoutTruncatingTheFirst) {
    Folder folder;
    std::string path = folder / "job.txt";
    ExclusiveFile first;
    ASSERT_TRUE(first.Create(path).ok());
    ASSERT_TRUE(first.Write("first writer\r\n", 14).ok());

    ExclusiveFile second;
    EXPECT_FALSE(second.Create(path).ok());
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(Read(path), "first writer\r\n");

    ASSERT_TRUE(first.Write("more\r\n", 6).ok());
    ASSERT_TRUE(first.Close().ok());
    EXPECT_EQ(Read(path), "first writer\r\nmore\r\n");

    // Once the first is done, a new creator replaces the old contents.
    ASSERT_TRUE(second.Create(path).ok());
    ASSERT_TRUE(second.Write("new", 3).ok());
    ASSERT_TRUE(second.Close().ok());
    EXPECT_EQ(Read(path), "new");
}

// A child forked meanwhile (by another thread starting a converter) holds a
// copy of the descriptor until its exec: the close must still free the file.
TEST(ExclusiveFile, CloseReleasesTheLockThatAForkedCopyStillHolds) {
    Folder folder;
    std::string path = folder / "job.txt";
    ExclusiveFile file;
    ASSERT_TRUE(file.Create(path).ok());
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[1]);
        char byte = 0;
        // The copy lives until the parent is done.
        if (::read(ready[0], &byte, 1) < 0) ::_exit(1);
        ::_exit(0);
    }
    ASSERT_TRUE(file.Close().ok());
    ExclusiveFile next;
    EXPECT_TRUE(next.Create(path).ok());
    ::close(ready[1]);
    ::close(ready[0]);
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
}

TEST(ExclusiveFile, FoldersAndSymbolicLinksAreNotOpened) {
    Folder folder;
    std::filesystem::create_directory(folder / "dir");
    ExclusiveFile file;
    EXPECT_FALSE(file.Create(folder / "dir").ok());
    std::ofstream(folder / "target") << "keep";
    std::filesystem::create_symlink(folder / "target", folder / "link");
    EXPECT_FALSE(file.Create(folder / "link").ok());
    EXPECT_EQ(Read(folder / "target"), "keep");
    // A FIFO without a reader would block a plain open for ever.
    ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
    EXPECT_FALSE(file.Create(folder / "fifo").ok());

    // An output file made not to follow links neither writes nor truncates through one.
    OutputFile out;
    EXPECT_FALSE(out.CreateNoFollow(folder / "link").ok());
    EXPECT_EQ(Read(folder / "target"), "keep");
    ASSERT_TRUE(out.CreateNoFollow(folder / "plain").ok());
    EXPECT_TRUE(out.Write("bytes").ok());
    EXPECT_TRUE(out.Close().ok());
    EXPECT_EQ(Read(folder / "plain"), "bytes");
}

}  // namespace
}  // namespace tarn
