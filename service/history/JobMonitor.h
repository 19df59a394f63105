#pragma once
// What the server keeps for its operators: the job history, the metrics and
// the status page. The service module runs every conversation through
// RunJob, which gives the job a context that notes what became of it and
// records the job once it has ended.
//
// Settings (section Server): jobHistory (database file below ModulePath,
// default jobs.db, empty: off), jobHistoryDays (default 90), statusPort
// (absent: no status page; 0: a free port), statusAddress (default
// 127.0.0.1).
//
// Threading: Start, Stop and SetPaused are called by the service control;
// RunJob by any number of connection threads at once.

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "platform/Socket.h"
#include "service/history/JobHistory.h"
#include "service/history/JobMetrics.h"
#include "service/history/StatusPage.h"
#include "service/job/ServiceContext.h"

namespace tarn {

class CServiceConfig;
class EventSink;

// Keys of section Server.
inline constexpr const char* kJobHistoryKey = "jobHistory";
inline constexpr const char* kJobHistoryDaysKey = "jobHistoryDays";
inline constexpr const char* kStatusPortKey = "statusPort";
inline constexpr const char* kStatusAddressKey = "statusAddress";
// The address the status page listens on when the setting is missing.
inline constexpr const char* kDefaultStatusAddress = "127.0.0.1";

struct MonitorSettings {
    std::string historyPath;  // empty: no job history
    int historyDays = kDefaultHistoryDays;
    int statusPort = -1;  // -1: no status page
    std::string statusAddress = kDefaultStatusAddress;
};

// Reads the settings; a value that cannot be used is reported and its
// default taken (for statusPort: no status page).
MonitorSettings ReadMonitorSettings(const CServiceConfig& config, const CEventReporter& events);

// A job's context: the module's configuration and event writers, plus the
// job's record, which also notes the error events the job raises.
class CJobContext : public CServiceContext {
  public:
    explicit CJobContext(const CServiceContext& module) : module_(module) {}
    const CServiceConfig& Config() const override { return module_.Config(); }
    void ReportServiceEvent(EventType type, EventId id, const std::string& text) const override;
    JobRecord* CurrentJob() const override { return &record_; }

  private:
    const CServiceContext& module_;
    mutable JobRecord record_;  // filled on the job's own thread only
};

class JobMonitor {
  public:
    // `console` shows where the status page listens.
    JobMonitor(const CEventReporter& events, EventSink& console);
    ~JobMonitor();

    // Opens the history and starts the status page as `config` asks.
    // Faults are reported; the service runs on without them.
    void Start(const CServiceConfig& config);
    // Stops the status page and closes the history.
    // REQUIRES: no conversation is running.
    void Stop();
    void SetPaused(bool paused) { paused_ = paused; }

    // Runs one conversation on `connection` (`conversation` gets the job's
    // context) and records the job when it has ended.
    void RunJob(SocketHandle connection, const CServiceContext& module,
                const std::function<void(const CServiceContext&)>& conversation);

    int StatusPort() const { return page_ ? page_->Port() : 0; }

  private:
    const CEventReporter& events_;
    EventSink& console_;
    std::unique_ptr<JobHistory> history_;
    JobMetrics metrics_;
    std::atomic<bool> paused_{false};
    std::unique_ptr<StatusPage> page_;
};

}  // namespace tarn
