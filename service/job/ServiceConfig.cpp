#include "service/job/ServiceConfig.h"

#include "service/host/ServiceEvents.h"
#include "service/job/ServiceContext.h"

namespace tarn {
namespace {

// The debug switch is on when the value begins with this (case-sensitive).
constexpr const char* kDebugOnPrefix = "true";

}  // namespace

std::unique_ptr<CServiceConfig> CServiceConfig::Create(const std::string& iniPath,
                                                       const std::string& programDir,
                                                       const CEventReporter& events) {
    std::unique_ptr<CServiceConfig> config(new CServiceConfig());
    if (!config->Load(iniPath)) {
        events.ReportServiceEvent(EventType::kError, kEvtHostFailure, "Unable to load INI file: " + iniPath);
        return nullptr;
    }
    config->modulePath_ = config->GetString(kServerSection, "ModulePath", "");
    if (config->modulePath_.empty()) config->modulePath_ = programDir;
    if (config->modulePath_.empty()) {
        events.ReportServiceEvent(EventType::kError, kEvtHostFailure,
                                  "Unable to load INI file: ModulePath is empty");
        return nullptr;
    }
    config->emlsrv_ = config->GetString(kServerSection, "emlsrv", "");
    config->sender_ = config->GetString(kServerSection, "sender", "");
    config->port_ = config->GetInt(kServerSection, "port", kDefaultPort);
    config->info_ = config->GetString(kServerSection, "info", "");
    config->bodyfiles_ = config->GetString(kServerSection, "bodyfiles", "");
    config->emailUid_ = config->GetString(kServerSection, "emailUID", "");
    config->emailPwd_ = config->GetString(kServerSection, "emailPWD", "");
    std::string debug = config->GetString(kServerSection, "debug", "");
    // An empty port would reach the mailer as an empty option value.
    config->emport_ = config->GetString(kServerSection, "emport", "");
    if (config->emport_.empty()) config->emport_ = kDefaultMailPort;
    config->emlog_ = config->GetString(kServerSection, "emlog", "");
    config->debug_ = debug.rfind(kDebugOnPrefix, 0) == 0;
    return config;
}

}  // namespace tarn
