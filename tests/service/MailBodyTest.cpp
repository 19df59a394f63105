#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "service/ServiceEvents.h"
#include "service/job/EmailRecord.h"
#include "service/job/MailBody.h"
#include "tests/service/JobTestSupport.h"

namespace tarn {
namespace {

using namespace tarn::testing;

TEST(MailBody, ReplacesTheFirstNameOfEachLine) {
    EXPECT_EQ(FillMailBody("Dear $name,\nfor $name and $name\nno name\n", "Smith"),
              "Dear Smith,\nfor Smith and $name\nno name\n");
    EXPECT_EQ(FillMailBody("Dear $name,\n", ""), "Dear Recepient,\n");
    // Text-mode reading: CR LF lines come out with the platform's line end; a
    // last line without a line end gets one.
    EXPECT_EQ(FillMailBody("Hello $name\r\nbye", "Jo"), "Hello Jo\nbye\n");
    EXPECT_EQ(FillMailBody("", "Jo"), "");
    // A line far beyond 1023 bytes is copied whole, placeholder and all.
    std::string longLine = std::string(1500, 'x') + "$name" + std::string(2000, 'y');
    EXPECT_EQ(FillMailBody(longLine + "\nnext $name\n", "Al"),
              std::string(1500, 'x') + "Al" + std::string(2000, 'y') + "\nnext Al\n");
}

TEST(MailBody, TemplateNamesStayInsideTheBodyFolder) {
    EXPECT_TRUE(IsPlainTemplateName("welcome.txt"));
    EXPECT_TRUE(IsPlainTemplateName("..hidden"));
    for (const char* name : {"", ".", "..", "../TARN.ini", "/etc/passwd", "sub/x.txt", "..\\x", "a\\b"}) {
        EXPECT_FALSE(IsPlainTemplateName(name)) << name;
    }
}

class PrepareMailBodyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directory(dir / "bodies");
        std::filesystem::create_directory(dir / "tmp");
        WriteFile(dir / "bodies/welcome.txt", "Dear $name,\nyour report.\n");
        WriteFile(dir / "secret.txt", "not for mail $name\n");
        setenv("TMP", (dir / "tmp").c_str(), 1);
    }
    void TearDown() override { unsetenv("TMP"); }

    EmailRecord Record(const std::string& bodyTemplate) {
        EmailRecord record;
        record.module = &context;
        record.recipientName = "Smith";
        record.bodyTemplate = bodyTemplate;
        return record;
    }

    ScratchFolder dir;
    FakeContext context{dir.path(), "[Server]\nbodyfiles=bodies\n"};
};

TEST_F(PrepareMailBodyTest, WritesAFreshTemporaryBody) {
    EmailRecord first = Record("welcome.txt");
    EmailRecord second = Record("welcome.txt");
    ASSERT_TRUE(PrepareMailBody(first));
    ASSERT_TRUE(PrepareMailBody(second));
    EXPECT_NE(first.bodyFile, second.bodyFile);
    EXPECT_EQ(first.bodyFile.rfind(dir / "tmp/ORV", 0), 0u) << first.bodyFile;
    EXPECT_EQ(ReadFile(first.bodyFile), "Dear Smith,\nyour report.\n");
    EXPECT_TRUE(context.Events().empty());
}

TEST_F(PrepareMailBodyTest, BodyFileIsNamedByItsFullPathWhenTheTemporaryFolderIsRelative) {
    const std::filesystem::path relativeTmp = std::filesystem::relative(dir / "tmp");
    ASSERT_TRUE(relativeTmp.is_relative()) << relativeTmp;
    setenv("TMP", relativeTmp.c_str(), 1);
    EmailRecord record = Record("welcome.txt");
    ASSERT_TRUE(PrepareMailBody(record));
    const std::string canonicalTmp = std::filesystem::canonical(dir / "tmp").string();
    EXPECT_EQ(record.bodyFile.rfind(canonicalTmp + "/ORV", 0), 0u) << record.bodyFile;
    EXPECT_EQ(ReadFile(record.bodyFile), "Dear Smith,\nyour report.\n");
}

TEST_F(PrepareMailBodyTest, RefusesMissingAndEscapingTemplates) {
    for (const std::string& name :
         std::vector<std::string>{"missing.txt", "../secret.txt", dir / "secret.txt", "."}) {
        context.Clear();
        EmailRecord record = Record(name);
        EXPECT_FALSE(PrepareMailBody(record));
        EXPECT_EQ(record.bodyFile, "");
        EXPECT_EQ(context.Events(), (std::vector<RecordedEvent>{Error(kEvtMergeFileMissing, name)}));
    }
    EXPECT_EQ(FileTreeSize(dir / "tmp"), 0u);
}

TEST_F(PrepareMailBodyTest, WithoutABodyFolderNoTemplateIsUsed) {
    // The body folder would be ModulePath itself, which holds TARN.ini.
    FakeContext noFolder(dir.path(), "[Server]\nemailPWD=secret\n");
    for (const std::string& name : {"TARN.ini", "secret.txt"}) {
        EmailRecord record = Record(name);
        record.module = &noFolder;
        EXPECT_FALSE(PrepareMailBody(record));
        EXPECT_EQ(record.bodyFile, "");
        EXPECT_EQ(noFolder.Events(), (std::vector<RecordedEvent>{Error(kEvtMergeFileMissing, name)}));
        noFolder.Clear();
    }
    // A link in the body folder is no template, whatever it points to.
    std::filesystem::create_symlink(dir / "secret.txt", dir / "bodies/linked.txt");
    EmailRecord linked = Record("linked.txt");
    EXPECT_FALSE(PrepareMailBody(linked));
    EXPECT_EQ(context.Events(), (std::vector<RecordedEvent>{Error(kEvtMergeFileMissing, "linked.txt")}));
    EXPECT_EQ(FileTreeSize(dir / "tmp"), 0u);
}

TEST_F(PrepareMailBodyTest, UnwritableTemporaryFolderIsReported) {
    // A folder where no file can be created, whoever runs the test.
    setenv("TMP", "/proc", 1);
    EmailRecord record = Record("welcome.txt");
    EXPECT_FALSE(PrepareMailBody(record));
    ASSERT_EQ(context.Errors().size(), 1u);
    EXPECT_EQ(context.Errors()[0].id, kEvtBodyFileError);
}

}  // namespace
}  // namespace tarn
