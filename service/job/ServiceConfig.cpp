#include "service/job/ServiceConfig.h"

#include "service/host/ServiceEvents.h"
#include "service/job/JobPipeline.h"
#include "service/job/ServiceContext.h"

namespace tarn {
namespace {

// The debug switch is on when the value begins with this (case-sensitive).
constexpr const char* kDebugOnPrefix = "true";

constexpr const char* kAllowFromKey = "allowFrom";
constexpr const char* kMaxConnectionsKey = "maxConnections";
constexpr const char* kClientTimeoutKey = "clientTimeout";
constexpr const char* kMaxJobBytesKey = "maxJobBytes";
constexpr const char* kMaxOrdersKey = "emmaxorders";
constexpr const char* kMaxRecipientsKey = "emmaxrecipients";
constexpr const char* kAllowedRecipientsKey = "emallow";

// The int setting `key`, or `fallback` when it is missing, empty or below `lowest`.
int LimitSetting(const CXmlProfile& profile, const char* key, int lowest, int fallback) {
    int value = profile.GetInt(kServerSection, key, fallback);
    return value < lowest ? fallback : value;
}

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

    config->allowFrom_ = config->GetString(kServerSection, kAllowFromKey, "");
    config->maxConnections_ = LimitSetting(*config, kMaxConnectionsKey, 1, kDefaultMaxConnections);
    config->clientTimeout_ = LimitSetting(*config, kClientTimeoutKey, 0, kDefaultClientTimeout);
    std::int64_t maxJobBytes = ParseInt64Like(config->GetString(kServerSection, kMaxJobBytesKey, ""));
    config->maxJobBytes_ = maxJobBytes < 1 ? kDefaultMaxJobBytes : maxJobBytes;
    config->maxOrders_ = LimitSetting(*config, kMaxOrdersKey, 0, kDefaultMaxOrders);
    config->maxRecipients_ = LimitSetting(*config, kMaxRecipientsKey, 0, kDefaultMaxRecipients);
    config->emallow_ = config->GetString(kServerSection, kAllowedRecipientsKey, "");
    return config;
}

}  // namespace tarn
