#pragma once
// Registration of TARNSvr: the AppID entries of the registrar script, the
// "LocalService" value that selects service mode, the event source, the
// description and the service entry (a systemd unit).
//
// Not thread-safe; used once by the program's entry before anything starts.

#include <functional>
#include <string>

#include "platform/Registry.h"
#include "platform/ServiceManager.h"
#include "service/host/CommandLine.h"
#include "service/host/HResult.h"

namespace tarn {

class CServiceRegistration : public RegistrationActions {
  public:
    using MessageWriter = std::function<void(const std::string& text)>;

    // `programPath` is the full path of the executable that the service entry
    // runs and beside which the message file is expected. Messages go to
    // standard error unless `showMessage` is given.
    CServiceRegistration(Registry registry, ServiceManager serviceManager, std::string programPath,
                         MessageWriter showMessage = nullptr);

    HRESULT RegisterAppId(bool serviceForm) override;
    HRESULT UnregisterAppId() override;
    void SetPerUser() override { perUser_ = true; }

    bool Install();
    bool Uninstall();
    bool IsInstalled() const;
    // The registrar script: creates, or deletes, the AppID entries.
    HRESULT UpdateRegistryAppId(bool registering);

  private:
    void ShowMessage(const std::string& text) const;
    void RegisterEventSource() const;

    Registry registry_;
    ServiceManager serviceManager_;
    std::string programPath_;
    MessageWriter showMessage_;
    bool perUser_ = false;
};

}  // namespace tarn
