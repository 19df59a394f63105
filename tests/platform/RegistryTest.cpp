#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cerrno>
#include <map>
#include <string>

#include "platform/Registry.h"
#include "tests/service/HostTestSupport.h"

namespace tarn {
namespace {

using testing::FileTree;
using testing::TempFolder;

// Registered by root, the service may run as another user: an owner-only
// value would silently read as absent and start it in console mode.
TEST(RegistryTest, ValuesAreReadableByAServiceRunningAsAnotherUser) {
    TempFolder temp;
    Registry registry(temp.path());
    const std::string key = "HKEY_CLASSES_ROOT\\AppID\\{X}";
    ASSERT_TRUE(registry.CreateKey(key));
    const mode_t previous = ::umask(022);
    EXPECT_TRUE(registry.WriteString(key, "LocalService", "TARNSvr"));
    ::umask(previous);
    struct stat st {};
    ASSERT_EQ(::stat((temp / "HKEY_CLASSES_ROOT/AppID/{X}/LocalService").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST(RegistryTest, KeysAreFoldersAndValuesAreFiles) {
    TempFolder temp;
    Registry registry(temp.path());
    const std::string key = "HKEY_CLASSES_ROOT\\AppID\\{X}";
    ASSERT_TRUE(registry.CreateKey(key));
    ASSERT_TRUE(registry.CreateKey(key));  // already there: fine
    EXPECT_TRUE(registry.WriteString(key, "", "TARNSvr"));
    EXPECT_TRUE(registry.WriteString(key, "LocalService", "first"));
    EXPECT_TRUE(registry.WriteString(key, "LocalService", "second"));  // replaced
    EXPECT_TRUE(registry.WriteDword(key, "TypesSupported", 7));
    EXPECT_EQ(FileTree(temp.path()), (std::map<std::string, std::string>{
                                         {"HKEY_CLASSES_ROOT/AppID/{X}/(default)", "TARNSvr"},
                                         {"HKEY_CLASSES_ROOT/AppID/{X}/LocalService", "second"},
                                         {"HKEY_CLASSES_ROOT/AppID/{X}/TypesSupported", "7"},
                                     }));
    std::string value;
    EXPECT_TRUE(registry.ReadString(key, "", &value));
    EXPECT_EQ(value, "TARNSvr");

    EXPECT_TRUE(registry.DeleteValue(key, "LocalService"));
    EXPECT_EQ(registry.DeleteValue(key, "LocalService").code(), ENOENT);
    EXPECT_EQ(registry.ReadString(key, "LocalService", &value).code(), ENOENT);
    // A subkey is not a value.
    EXPECT_EQ(registry.ReadString("HKEY_CLASSES_ROOT", "AppID", &value).code(), ENOENT);

    EXPECT_TRUE(registry.DeleteKeyTree("HKEY_CLASSES_ROOT\\AppID"));
    EXPECT_TRUE(registry.DeleteKeyTree("HKEY_CLASSES_ROOT\\AppID"));  // gone already: fine
    EXPECT_EQ(registry.OpenKey(key).code(), ENOENT);
    EXPECT_TRUE(registry.OpenKey("HKEY_CLASSES_ROOT"));
    // Values are written into existing keys only.
    EXPECT_EQ(registry.WriteString(key, "LocalService", "x").code(), ENOENT);
}

TEST(RegistryTest, NamesThatCouldLeaveTheirFolderAreRefused) {
    TempFolder temp;
    Registry registry(temp.path() + "/root");
    for (const char* key : {"HKEY_CLASSES_ROOT\\..\\..\\escape", "A\\\\B", "A/B", "..", "", "A\\"}) {
        EXPECT_EQ(registry.CreateKey(key).code(), EINVAL) << key;
    }
    ASSERT_TRUE(registry.CreateKey("A"));
    for (const char* name : {"..", "../x", "(default)", "."}) {
        EXPECT_EQ(registry.WriteString("A", name, "x").code(), EINVAL) << name;
    }
    EXPECT_EQ(FileTree(temp.path()).size(), 0u);
}

TEST(RegistryTest, RootComesFromTheEnvironment) {
    ::unsetenv(kRegistryRootVariable);
    EXPECT_EQ(Registry::FromEnvironment().root(), "/var/lib/TARNSvr/registry");
    ::setenv(kRegistryRootVariable, "/tmp/elsewhere", 1);
    EXPECT_EQ(Registry::FromEnvironment().root(), "/tmp/elsewhere");
    ::unsetenv(kRegistryRootVariable);
}

}  // namespace
}  // namespace tarn
