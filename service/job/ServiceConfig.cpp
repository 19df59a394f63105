#include "service/job/ServiceConfig.h"

#include "platform/Paths.h"
#include "service/ServiceEvents.h"
#include "service/job/ServiceContext.h"
#include "service/job/TextHelpers.h"

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
    config->modulePath_ = config->GetString(kServerSection, kModulePathKey, "");
    if (config->modulePath_.empty()) config->modulePath_ = programDir;
    if (config->modulePath_.empty()) {
        events.ReportServiceEvent(EventType::kError, kEvtHostFailure,
                                  "Unable to load INI file: ModulePath is empty");
        return nullptr;
    }
    config->emlsrv_ = config->GetString(kServerSection, kMailServerKey, "");
    config->sender_ = config->GetString(kServerSection, kSenderKey, "");
    config->port_ = config->GetInt(kServerSection, kPortKey, kDefaultPort);
    config->info_ = config->GetString(kServerSection, kInfoKey, "");
    config->bodyfiles_ = config->GetString(kServerSection, kBodyFilesKey, "");
    config->emailUid_ = config->GetString(kServerSection, kEmailUidKey, "");
    config->emailPwd_ = config->GetString(kServerSection, kEmailPwdKey, "");
    std::string debug = config->GetString(kServerSection, kDebugKey, "");
    // An empty port would reach the mailer as an empty option value.
    config->emport_ = config->GetString(kServerSection, kMailPortKey, "");
    if (config->emport_.empty()) config->emport_ = kDefaultMailPort;
    config->emlog_ = config->GetString(kServerSection, kActivityLogKey, "");
    config->debug_ = debug.rfind(kDebugOnPrefix, 0) == 0;
    const std::string formsDir = config->GetString(kServerSection, kFormsDirKey, "");
    if (!formsDir.empty()) {
        config->formsFolder_ =
            formsDir.front() == kPathSeparator ? formsDir : JoinPath(config->modulePath_, formsDir);
    }
    return config;
}

std::vector<std::string> CServiceConfig::SaveFolders() const {
    std::vector<std::string> folders;
    for (const std::string& section : SectionNames()) {
        const bool workbook = EqualsNoCase(section, kXlsSection);
        for (const auto& [key, value] : Entries(section)) {
            const bool saveKey =
                workbook ? StartsWithNoCase(key, kSaveDirKey) : EqualsNoCase(key, kSaveDirKey);
            if (saveKey && !value.empty()) folders.push_back(value);
        }
    }
    return folders;
}

std::string CServiceConfig::ToolPath(const std::string& name) const {
    const std::string toolFolder = JoinPath(modulePath_, GetString(kServerSection, kHomeKey, ""));
    return JoinPath(toolFolder, name + kExeSuffix);
}

}  // namespace tarn
