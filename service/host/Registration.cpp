#include "service/host/Registration.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <utility>
#include <vector>

#include "platform/File.h"
#include "platform/Ini.h"
#include "platform/OperatorMessage.h"
#include "service/host/ServiceIdentity.h"
#include "service/job/SettingKeys.h"

namespace tarn {
namespace {

// Event types the source supports: error, warning and information.
constexpr std::uint32_t kTypesSupported = 7;
// Categories declared by the message file.
constexpr std::uint32_t kCategoryCount = 3;

std::string Key(const std::string& parent, const std::string& name) { return parent + "\\" + name; }

HRESULT HResultFrom(const Status& status) {
    return status ? S_OK : HResultFromError(status.code() != 0 ? status.code() : EIO);
}

// Whether a TARN.ini key names a save folder ("saveDir", "saveDirEU", ...).
bool IsSaveDirKey(const std::string& key) {
    const std::string prefix = kSaveDirKey;
    if (key.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(key[i])) !=
            std::tolower(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

// The folders the service writes to: its own folder (the working folder, so
// relative save folders and the activity log land there) and every absolute
// save folder that the configuration beside it names.
std::vector<std::string> WritableFolders(const std::string& programFolder) {
    std::vector<std::string> folders = {programFolder};
    std::vector<IniSection> sections;
    if (!ReadIniFile(programFolder + "/" + kIniFileName, &sections)) return folders;
    for (const IniSection& section : sections) {
        for (const std::string& line : section.lines) {
            const std::string::size_type equals = line.find('=');
            if (equals == std::string::npos || !IsSaveDirKey(line.substr(0, equals))) {
                continue;
            }
            std::string folder = line.substr(equals + 1);
            while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
            if (folder.empty() || folder.front() != '/') continue;
            if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(folder);
        }
    }
    return folders;
}

}  // namespace

CServiceRegistration::CServiceRegistration(Registry registry, ServiceManager serviceManager,
                                           std::string programPath, MessageWriter showMessage)
    : registry_(std::move(registry)),
      serviceManager_(std::move(serviceManager)),
      programPath_(std::move(programPath)),
      showMessage_(std::move(showMessage)) {}

void CServiceRegistration::ShowMessage(const std::string& text) const {
    if (showMessage_) {
        showMessage_(text);
    } else {
        ShowOperatorMessage(kServiceName, text);
    }
}

HRESULT CServiceRegistration::UpdateRegistryAppId(bool registering) {
    const std::string appId = Key(perUser_ ? kPerUserClassesRoot : kClassesRoot, "AppID");
    const std::string guidKey = Key(appId, kAppIdGuid);
    const std::string exeKey = Key(appId, kExeAppIdKey);
    if (!registering) {
        // AppID itself is shared with other programs and stays.
        Status status = registry_.DeleteKeyTree(guidKey);
        if (status) status = registry_.DeleteKeyTree(exeKey);
        return HResultFrom(status);
    }
    Status status = registry_.CreateKey(guidKey);
    if (status) status = registry_.WriteString(guidKey, "", kServiceName);
    if (status) status = registry_.CreateKey(exeKey);
    if (status) status = registry_.WriteString(exeKey, "AppID", kAppIdGuid);
    return HResultFrom(status);
}

HRESULT CServiceRegistration::RegisterAppId(bool serviceForm) {
    if (!Uninstall()) return E_FAIL;
    HRESULT result = UpdateRegistryAppId(true);
    if (result != S_OK) return result;

    // AppID itself is made along with the GUID key when the registry is new
    // (a per-user registration writes the script's entries elsewhere).
    const std::string guidKey = Key(kAppIdKey, kAppIdGuid);
    Status status = registry_.CreateKey(guidKey);
    if (!status) return HResultFrom(status);
    status = registry_.DeleteValue(guidKey, kLocalServiceValue);
    if (!status && status.code() != ENOENT) return HResultFrom(status);
    if (!serviceForm) return S_OK;

    status = registry_.WriteString(guidKey, kLocalServiceValue, kServiceName);
    if (!status) return HResultFrom(status);
    if (!Install()) return E_FAIL;

    // The event source and the description are extras: their failures are
    // not reported, the service runs without them.
    RegisterEventSource();
    if (registry_.CreateKey(kServiceKey)) {
        registry_.WriteString(kServiceKey, "Description", kServiceDescription);
    }
    return S_OK;
}

void CServiceRegistration::RegisterEventSource() const {
    std::string folder = programPath_.substr(0, programPath_.rfind('/') + 1);
    const std::string messageFile = folder + kEventMessageFile;
    const std::string sourceKey = Key(kEventSourceParentKey, kServiceName);
    if (!registry_.CreateKey(sourceKey)) return;
    for (const char* name : {"CategoryMessageFile", "EventMessageFile", "ParameterMessageFile"}) {
        registry_.WriteString(sourceKey, name, messageFile);
    }
    registry_.WriteDword(sourceKey, "TypesSupported", kTypesSupported);
    registry_.WriteDword(sourceKey, "CategoryCount", kCategoryCount);
}

HRESULT CServiceRegistration::UnregisterAppId() {
    registry_.DeleteKeyTree(Key(kEventSourceParentKey, kServiceName));
    if (!Uninstall()) return E_FAIL;

    const std::string guidKey = Key(kAppIdKey, kAppIdGuid);
    Status status = registry_.OpenKey(kAppIdKey);
    if (status) status = registry_.OpenKey(guidKey);
    if (!status) return HResultFrom(status);
    registry_.DeleteValue(guidKey, kLocalServiceValue);
    return UpdateRegistryAppId(false);
}

bool CServiceRegistration::IsInstalled() const {
    return serviceManager_.Open() && serviceManager_.IsInstalled(kServiceName);
}

bool CServiceRegistration::Install() {
    if (IsInstalled()) return true;
    if (programPath_.empty()) return false;
    if (!serviceManager_.Open()) {
        ShowMessage("Could not open Service Manager");
        return false;
    }
    ServiceEntry entry;
    entry.name = kServiceName;
    entry.programPath = programPath_;
    entry.automaticStart = true;
    entry.environment = InstallerEnvironment();
    // The service runs as the owner of its folder: whoever installed the
    // programs there can already change what the service runs.
    std::string folder = programPath_.substr(0, programPath_.rfind('/'));
    if (folder.empty()) folder = "/";
    Status status = FileOwnerName(folder, &entry.user);
    entry.workingDirectory = folder;
    entry.writablePaths = WritableFolders(folder);
    if (status) status = serviceManager_.CreateService(entry);
    if (!status) {
        ShowMessage("Could not start service: " + status.message());
        return false;
    }
    return true;
}

bool CServiceRegistration::Uninstall() {
    if (!IsInstalled()) return true;
    if (!serviceManager_.Open()) {
        ShowMessage("Could not open Service Manager");
        return false;
    }
    if (!serviceManager_.IsInstalled(kServiceName)) {
        ShowMessage("Could not open service");
        return false;
    }
    std::string programName = programPath_.substr(programPath_.rfind('/') + 1);
    Status error;
    if (serviceManager_.StopService(programName, &error) == ServiceManager::StopResult::kFailed) {
        ShowMessage("Could not stop service");
    }
    if (!serviceManager_.DeleteService(kServiceName)) {
        ShowMessage("Could not delete service");
        return false;
    }
    // The service's own key goes with the service entry.
    registry_.DeleteKeyTree(kServiceKey);
    return true;
}

}  // namespace tarn
