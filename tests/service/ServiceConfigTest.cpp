// The profile's case-blind lookups and overrides, and the settings of
// section Server with their defaults and load failures.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "HostTestSupport.h"
#include "service/job/FolderLayout.h"
#include "service/job/ServiceConfig.h"
#include "service/job/ServiceContext.h"

namespace tarn {
namespace {

struct RecordedEvent {
    EventType type;
    EventId id;
    std::string text;
};

class RecordingReporter : public CEventReporter {
  public:
    void ReportServiceEvent(EventType type, EventId id, const std::string& text) const override {
        events.push_back({type, id, text});
    }
    mutable std::vector<RecordedEvent> events;
};

class ServiceConfigTest : public ::testing::Test {
  protected:
    std::unique_ptr<CServiceConfig> Load(const std::string& text) {
        std::ofstream(path_, std::ios::binary) << text;
        return CServiceConfig::Create(path_, "/opt/tarn/", events_);
    }
    testing::TempFolder folder_;
    std::string path_ = folder_ / "TARN.ini";
    RecordingReporter events_;
};

TEST_F(ServiceConfigTest, SectionsAndKeysAreFoundWithoutRegardToCase) {
    auto config = Load(
        "; comment\n"
        "[SERVER]\n port = 6000 \n"
        "[Invoice]\nsaveDir = /srv/out/\nnoequals\ntemplate=\n"
        "[invoice]\nSAVEDIR=/srv/later/\n");
    ASSERT_TRUE(config);
    EXPECT_EQ(config->Port(), 6000);
    EXPECT_TRUE(config->SectionExists("INVOICE"));
    EXPECT_FALSE(config->SectionExists(""));
    EXPECT_FALSE(config->SectionExists("Invoic"));
    // Two sections of one name are one section; the later line wins.
    EXPECT_EQ(config->GetString("invoice", "savedir", "none"), "/srv/later/");
    // An empty value exists; a line without '=' is no key.
    EXPECT_TRUE(config->KeyExists("Invoice", "template"));
    EXPECT_EQ(config->GetString("Invoice", "template", "none"), "");
    EXPECT_FALSE(config->KeyExists("Invoice", "noequals"));
    // A name argument ends at its first NUL.
    EXPECT_TRUE(config->SectionExists(std::string("Invoice\0\0", 9)));
    EXPECT_TRUE(events_.events.empty());
}

TEST_F(ServiceConfigTest, DefaultsAndTheDebugRule) {
    auto config = Load("[Server]\nport=\ndebug=TRUE\nemport=\n");
    ASSERT_TRUE(config);
    EXPECT_EQ(config->Port(), kDefaultPort);
    EXPECT_FALSE(config->Debug());
    EXPECT_EQ(config->MailPort(), "25");
    EXPECT_EQ(config->ModulePath(), "/opt/tarn/");
    EXPECT_EQ(config->Sender(), "");
    EXPECT_EQ(config->ActivityLog(), "");

    config = Load(
        "[Server]\nport=abc\ndebug=trueish\nModulePath=/srv/tarn\nemport=2525\n"
        "sender=a@b\nemlsrv=mx\ninfo=i\nbodyfiles=bodies\nemailUID=u\nemailPWD=p\nemlog=log.txt\n");
    ASSERT_TRUE(config);
    EXPECT_EQ(config->Port(), 0);
    EXPECT_TRUE(config->Debug());
    EXPECT_EQ(config->ModulePath(), "/srv/tarn");
    EXPECT_EQ(config->MailPort(), "2525");
    EXPECT_EQ(config->Sender(), "a@b");
    EXPECT_EQ(config->MailServer(), "mx");
    EXPECT_EQ(config->Info(), "i");
    EXPECT_EQ(config->BodyFiles(), "bodies");
    EXPECT_EQ(config->EmailUid(), "u");
    EXPECT_EQ(config->EmailPwd(), "p");
    EXPECT_EQ(config->ActivityLog(), "log.txt");

    EXPECT_TRUE(Load("[Server]\ndebug=true\n")->Debug());
    EXPECT_FALSE(Load("[Server]\ndebug=tru\n")->Debug());
    EXPECT_EQ(Load("[Server]\nport= -12x\n")->Port(), -12);
}

TEST_F(ServiceConfigTest, ToolsLiveInTheHomeFolderBelowModulePath) {
    EXPECT_EQ(Load("[Server]\n")->ToolPath("blat"), "/opt/tarn/blat");
    EXPECT_EQ(Load("[Server]\nhome=tools/\n")->ToolPath("pdftk"), "/opt/tarn/tools/pdftk");
    EXPECT_EQ(Load("[Server]\nModulePath=/srv/t\nhome=bin\n")->ToolPath("overprint"), "/srv/t/bin/overprint");
}

TEST_F(ServiceConfigTest, FormsFolderAndSaveFolders) {
    EXPECT_EQ(Load("[Server]\n")->FormsFolder(), "");
    EXPECT_EQ(Load("[Server]\nformsDir=\n")->FormsFolder(), "");
    EXPECT_EQ(Load("[Server]\nformsDir=forms\n")->FormsFolder(), "/opt/tarn/forms");
    EXPECT_EQ(Load("[Server]\nformsDir=/srv/forms/\n")->FormsFolder(), "/srv/forms/");

    auto config = Load(
        "[Server]\n[a]\nsaveDir=/out/a\nsaveDirX=/not/used\n[b]\nsaveDir=\n"
        "[XLS]\nSaveDir=/out/x\nsaveDirEU=/out/eu\ndateFormat=d\n");
    EXPECT_EQ(config->SaveFolders(), (std::vector<std::string>{"/out/a", "/out/x", "/out/eu"}));
}

TEST(FolderLiesInside, ComparesResolvedFoldersByWholeComponents) {
    testing::TempFolder folder;
    std::filesystem::create_directories(folder / "forms/out");
    std::filesystem::create_directory(folder / "forms2");
    std::filesystem::create_directory_symlink(folder / "forms/out", folder / "alias");
    EXPECT_TRUE(FolderLiesInside(folder / "forms/out", folder / "forms/"));
    EXPECT_TRUE(FolderLiesInside(folder / "forms", folder / "forms"));
    EXPECT_TRUE(FolderLiesInside(folder / "alias", folder / "forms"));
    EXPECT_TRUE(FolderLiesInside(folder / "forms2/../forms/new/", folder / "forms"));
    EXPECT_FALSE(FolderLiesInside(folder / "forms2", folder / "forms"));
    EXPECT_FALSE(FolderLiesInside(folder.path(), folder / "forms"));
}

TEST(AtoiLike, BehavesLikeTheCFunctionWithoutOverflow) {
    EXPECT_EQ(AtoiLike("  42abc"), 42);
    EXPECT_EQ(AtoiLike("+7"), 7);
    EXPECT_EQ(AtoiLike("-"), 0);
    EXPECT_EQ(AtoiLike("x1"), 0);
    EXPECT_EQ(AtoiLike("99999999999999999999"), 2147483647);
    EXPECT_EQ(AtoiLike("-99999999999999999999"), -2147483647 - 1);
}

TEST_F(ServiceConfigTest, LoadFailuresReportTheIniPath) {
    EXPECT_FALSE(Load(""));  // zero bytes
    ASSERT_EQ(events_.events.size(), 1u);
    EXPECT_EQ(events_.events[0].type, EventType::kError);
    EXPECT_EQ(events_.events[0].id, kEvtHostFailure);
    EXPECT_EQ(events_.events[0].text, "Unable to load INI file: " + path_);

    events_.events.clear();
    EXPECT_FALSE(CServiceConfig::Create(folder_ / "missing.ini", "/opt/", events_));
    ASSERT_EQ(events_.events.size(), 1u);
    EXPECT_EQ(events_.events[0].text, "Unable to load INI file: " + folder_ / "missing.ini");

    // A folder is no INI file.
    events_.events.clear();
    EXPECT_FALSE(CServiceConfig::Create(folder_.path(), "/opt/", events_));
    EXPECT_EQ(events_.events.size(), 1u);
}

TEST_F(ServiceConfigTest, FileLockedByAnotherWriterDoesNotLoad) {
    std::ofstream(path_, std::ios::binary) << "[Server]\nport=1\n";
    int fd = ::open(path_.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    EXPECT_FALSE(CServiceConfig::Create(path_, "/opt/", events_));
    ::close(fd);
    EXPECT_TRUE(CServiceConfig::Create(path_, "/opt/", events_));
}

TEST_F(ServiceConfigTest, EmptyModulePathAndNoProgramFolderFails) {
    std::ofstream(path_, std::ios::binary) << "[Server]\nModulePath=\n";
    EXPECT_FALSE(CServiceConfig::Create(path_, "", events_));
    ASSERT_EQ(events_.events.size(), 1u);
    EXPECT_EQ(events_.events[0].text, "Unable to load INI file: ModulePath is empty");
}

}  // namespace
}  // namespace tarn
