#include "service/history/JobMonitor.h"

#include <chrono>

#include "platform/EventSink.h"
#include "platform/File.h"
#include "platform/Paths.h"
#include "platform/PeerAddress.h"
#include "service/history/HistoryEvents.h"
#include "service/history/JobQuery.h"
#include "service/job/ServiceConfig.h"

#ifndef TARN_VERSION
#define TARN_VERSION "unknown"
#endif

namespace tarn {
namespace {

// Label of the jobs whose section does not exist.
constexpr const char* kUnknownSection = "(unknown)";
constexpr int kMaxPort = 65535;

// A whole decimal number from 0 to `highest`; false for anything else.
bool ReadNumber(const std::string& text, int highest, int* value) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *value = std::stoi(text);
    return *value <= highest;
}

}  // namespace

MonitorSettings ReadMonitorSettings(const CServiceConfig& config, const CEventReporter& events) {
    MonitorSettings settings;
    const auto bad = [&events](const std::string& text) {
        events.ReportServiceEvent(EventType::kError, kEvtHostFailure, text);
    };
    const std::string history = config.GetString(kServerSection, kJobHistoryKey, kDefaultHistoryFile);
    if (!history.empty()) settings.historyPath = HistoryPathFor(config.ModulePath(), history);

    const std::string days = config.GetString(kServerSection, kJobHistoryDaysKey, "");
    if (!days.empty() && !ReadNumber(days, 1000000, &settings.historyDays)) {
        bad("jobHistoryDays must be a number of days (0 keeps every job): " + days + "; " +
            std::to_string(kDefaultHistoryDays) + " is used");
        settings.historyDays = kDefaultHistoryDays;
    }
    if (config.KeyExists(kServerSection, kStatusPortKey)) {
        const std::string port = config.GetString(kServerSection, kStatusPortKey, "");
        if (!ReadNumber(port, kMaxPort, &settings.statusPort)) {
            bad("statusPort must be a port number: " + port + "; the status page is off");
            settings.statusPort = -1;
        }
    }
    const std::string address = config.GetString(kServerSection, kStatusAddressKey, "");
    if (!address.empty()) settings.statusAddress = address;
    return settings;
}

void CJobContext::ReportServiceEvent(EventType type, EventId id, const std::string& text) const {
    if (type == EventType::kError) record_.errorEvents.push_back(id);
    module_.ReportServiceEvent(type, id, text);
}

JobMonitor::JobMonitor(const CEventReporter& events, EventSink& console)
    : events_(events), console_(console) {}

JobMonitor::~JobMonitor() { Stop(); }

void JobMonitor::Start(const CServiceConfig& config) {
    MonitorSettings settings = ReadMonitorSettings(config, events_);
    if (!settings.historyPath.empty()) {
        history_ = std::make_unique<JobHistory>(settings.historyPath, settings.historyDays, events_,
                                                [this] { metrics_.JobUnrecorded(); });
        history_->Start();
    }
    if (settings.statusPort >= 0) {
        page_ = std::make_unique<StatusPage>(settings.historyPath, metrics_, paused_, TARN_VERSION);
        Status started = page_->Start(settings.statusAddress, settings.statusPort);
        if (!started) {
            events_.ReportServiceEvent(EventType::kError, kEvtStatusPageFault,
                                       "Status page " + started.message());
            page_.reset();
        } else {
            console_.WriteConsoleLine("Status page: http://" + settings.statusAddress + ":" +
                                      std::to_string(page_->Port()) + "/");
        }
    }
}

void JobMonitor::Stop() {
    if (page_) page_->Stop();
    page_.reset();
    history_.reset();
}

void JobMonitor::RunJob(SocketHandle connection, const CServiceContext& module,
                        const std::function<void(const CServiceContext&)>& conversation) {
    const auto started = std::chrono::steady_clock::now();
    metrics_.ConnectionOpened();
    CJobContext context(module);
    JobRecord& record = *context.CurrentJob();
    record.acceptedMs = CurrentTimeMs();
    std::uint16_t port = 0;
    if (PeerAddress(connection, &record.clientAddress, &port)) record.clientPort = port;

    conversation(context);

    metrics_.ConnectionClosed();
    record.finishedMs = CurrentTimeMs();
    std::int64_t size = 0;
    if (!record.outputPath.empty() && FileOpens(record.outputPath) && GetFileSize(record.outputPath, &size)) {
        record.outputSize = size;
    }

    // The metrics first: once the row can be read, the counters show the job too.
    const std::string section = record.section.substr(0, record.section.find('\0'));
    std::vector<std::string> mails;
    for (const MailOutcome& mail : MailOutcomesOf(record)) mails.push_back(mail.outcome);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    metrics_.JobEnded(!section.empty() && module.Config().SectionExists(section) ? section : kUnknownSection,
                      record.Succeeded(), seconds, mails);
    if (history_) history_->Record(std::move(record));
}

}  // namespace tarn
