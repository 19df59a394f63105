#include "service/host/TARNSvrModule.h"

#include "platform/Environment.h"
#include "platform/File.h"
#include "platform/Paths.h"
#include "service/host/AddressFilter.h"
#include "service/host/EventWriters.h"
#include "service/job/FolderLayout.h"
#include "service/job/LeftoverFiles.h"
#include "service/job/RequestConversation.h"

namespace tarn {

std::string ModuleDirectoryOf(const std::string& programPath) {
    std::string::size_type slash = programPath.rfind(kPathSeparator);
    if (slash == std::string::npos || slash == 0) return std::string();
    return programPath.substr(0, slash + 1);
}

CTARNSvrModule::CTARNSvrModule(EventSink& sink)
    : sink_(sink), monitor_(*this, sink), listener_(*this, sink, [this](SocketHandle connection) {
          monitor_.RunJob(connection, *this, [connection](const CServiceContext& job) {
              CRequestConversation conversation(connection, job);
              conversation.Run();
          });
      }) {}

CTARNSvrModule::~CTARNSvrModule() { listener_.Close(); }

void CTARNSvrModule::ReportServiceEvent(EventType type, EventId id, const std::string& text) const {
    tarn::ReportServiceEvent(sink_, runningAsService_, type, id, text);
}

void CTARNSvrModule::LogEvent(const std::string& text) const {
    tarn::LogEvent(sink_, runningAsService_, text);
}

void CTARNSvrModule::ReportHostError(const std::string& text) const {
    ReportServiceEvent(EventType::kError, kEvtHostFailure, text);
}

HRESULT CTARNSvrModule::Run() {
    // 1. The program's folder.
    moduleDirectory_ = ModuleDirectoryOf(ProgramPath());
    if (moduleDirectory_.empty()) {
        ReportHostError("Cannot start service. Module path is invalid.");
        return E_FAIL;
    }
    // 2. The configuration; its load failure has been reported already.
    config_ = CServiceConfig::Create(moduleDirectory_ + kIniFileName, moduleDirectory_, *this);
    if (!config_) {
        ReleaseConfig();
        return E_FAIL;
    }
    // Partial raw files and mail bodies an earlier run could not remove (it was killed).
    RemoveLeftoversOfEarlierRuns(*config_);
    ReportFolderLayout();
    // The job history and the status page; their faults do not stop the service.
    monitor_.Start(*config_);
    // 3. The listening socket.
    if (!listener_.IsOpen() && OpenListener() != 0) {
        ReportHostError("Cannot start service. Failed to open TCP connection.");
        return E_FAIL;
    }
    // 4. The listener thread.
    if (!listener_.HasThread() && !StartListenerThread().ok()) {
        ReportHostError("Cannot start service. Failed to create thread.");
        return E_FAIL;
    }
    ReportRunning();
    // The message loop: wait until asked to quit.
    std::unique_lock<std::mutex> lock(quitMutex_);
    quitSignal_.wait(lock, [this] { return quit_; });
    return S_OK;
}

void CTARNSvrModule::ReportFolderLayout() const {
    const std::string& forms = config_->FormsFolder();
    if (forms.empty()) return;
    if (!IsDirectory(forms)) ReportHostError("The forms folder " + forms + " does not exist");
    for (const std::string& folder : SaveFoldersInsideForms(*config_)) {
        ReportHostError("The save folder " + folder + " lies inside the forms folder " + forms +
                        ": clients can name the reports there as forms");
    }
}

void CTARNSvrModule::PostQuit() {
    std::lock_guard<std::mutex> lock(quitMutex_);
    quit_ = true;
    quitSignal_.notify_all();
}

int CTARNSvrModule::OpenListener() {
    ConnectionLimits limits;
    std::vector<std::string> rejected;
    limits.allowFrom = AddressFilter::Parse(config_->AllowFrom(), &rejected);
    for (const std::string& entry : rejected)
        ReportHostError("allowFrom entry \"" + entry + "\" is not an address or network; it admits no one");
    limits.maxConnections = config_->MaxConnections();
    limits.clientTimeout = config_->ClientTimeout();
    listener_.SetLimits(std::move(limits));
    return listener_.Open(EnvironmentValue(kListenAddressVariable), config_->Port());
}

int CTARNSvrModule::CloseListener() { return listener_.Close(); }

Status CTARNSvrModule::StartListenerThread() { return listener_.StartThread(); }

void CTARNSvrModule::ReleaseConfig() {
    monitor_.Stop();
    config_.reset();
    moduleDirectory_.clear();
}

}  // namespace tarn
