#include "service/host/Registration.h"

#include <cerrno>
#include <utility>

#include "platform/OperatorMessage.h"
#include "service/host/ServiceIdentity.h"

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
    if (!serviceManager_.CreateService(entry)) {
        ShowMessage("Could not start service");
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
