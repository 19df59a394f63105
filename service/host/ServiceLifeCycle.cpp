// The service life cycle of CTARNSvrModule: the choice between service and
// console mode, the service thread, the control handler and the reactions to
// stop, pause and continue.
//
// Threads: Start runs on the main thread, which becomes the control
// dispatcher (ServiceHost) and calls ControlHandler for one control at a
// time; ServiceMain, Run and the message loop run on the service thread.

#include <cerrno>

#include "platform/OperatorMessage.h"
#include "platform/Registry.h"
#include "platform/ServiceManager.h"
#include "service/host/ServiceIdentity.h"
#include "service/host/TARNSvrModule.h"

namespace tarn {

std::uint32_t CTARNSvrModule::Start() {
    // 1. The AppID key must exist: the program has been registered.
    Registry registry = Registry::FromEnvironment();
    const std::string guidKey = std::string(kAppIdKey) + "\\" + kAppIdGuid;
    tarn::Status opened = registry.OpenKey(kAppIdKey);
    if (opened) opened = registry.OpenKey(guidKey);
    if (!opened) {
        status_.exitCode = static_cast<std::uint32_t>(opened.code() != 0 ? opened.code() : EIO);
        ShowOperatorMessage(serviceName_, "not registered (" + opened.message() + "); run \"" + serviceName_ +
                                              " -RegServer\" or \"" + serviceName_ + " -Service\" first");
        return status_.exitCode;
    }
    // 2. "LocalService" selects service mode.
    std::string localService;
    runningAsService_ = registry.ReadString(guidKey, kLocalServiceValue, &localService).ok();

    ServiceHost host(runningAsService_ ? ServiceHost::Mode::kService : ServiceHost::Mode::kConsole);
    host_ = &host;
    std::uint32_t exitCode = E_FAIL;
    if (runningAsService_) {
        // 3. Service mode: the dispatcher runs the service thread and feeds
        // the controls; a stop can reach a running instance through the pid file.
        ServiceManager manager = ServiceManager::FromEnvironment();
        tarn::Status written = manager.WritePidFile();
        if (!written) ReportHostError("Cannot write the pid file: " + written.message());
        tarn::Status dispatched = host.Dispatch([this] { ServiceMain(); });
        exitCode = dispatched
                       ? status_.exitCode
                       : static_cast<std::uint32_t>(dispatched.code() != 0 ? dispatched.code() : E_FAIL);
        manager.RemovePidFile();
    } else {
        // 4. Console mode: Run on a thread of its own, so that Ctrl-C (or
        // SIGTERM) can end it cleanly after the running conversations.
        host.RegisterControlHandler([this](std::uint32_t control) { ControlHandler(control); });
        HRESULT result = E_FAIL;
        tarn::Status dispatched = host.Dispatch([this, &result] { result = Run(); });
        exitCode = dispatched ? result : E_FAIL;
    }
    host_ = nullptr;
    return exitCode;
}

void CTARNSvrModule::ServiceMain() {
    status_.currentState = kServiceStartPending;
    host_->RegisterControlHandler([this](std::uint32_t control) { ControlHandler(control); });
    status_.exitCode = 0;
    status_.checkPoint = 0;
    status_.waitHint = 0;
    SetServiceState(kServiceStartPending);
    status_.exitCode = Run();
    SetServiceState(kServiceStopped);
    LogEvent("Service stopped");
}

void CTARNSvrModule::ControlHandler(std::uint32_t control) {
    switch (control) {
    case kControlStop:
        OnStop();
        break;
    case kControlPause:
        OnPause();
        break;
    case kControlContinue:
        OnContinue();
        break;
    case kControlInterrogate:
    case kControlShutdown:
        break;
    default:
        LogEvent("Bad service request");
        break;
    }
}

void CTARNSvrModule::SetServiceState(std::uint32_t state) {
    status_.currentState = state;
    if (host_ != nullptr) host_->ReportState(state);
}

void CTARNSvrModule::ReportRunning() {
    if (runningAsService_) {
        LogEvent("Service started");
        SetServiceState(kServiceRunning);
    } else if (host_ != nullptr) {
        // Console mode reports no state; the dispatcher only learns that a
        // Ctrl-C can now be handled.
        host_->ReportState(kServiceRunning);
    }
}

void CTARNSvrModule::OnStop() {
    // 1. Leave the message loop: Run returns and the service thread reports stopped.
    SetServiceState(kServiceStopPending);
    PostQuit();
    // 2. Wait for the listener thread and every conversation.
    if (CloseListener() != 0) {
        ReportHostError("Cannot stop service. Failed to close TCP connection.");
    }
    // 3. Nothing uses the configuration any more.
    ReleaseConfig();
}

void CTARNSvrModule::OnPause() {
    SetServiceState(kServicePausePending);
    if (CloseListener() != 0) {
        SetServiceState(kServiceRunning);
        ReportHostError("Cannot pause service. Failed to close TCP connection.");
        return;
    }
    SetServiceState(kServicePaused);
    monitor_.SetPaused(true);
    ReportServiceEvent(EventType::kSuccess, kEvtGeneric, "Service paused.");
}

void CTARNSvrModule::OnContinue() {
    SetServiceState(kServiceContinuePending);
    if (!Listener().IsOpen() && OpenListener() != 0) {
        SetServiceState(kServicePaused);
        ReportHostError("Cannot continue service. Failed to open TCP connection.");
        return;
    }
    if (Listener().HasThread()) {
        // Not paused: the listener still runs, so the service still runs too.
        SetServiceState(kServiceRunning);
        return;
    }
    if (!StartListenerThread().ok()) {
        SetServiceState(kServicePaused);
        ReportHostError("Cannot continue service. Failed to create thread.");
        return;
    }
    SetServiceState(kServiceRunning);
    monitor_.SetPaused(false);
    ReportServiceEvent(EventType::kSuccess, kEvtGeneric, "Service continued.");
}

}  // namespace tarn
