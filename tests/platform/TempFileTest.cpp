// Temporary files: the folder choice and exclusive, never-shared names.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/File.h"
#include "platform/TempFile.h"

namespace tarn {
namespace {

class ScopedTmp {
  public:
    explicit ScopedTmp(const char* value) {
        const char* old = getenv("TMP");
        hadOld_ = old != nullptr;
        if (hadOld_) old_ = old;
        if (value)
            setenv("TMP", value, 1);
        else
            unsetenv("TMP");
    }
    ~ScopedTmp() {
        if (hadOld_)
            setenv("TMP", old_.c_str(), 1);
        else
            unsetenv("TMP");
    }

  private:
    bool hadOld_ = false;
    std::string old_;
};

TEST(TempFolder, PrefersTmpOnlyWhenItIsAFolder) {
    char dir[] = "/tmp/tarn-tmpfolder-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    {
        ScopedTmp tmp(dir);
        EXPECT_EQ(std::string(dir) + "/", TempFolder());
    }
    {
        // A TMP that names nothing must not be used: files could not be made there.
        ScopedTmp tmp("/nonexistent/tarn-tmp");
        std::string folder = TempFolder();
        EXPECT_NE("/nonexistent/tarn-tmp/", folder);
        EXPECT_TRUE(IsDirectory(folder));
    }
    rmdir(dir);
}

TEST(CreateUniqueFile, ConcurrentCallersNeverShareAName) {
    char dir[] = "/tmp/tarn-unique-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    constexpr int kThreads = 4;
    constexpr int kPerThread = 200;
    std::vector<std::vector<std::string>> made(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                std::string path;
                if (CreateUniqueFile(dir, "~~TmpPdf", ".tmp", &path).ok()) made[t].push_back(path);
            }
        });
    }
    for (auto& th : threads) th.join();
    std::set<std::string> all;
    for (const auto& list : made) {
        EXPECT_EQ(static_cast<size_t>(kPerThread), list.size());
        for (const auto& p : list) {
            EXPECT_EQ(0u, p.rfind(std::string(dir) + "/~~TmpPdf", 0)) << p;
            EXPECT_TRUE(FileOpens(p));
            all.insert(p);
        }
    }
    EXPECT_EQ(static_cast<size_t>(kThreads * kPerThread), all.size());
    for (const auto& p : all) RemoveFile(p);
    rmdir(dir);
}

TEST(CreateUniqueFile, MissingFolderIsAnErrorNamingThePath) {
    std::string path;
    Status s = CreateUniqueFile("/nonexistent/tarn-dir", "x", "", &path);
    ASSERT_FALSE(s.ok());
    EXPECT_NE(std::string::npos, s.message().find("/nonexistent/tarn-dir/x"));
}

}  // namespace
}  // namespace tarn
