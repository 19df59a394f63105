#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/File.h"
#include "service/host/Registration.h"
#include "service/host/ServiceIdentity.h"
#include "tests/service/HostTestSupport.h"

namespace tarn {
namespace {

using testing::FileTree;
using testing::ReadText;
using testing::TempFolder;

const std::string kGuidKey = std::string("HKEY_CLASSES_ROOT/AppID/") + kAppIdGuid;
const std::string kExeKey = "HKEY_CLASSES_ROOT/AppID/TARNSvr.EXE";
const std::string kEventSource =
    "HKEY_LOCAL_MACHINE/SYSTEM/CurrentControlSet/Services/EventLog/Application/TARNSvr";
const std::string kServiceKeyFolder = "HKEY_LOCAL_MACHINE/SYSTEM/CurrentControlSet/Services/TARNSvr";

class RegistrationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // The unit must not pick up settings of whoever runs the tests.
        for (const std::string& name : ServiceEnvironmentVariables()) ::unsetenv(name.c_str());
        std::filesystem::create_directories(units());
        std::filesystem::create_directories(folder());
    }

    // The program's folder; its name holds bytes that unit files treat specially.
    std::string folder() const { return temp_ / "opt tarn"; }
    std::string program() const { return folder() + "/TARNSvr"; }

    std::string registry() const { return temp_ / "registry"; }
    std::string units() const { return temp_ / "units"; }
    std::string unitFile() const { return units() + "/TARNSvr.service"; }
    std::string wantsLink() const { return units() + "/multi-user.target.wants/TARNSvr.service"; }

    CServiceRegistration Make(std::string programPath = "") {
        if (programPath.empty()) programPath = program();
        return CServiceRegistration(Registry(registry()), ServiceManager(units(), temp_ / "TARNSvr.pid"),
                                    programPath,
                                    [this](const std::string& text) { messages_.push_back(text); });
    }

    std::map<std::string, std::string> ServiceFormValues() const {
        const std::string dll = folder() + "/TARNSvrMsg.dll";
        return {
            {kGuidKey + "/(default)", "TARNSvr"},
            {kGuidKey + "/LocalService", "TARNSvr"},
            {kExeKey + "/AppID", kAppIdGuid},
            {kEventSource + "/CategoryMessageFile", dll},
            {kEventSource + "/EventMessageFile", dll},
            {kEventSource + "/ParameterMessageFile", dll},
            {kEventSource + "/TypesSupported", "7"},
            {kEventSource + "/CategoryCount", "3"},
            {kServiceKeyFolder + "/Description", "Orvane - TARN Service"},
        };
    }

    TempFolder temp_;
    std::vector<std::string> messages_;
};

TEST_F(RegistrationTest, ServiceFormWritesExactlyItsValuesAndAnEnabledUnit) {
    CServiceRegistration registration = Make();
    EXPECT_EQ(registration.RegisterAppId(true), S_OK);

    EXPECT_EQ(FileTree(registry()), ServiceFormValues());
    const std::string unit = ReadText(unitFile());
    EXPECT_EQ(unit.substr(0, unit.find("NoNewPrivileges")),
              "# TARNSvr, the TARN print-output server. \"TARNSvr -Service\" installs\n"
              "# this unit; \"TARNSvr -RegServer\" or \"-UnregServer\" removes it.\n"
              "[Unit]\n"
              "Description=TARNSvr\n"
              "Wants=network-online.target\n"
              "After=network-online.target\n"
              "\n[Service]\n"
              "Type=notify\n"
              "ExecStart=\"" +
                  program() +
                  "\"\n"
                  "User=" +
                  ::getpwuid(::geteuid())->pw_name +
                  "\n"
                  "WorkingDirectory=" +
                  folder() +
                  "\n"
                  "RuntimeDirectory=TARNSvr\n"
                  "UMask=0027\n"
                  "KillMode=mixed\n"
                  "TimeoutStopSec=30min\n"
                  "Restart=on-failure\n"
                  "RestartSec=5\n");
    EXPECT_NE(unit.find("ReadWritePaths=-\"" + folder() + "\"\n\n[Install]\nWantedBy=multi-user.target\n"),
              std::string::npos);
    EXPECT_EQ(std::filesystem::read_symlink(wantsLink()).string(), unitFile());
    EXPECT_TRUE(registration.IsInstalled());
    EXPECT_TRUE(messages_.empty());
}

