#pragma once
// The one service module of the process: the service name, the mode flag,
// the configuration, the listener and the program's folder. It is the
// context every conversation reports and reads its configuration through.
//
// Threading: Run and the control actions are called one at a time; the
// configuration is written only before the listener starts and after it has
// ended, so conversations read it without locks. The event writers keep no
// state and may be called from any thread.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/EventSink.h"
#include "platform/ServiceHost.h"
#include "service/history/JobMonitor.h"
#include "service/host/HResult.h"
#include "service/host/Listener.h"
#include "service/host/ServiceIdentity.h"
#include "service/job/ServiceConfig.h"
#include "service/job/ServiceContext.h"

namespace tarn {

// Environment variable naming the one local address to listen on (for
// tests and single-host setups); unset, the listener takes every address.
inline constexpr const char* kListenAddressVariable = "TARN_LISTEN_ADDRESS";

// The folder of `programPath` with its closing separator; empty when the
// path has no separator or only a leading one.
std::string ModuleDirectoryOf(const std::string& programPath);

class CTARNSvrModule : public CServiceContext {
  public:
    explicit CTARNSvrModule(EventSink& sink = PlatformEvents());
    ~CTARNSvrModule() override;

    // Service life cycle (ServiceLifeCycle.cpp). Start reads the mode from the
    // registry and runs the program in it; returns the exit code.
    std::uint32_t Start();
    // The service thread: state start pending, Run, state stopped.
    void ServiceMain();
    // One control from the dispatcher: stop, pause, continue, ...
    void ControlHandler(std::uint32_t control);
    // Stores `state` in the status block and reports the block.
    void SetServiceState(std::uint32_t state);
    void OnStop();
    void OnPause();
    void OnContinue();
    const ServiceStatus& StatusBlock() const { return status_; }

    // The start sequence: program folder, configuration, listener, listener
    // thread; then waits in the message loop until PostQuit. Returns 0 or E_FAIL.
    HRESULT Run();
    // Ends Run's message loop (callable from any thread).
    void PostQuit();

    // Opens the listening socket on the configured port; 0 or an errno.
    int OpenListener();
    // Closes the listener after every conversation has ended; 0 or non-zero.
    int CloseListener();
    // Starts the listener thread when none is held.
    Status StartListenerThread();

    // The event writers, in the module's mode.
    void ReportServiceEvent(EventType type, EventId id, const std::string& text) const override;
    void LogEvent(const std::string& text) const;

    // REQUIRES: Run has loaded the configuration.
    const CServiceConfig& Config() const override { return *config_; }
    bool HasConfig() const { return config_ != nullptr; }
    // Releases the configuration and the module directory (after CloseListener).
    void ReleaseConfig();

    bool RunningAsService() const { return runningAsService_; }
    void SetRunningAsService(bool service) { runningAsService_ = service; }
    const std::string& ServiceName() const { return serviceName_; }
    const std::string& ModuleDirectory() const { return moduleDirectory_; }
    CListener& Listener() { return listener_; }
    JobMonitor& Monitor() { return monitor_; }

  private:
    // Reports error 0xC0000003 with `text`.
    void ReportHostError(const std::string& text) const;
    // Error events for a forms folder that is missing or holds a save folder.
    void ReportFolderLayout() const;
    // Run's last step before its message loop: "Service started" and running.
    void ReportRunning();

    EventSink& sink_;
    std::string serviceName_ = kServiceName;
    bool runningAsService_ = true;
    std::unique_ptr<CServiceConfig> config_;
    std::string moduleDirectory_;
    JobMonitor monitor_;  // before the listener, whose conversations use it
    CListener listener_;

    ServiceStatus status_;
    ServiceHost* host_ = nullptr;  // the dispatcher while Start runs

    std::mutex quitMutex_;
    std::condition_variable quitSignal_;
    bool quit_ = false;
};

}  // namespace tarn
