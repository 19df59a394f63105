#include "service/job/MailDispatch.h"

#include <utility>
#include <vector>

#include "platform/File.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "service/ServiceEvents.h"
#include "service/job/ActivityLog.h"
#include "service/job/EmailRecord.h"
#include "service/job/MailBody.h"
#include "service/job/ServiceConfig.h"
#include "service/job/ServiceContext.h"
#include "service/job/TextHelpers.h"

namespace tarn {
namespace {

// Removes the temporary body file however SendMail ends.
class BodyFileGuard {
  public:
    explicit BodyFileGuard(const EmailRecord& record) : record_(record) {}
    ~BodyFileGuard() {
        if (!record_.bodyFile.empty()) RemoveFile(record_.bodyFile);
    }
    BodyFileGuard(const BodyFileGuard&) = delete;
    BodyFileGuard& operator=(const BodyFileGuard&) = delete;

  private:
    const EmailRecord& record_;
};

bool HasMailPassword(const CServiceConfig& config) {
    return !config.EmailUid().empty() && !config.EmailPwd().empty();
}

}  // namespace

std::string BuildMailerCommandLine(const CServiceConfig& config, const std::string& mailerPath,
                                   const EmailRecord& record) {
    std::string line = QuoteArgumentIfNeeded(mailerPath) + " ";
    if (record.hasBody) {
        line +=
            QuoteArgumentIfNeeded(record.bodyFile) + " -attach " + QuoteArgumentIfNeeded(record.attachment);
    } else {
        line += QuoteArgumentIfNeeded(record.attachment);
    }
    line += " -subject " + QuoteArgument(record.subject);
    line += " -f " + QuoteArgumentIfNeeded(config.Sender());
    line += " -t " + QuoteArgumentIfNeeded(record.addressList);
    line += " -i " + QuoteArgument(config.Info());
    line += " -server " + QuoteArgumentIfNeeded(config.MailServer());
    line += " -port " + QuoteArgumentIfNeeded(config.MailPort());
    if (!record.hasBody) line += " -base64";
    for (const auto& [key, option] :
         {std::pair{kMailCharsetKey, " -charset "}, std::pair{kMailTlsKey, " -tls "},
          std::pair{kMailCaFileKey, " -cafile "}}) {
        const std::string value = config.GetString(kServerSection, key, "");
        if (!value.empty()) line += option + QuoteArgumentIfNeeded(value);
    }
    if (HasMailPassword(config)) line += " -u " + QuoteArgumentIfNeeded(config.EmailUid());
    return line;
}

bool SendMail(EmailRecord& record) {
    if (record.module == nullptr) return false;
    const CServiceContext& module = *record.module;
    const CServiceConfig& config = module.Config();
    BodyFileGuard bodyFileGuard(record);
    const bool logActivity = !config.ActivityLog().empty();

    // The mailer lives in the tool folder, read at this moment.
    const std::string mailerPath = config.ToolPath(kMailerName);
    if (!FileOpens(mailerPath)) {
        module.ReportError(kEvtProgramMissing, mailerPath);
        if (logActivity) AppendMailLogLine(record, true);
        return false;
    }
    module.ReportDebug(kEvtProgramPath, mailerPath);

    if (!record.bodyTemplate.empty()) record.hasBody = PrepareMailBody(record);
    if (record.subject.empty()) record.subject = kDefaultSubject;

    // The line run, and the line shown (with the password as "***").
    std::string commandLine = BuildMailerCommandLine(config, mailerPath, record);
    std::vector<std::string> environment;
    std::string shownLine = commandLine;
    if (HasMailPassword(config)) {
        environment.push_back(std::string(kMailerPasswordVariable) + "=" + config.EmailPwd());
        shownLine += kShownPassword;
    }
    if (config.Debug()) {
        module.ReportServiceEvent(EventType::kInformation, kEvtCommandLine, shownLine);
    } else {
        commandLine += " -q";
        shownLine += " -q";
    }

    int exitCode = -1;
    Status started = RunCommandLine(commandLine, &exitCode, environment);
    const bool sent = started.ok() && exitCode == 0;
    if (!sent) module.ReportError(kEvtProgramFailed, shownLine);
    if (logActivity) AppendMailLogLine(record, !sent);
    return sent;
}

}  // namespace tarn