TEST_F(RegistrationTest, PlainFormRemovesTheServiceAndLocalService) {
    ASSERT_EQ(Make().RegisterAppId(true), S_OK);
    CServiceRegistration registration = Make();
    EXPECT_EQ(registration.RegisterAppId(false), S_OK);

    std::map<std::string, std::string> expected = ServiceFormValues();
    expected.erase(kGuidKey + "/LocalService");
    expected.erase(kServiceKeyFolder + "/Description");  // goes with the service entry
    EXPECT_EQ(FileTree(registry()), expected);           // the event source stays
    EXPECT_FALSE(PathExists(unitFile()));
    EXPECT_FALSE(std::filesystem::is_symlink(wantsLink()));
    EXPECT_FALSE(registration.IsInstalled());
}

TEST_F(RegistrationTest, UnregisterRemovesEverythingButTheAppIdKey) {
    ASSERT_EQ(Make().RegisterAppId(true), S_OK);
    EXPECT_EQ(Make().UnregisterAppId(), S_OK);

    EXPECT_TRUE(FileTree(registry()).empty());
    EXPECT_TRUE(IsDirectory(registry() + "/HKEY_CLASSES_ROOT/AppID"));
    EXPECT_FALSE(PathExists(registry() + "/" + kGuidKey));
    EXPECT_FALSE(PathExists(registry() + "/" + kExeKey));
    EXPECT_FALSE(PathExists(registry() + "/" + kEventSource));
    EXPECT_FALSE(PathExists(unitFile()));
    // Unregistering what was never registered fails: the AppID entries are missing.
    EXPECT_EQ(Make().UnregisterAppId(), HResultFromError(ENOENT));
}

TEST_F(RegistrationTest, PerUserWritesTheScriptEntriesBelowTheUsersClasses) {
    CServiceRegistration registration = Make();
    registration.SetPerUser();
    EXPECT_EQ(registration.RegisterAppId(false), S_OK);
    const std::string userAppId = "HKEY_CURRENT_USER/Software/Classes/AppID/";
    EXPECT_EQ(FileTree(registry()), (std::map<std::string, std::string>{
                                        {userAppId + kAppIdGuid + "/(default)", "TARNSvr"},
                                        {userAppId + "TARNSvr.EXE/AppID", kAppIdGuid},
                                    }));
    // The GUID key that holds "LocalService" is not redirected.
    EXPECT_TRUE(IsDirectory(registry() + "/" + kGuidKey));

    CServiceRegistration removal = Make();
    removal.SetPerUser();
    EXPECT_EQ(removal.UnregisterAppId(), S_OK);
    EXPECT_TRUE(FileTree(registry()).empty());
}

