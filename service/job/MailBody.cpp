#include "service/job/MailBody.h"

#include "platform/CanonicalPath.h"
#include "platform/File.h"
#include "platform/Paths.h"
#include "platform/TempFile.h"
#include "service/ServiceEvents.h"
#include "service/job/EmailRecord.h"
#include "service/job/ServiceConfig.h"
#include "service/job/ServiceContext.h"
#include "service/job/TextHelpers.h"

namespace tarn {

bool IsPlainTemplateName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    return name.find_first_of("/\\") == std::string::npos;
}

std::string FillMailBody(const std::string& templateText, const std::string& recipientName) {
    const std::string name = recipientName.empty() ? std::string(kDefaultRecipientName) : recipientName;
    const std::string placeholder = kNamePlaceholder;
    std::string body;
    body.reserve(templateText.size() + 64);
    std::string::size_type start = 0;
    while (start < templateText.size()) {
        std::string::size_type end = templateText.find('\n', start);
        std::string line =
            templateText.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? templateText.size() : end + 1;
        // Text mode: a CR before the line feed belongs to the line end.
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string::size_type at = line.find(placeholder);
        if (at != std::string::npos) line.replace(at, placeholder.size(), name);
        body += line;
        body += '\n';
    }
    return body;
}

bool PrepareMailBody(EmailRecord& record) {
    if (record.bodyTemplate.empty() || record.module == nullptr) return false;
    const CServiceContext& module = *record.module;
    const CServiceConfig& config = module.Config();

    // A name from the client may only name a plain file in the body folder.
    // Without a body folder the folder would be ModulePath itself, where
    // TARN.ini and its mail password live: then no template is used at all.
    std::string templateText;
    const std::string templatePath =
        JoinPath(JoinPath(config.ModulePath(), config.BodyFiles()), record.bodyTemplate);
    if (config.BodyFiles().empty() || !IsPlainTemplateName(record.bodyTemplate) ||
        !IsPlainFile(templatePath) || !ReadWholeFile(templatePath, &templateText)) {
        module.ReportError(kEvtMergeFileMissing, record.bodyTemplate);
        return false;
    }

    // The body file is named by its full path (the mailer's argument and the
    // events), also when the temporary folder is given relative to here.
    std::string folder = TempFolder();
    std::string resolved;
    if (!folder.empty() && folder.front() != kPathSeparator && CanonicalPath(folder, &resolved).ok())
        folder = resolved;
    std::string bodyPath;
    if (!CreateUniqueFile(folder, kBodyFilePrefix, ".tmp", &bodyPath)) {
        module.ReportError(kEvtBodyFileError, folder);
        return false;
    }
    record.bodyFile = bodyPath;
    if (!WriteWholeFile(bodyPath, FillMailBody(templateText, record.recipientName))) {
        module.ReportError(kEvtBodyFileError, bodyPath);
        return false;
    }
    return true;
}

}  // namespace tarn
