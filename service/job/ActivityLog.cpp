#include "service/job/ActivityLog.h"

#include <cstdio>

#include "platform/AppendFile.h"
#include "service/job/EmailRecord.h"
#include "service/job/ServiceConfig.h"
#include "service/job/ServiceContext.h"
#include "service/job/TextHelpers.h"

namespace tarn {
namespace {

// The platform's text line end.
constexpr const char* kLineEnd = "\n";

const char* Outcome(bool failed) { return failed ? " failed" : " succeeded"; }

}  // namespace

std::string ActivityStamp(const LocalDateTime& t) {
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%02d/%02d/%04d %02d:%02d:%02d", t.day, t.month, t.year, t.hour,
                  t.minute, t.second);
    return stamp;
}

// Paths and addresses come from clients: their control bytes are escaped,
// so a line can neither be split nor rewrite what a terminal shows.
std::string JobLogLine(const std::string& stamp, const std::string& text, bool failed) {
    return stamp + " " + EscapeControls(text) + " -> all" + Outcome(failed) + kLineEnd;
}

std::string MailLogLine(const std::string& stamp, const std::string& attachment, const std::string& addresses,
                        bool failed) {
    return stamp + " " + EscapeControls(attachment) + " -> " + EscapeControls(addresses) + Outcome(failed) +
           kLineEnd;
}

void AppendActivityLine(const std::string& modulePath, const std::string& emlog, const std::string& line) {
    if (emlog.empty()) return;
    // Failures are not reported: the log must never disturb a job or a mail.
    AppendToFile(JoinPath(modulePath, emlog), line);
}

void AppendJobLogLine(const CServiceContext& module, const std::string& text, bool failed) {
    const CServiceConfig& config = module.Config();
    AppendActivityLine(config.ModulePath(), config.ActivityLog(),
                       JobLogLine(ActivityStamp(CurrentLocalTime()), text, failed));
}

void AppendMailLogLine(const EmailRecord& record, bool failed) {
    if (record.module == nullptr) return;
    const CServiceConfig& config = record.module->Config();
    AppendActivityLine(
        config.ModulePath(), config.ActivityLog(),
        MailLogLine(ActivityStamp(CurrentLocalTime()), record.attachment, record.addressList, failed));
}

}  // namespace tarn