// A process whose name matches the program the registration stops.
pid_t StartSleeper() {
    pid_t pid = ::fork();
    if (pid == 0) {
        ::execl("/bin/sleep", "sleep", "30", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Wait (bounded) until the child runs under its new name.
    for (int i = 0; i < 500 && ReadText("/proc/" + std::to_string(pid) + "/comm") != "sleep\n"; ++i) {
        ::usleep(10000);
    }
    return pid;
}

TEST_F(RegistrationTest, SecondServiceRegistrationStopsAndReinstallsTheService) {
    const std::string program = "/usr/local/bin/sleep";
    ASSERT_EQ(Make(program).RegisterAppId(true), S_OK);
    // A stale unit text and a running instance named in the pid file.
    ASSERT_TRUE(WriteWholeFile(unitFile(), "stale\n"));
    pid_t running = StartSleeper();
    ASSERT_GT(running, 0);
    ASSERT_TRUE(WriteWholeFile(temp_ / "TARNSvr.pid", std::to_string(running) + "\n"));

    EXPECT_EQ(Make(program).RegisterAppId(true), S_OK);

    int status = 0;
    for (int i = 0; i < 500 && ::waitpid(running, &status, WNOHANG) == 0; ++i) ::usleep(10000);
    if (::waitpid(running, nullptr, WNOHANG) == 0) {  // never stopped: end it, then fail
        ::kill(running, SIGKILL);
        ::waitpid(running, &status, 0);
    }
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
    EXPECT_NE(ReadText(unitFile()).find("ExecStart=\"/usr/local/bin/sleep\"\n"), std::string::npos);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(RegistrationTest, StalePidFileOfAnotherProgramIsNotSignalled) {
    ASSERT_EQ(Make().RegisterAppId(true), S_OK);
    pid_t other = StartSleeper();  // named "sleep", not "TARNSvr"
    ASSERT_TRUE(WriteWholeFile(temp_ / "TARNSvr.pid", std::to_string(other)));
    EXPECT_EQ(Make().RegisterAppId(false), S_OK);
    EXPECT_EQ(::waitpid(other, nullptr, WNOHANG), 0);  // still running
    ::kill(other, SIGKILL);
    ::waitpid(other, nullptr, 0);
}

TEST_F(RegistrationTest, MissingUnitFolderFailsTheServiceFormWithAMessage) {
    std::filesystem::remove_all(units());
    EXPECT_EQ(Make().RegisterAppId(true), E_FAIL);
    EXPECT_EQ(messages_, std::vector<std::string>{"Could not open Service Manager"});
    // The plain form needs no service manager.
    messages_.clear();
    EXPECT_EQ(Make().RegisterAppId(false), S_OK);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(RegistrationTest, EachDirectiveIsQuotedAsSystemdReadsIt) {
    // '$' is not expanded in an executable path nor in Environment=; '%' is a
    // specifier everywhere; quotes and backslashes are escaped inside quotes.
    const std::string odd = temp_ / "a \"q\" b\\c $HOME 100%";
    std::filesystem::create_directories(odd);
    ASSERT_TRUE(WriteWholeFile(odd + "/TARN.ini", "[raw]\nsaveDir=/srv/out $x/\n[pdf]\nSAVEDIR=out/pdf/\n"));
    ::setenv(kRegistryRootVariable, "/srv/tarn/$HOME 100%", 1);
    EXPECT_TRUE(Make(odd + "/TARNSvr").Install());
    ::unsetenv(kRegistryRootVariable);
    const std::string unit = ReadText(unitFile());
    const std::string quoted = temp_ / "a \\\"q\\\" b\\\\c $HOME 100%%";
    EXPECT_NE(unit.find("\nExecStart=\"" + quoted + "/TARNSvr\"\n"), std::string::npos) << unit;
    EXPECT_NE(unit.find("\nEnvironment=\"TARN_REGISTRY_ROOT=/srv/tarn/$HOME 100%%\"\n"), std::string::npos);
    // WorkingDirectory= is read as it stands, unquoted.
    EXPECT_NE(unit.find("\nWorkingDirectory=" + temp_.path() + "/a \"q\" b\\c $HOME 100%%\n"),
              std::string::npos);
    // The absolute save folder of the configuration is writable; the relative one lies below the program's.
    EXPECT_NE(unit.find("\nReadWritePaths=-\"" + quoted + "\" -\"/srv/out $x\"\n"), std::string::npos);
}

TEST_F(RegistrationTest, ProgramFolderWithALineEndIsRefusedAndNothingInstalled) {
    // A line end would start a directive of its own, run as root before the service.
    const std::string evil = temp_ / "x\nExecStartPre=/bin/touch /tmp/owned\n";
    std::filesystem::create_directories(evil);
    EXPECT_EQ(Make(evil + "/TARNSvr").RegisterAppId(true), E_FAIL);
    EXPECT_FALSE(PathExists(unitFile()));
    EXPECT_FALSE(std::filesystem::is_symlink(wantsLink()));
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0].rfind("Could not start service: the program path holds a control character", 0),
              0u)
        << messages_[0];
    // So is a control byte in a setting handed to the service.
    messages_.clear();
    ::setenv(kRegistryRootVariable, "/srv/tarn\t", 1);
    EXPECT_FALSE(Make().Install());
    ::unsetenv(kRegistryRootVariable);
    EXPECT_FALSE(PathExists(unitFile()));
}

TEST_F(RegistrationTest, ServiceRunsAsTheOwnerOfTheProgramFolder) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the folder away";
    struct passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    ASSERT_EQ(::chown(folder().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    EXPECT_TRUE(Make().Install());
    EXPECT_NE(ReadText(unitFile()).find("\nUser=nobody\n"), std::string::npos);
}

TEST(UnitFileTest, PackagedUnitHasTheSandboxOfTheWrittenUnit) {
    ServiceEntry entry;
    entry.name = kServiceName;
    entry.programPath = "/usr/lib/tarn/TARNSvr";
    std::string text;
    ASSERT_TRUE(UnitFileText(entry, &text));
    const std::string packaged = ReadText(std::string(TARN_SOURCE_DIR) + "/package/TARNSvr.service");
    ASSERT_FALSE(packaged.empty());
    // Every [Service] setting after ExecStart= appears in the packaged unit as well.
    std::istringstream lines(text.substr(text.find("\nRuntimeDirectory=") + 1));
    int compared = 0;
    for (std::string line; std::getline(lines, line) && !line.empty(); ++compared) {
        EXPECT_NE(packaged.find("\n" + line + "\n"), std::string::npos) << line;
    }
    EXPECT_GT(compared, 20);
}

}  // namespace
}  // namespace tarn
