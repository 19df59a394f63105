#include "service/job/JobPipeline.h"

#include <cctype>
#include <cstdint>
#include <exception>
#include <limits>

#include "platform/File.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "service/ServiceEvents.h"
#include "service/job/ActivityLog.h"
#include "service/job/JobRecord.h"
#include "service/job/MailDispatch.h"
#include "service/job/Recipients.h"
#include "service/job/RequestLines.h"
#include "service/job/ServiceConfig.h"
#include "service/job/ServiceContext.h"
#include "service/job/SettingKeys.h"
#include "service/job/TextHelpers.h"
#include "service/job/ToolCommandLines.h"

namespace tarn {
namespace {

// Mail size limit in kilobytes when emmaxsize is empty.
constexpr std::int64_t kDefaultMaxSizeKb = 3072;
constexpr std::int64_t kBytesPerKb = 1024;
// Size compared when the platform cannot report the output's size: a low
// 32-bit word of all ones, as the platform this service came from reports it.
constexpr std::int64_t kUnreadableSize = 0xFFFFFFFF;

constexpr const char* kOverprintName = "overprint";
constexpr const char* kTabulateName = "tabulate";
constexpr const char* kPdftkName = "pdftk";
// The values of workbookFormat, as tabulate's -f takes them.
constexpr const char* kXlsFormat = "xls";
constexpr const char* kXlsxFormat = "xlsx";

// Texts of the unexpected-failure event for the two conversion runs.
constexpr const char* kPdfStepFailure = "230";
constexpr const char* kWorkbookStepFailure = "231";

constexpr const char* kMailDisabledText =
    "\"emmaxsize\" setting in INI file is 0. Send email function is disabled";
constexpr const char* kTooBigText = "The attachement file is too big.";

// Runs one tool; a tool that cannot be started is reported and the job goes
// on. False when the tool was ended by a signal or killed after
// converterTimeout seconds (reported with its command line): what it wrote
// is not to be trusted.
bool RunTool(const CServiceContext& context, const std::string& commandLine) {
    const int limitSeconds = context.Config().GetInt(kServerSection, kConverterTimeoutKey, 0);
    ChildEnd end;
    if (!RunCommandLineWithin(commandLine, limitSeconds, &end)) {
        context.ReportError(kEvtProgramFailed, commandLine);
        return true;
    }
    if (end.timedOut || end.signal != 0) {
        context.ReportError(kEvtProgramFailed, commandLine);
        return false;
    }
    return true;
}

// Steps for a PDF job from the template to the final PDF. False when the job
// must end here (the events are reported).
bool MakePdf(const CServiceContext& context, const JobRequest& job, const std::string& converterPath,
             const std::string& outBase, std::string* output) {
    const CServiceConfig& config = context.Config();
    const std::string& modulePath = config.ModulePath();

    // The form: as written, else below ModulePath.
    std::string templatePath = config.GetString(job.section, kTemplateKey, "");
    if (!FileOpens(templatePath)) {
        const std::string joined = JoinPath(modulePath, templatePath);
        if (!FileOpens(joined)) {
            context.ReportError(kEvtTemplateMissing, templatePath);
            context.ReportError(kEvtTemplateMissing, joined);
            return false;
        }
        templatePath = joined;
    }
    context.ReportDebug(kEvtTemplatePath, templatePath);

    // Convert.
    const std::string convertedPdf = outBase + kConvertedSuffix + ".pdf";
    const std::string finalPdf = outBase + ".pdf";
    const std::string commandLine = BuildOverprintCommandLine(
        converterPath, templatePath, job.rawPath, config.GetString(job.section, kPdfParamsKey, ""), outBase,
        config.FormsFolder());
    // A raw file sent under the output's own name (inv42.pdf) is the text to
    // convert: removing "the old output" would remove the report itself.
    if (finalPdf != job.rawPath) RemoveFile(finalPdf);
    RemoveFile(convertedPdf);
    *output = finalPdf;
    context.ReportDebug(kEvtCommandLine, commandLine);
    const bool converted = RunTool(context, commandLine);
    RemoveFile(job.rawPath);
    if (!converted) {
        RemoveFile(convertedPdf);
        return false;
    }
    // Whoever can write the save folder could have planted a link under the
    // temporary name: it must not be merged, renamed into place or mailed.
    if (EntryExists(convertedPdf) && !IsPlainFile(convertedPdf)) {
        context.ReportError(kEvtOutputMissing, convertedPdf);
        RemoveFile(convertedPdf);  // the link itself, never what it points to
        return false;
    }

    // Merge with the fixed front and back files, or just take the converted PDF.
    std::string front = config.GetString(job.section, kMergeBeforeKey, "");
    std::string back = config.GetString(job.section, kMergeAfterKey, "");
    if (!front.empty()) front = JoinPath(modulePath, front);
    if (!back.empty()) back = JoinPath(modulePath, back);
    if (front.empty() && back.empty()) {
        RenameFile(convertedPdf, finalPdf);  // a failure shows as a missing output at delivery
        return true;
    }
    // The merge program: pdftk unless the configuration names another one
    // that takes the same words.
    const std::string merger = config.GetString(kServerSection, kMergerKey, "");
    const std::string pdftkPath = config.ToolPath(merger.empty() ? kPdftkName : merger);
    if (!FileOpens(pdftkPath)) {
        context.ReportError(kEvtProgramMissing, pdftkPath);
        return false;
    }
    context.ReportDebug(kEvtProgramPath, pdftkPath);
    std::vector<std::string> inputs;
    for (const std::string* merge : {&front, &back}) {
        if (merge->empty()) continue;
        if (!FileOpens(*merge)) {
            context.ReportError(kEvtMergeFileMissing, *merge);
            return false;
        }
        context.ReportDebug(kEvtMergeFile, *merge);
    }
    if (!front.empty()) inputs.push_back(front);
    inputs.push_back(convertedPdf);
    if (!back.empty()) inputs.push_back(back);
    const std::string mergeLine = BuildPdftkCommandLine(pdftkPath, inputs, finalPdf);
    context.ReportDebug(kEvtCommandLine, mergeLine);
    const bool merged = RunTool(context, mergeLine);
    RemoveFile(convertedPdf);
    if (!merged) RemoveFile(finalPdf);
    return merged;
}

// Why the job's orders together ask for more mail than emmaxorders and
// emmaxrecipients allow; empty when they do not.
std::string MailVolumeRefusal(const CServiceConfig& config, const std::vector<EmailRecord>& orders) {
    if (static_cast<std::int64_t>(orders.size()) > config.MaxOrders()) {
        return "The job has more than " + std::to_string(config.MaxOrders()) +
               " e-mail orders (emmaxorders); no e-mail is sent.";
    }
    const std::string charset = config.GetString(kServerSection, kMailCharsetKey, "");
    std::int64_t recipients = 0;
    for (const EmailRecord& order : orders) recipients += CountRecipients(order.addressList, charset);
    if (recipients > config.MaxRecipients()) {
        return "The job's e-mail orders name " + std::to_string(recipients) + " recipients, more than " +
               std::to_string(config.MaxRecipients()) + " (emmaxrecipients); no e-mail is sent.";
    }
    return std::string();
}

// True when emallow lets `order` go out; otherwise reports the first address
// it does not allow and writes the activity-log line naming it.
bool RecipientsAllowed(const CServiceContext& context, const RecipientAllowList& allowed,
                       const EmailRecord& order) {
    if (allowed.AllowsEveryone()) return true;
    std::vector<std::string> addresses;
    Status read = ReadRecipients(order.addressList,
                                 context.Config().GetString(kServerSection, kMailCharsetKey, ""), &addresses);
    std::string refused;
    if (!read) {
        refused = order.addressList;
        context.ReportError(kEvtEmailRefused, "E-mail order not sent: " + read.message());
    } else {
        for (const std::string& address : addresses) {
            if (allowed.Allows(address)) continue;
            refused = address;
            context.ReportError(kEvtEmailRefused,
                                "E-mail order not sent: " + address + " is not allowed by emallow");
            break;
        }
    }
    if (refused.empty()) return true;
    EmailRecord line = order;
    line.addressList = refused;
    AppendMailLogLine(line, true);
    return false;
}

// Checks the orders against the mail limits and the output's size against
// emmaxsize, and sends every order emallow lets through.
bool DeliverByMail(const CServiceContext& context, JobRequest& job, const std::string& output) {
    const CServiceConfig& config = context.Config();
    const std::string volumeRefusal = MailVolumeRefusal(config, job.emailOrders);
    const std::string setting = config.GetString(kServerSection, kMaxSizeKey, "");
    std::int64_t limitKb = setting.empty() ? kDefaultMaxSizeKb : AtoiLike64(setting);
    const char* refusal = nullptr;
    if (!volumeRefusal.empty()) {
        refusal = volumeRefusal.c_str();
    } else if (limitKb == 0) {
        refusal = kMailDisabledText;
    } else if (limitKb > 0 && limitKb <= std::numeric_limits<std::int64_t>::max() / kBytesPerKb) {
        // A limit too large to count in bytes is no limit.
        std::int64_t size = 0;
        Status measured = GetFileSize(output, &size);
        if (!measured) {
            context.ReportError(kEvtOutputMissing, output);
            AppendJobLogLine(context, output, true);
            size = FileOpens(output) ? kUnreadableSize : 0;
        }
        if (size > limitKb * kBytesPerKb) refusal = kTooBigText;
    }
    JobRecord* record = context.CurrentJob();
    if (refusal != nullptr) {
        if (record != nullptr) record->mailRefusal = refusal;
        context.ReportError(kEvtEmailRefused, refusal);
        AppendJobLogLine(context, output, true);
        return false;
    }

    // An order emallow refuses is left out; it does not change the job's result.
    const RecipientAllowList allowed(config.AllowedRecipients());
    bool allSent = true;
    for (EmailRecord& order : job.emailOrders) {
        order.attachment = output;
        if (!RecipientsAllowed(context, allowed, order)) {
            if (record != nullptr) record->mailResults.push_back(MailResult::kNotAllowed);
            continue;
        }
        const bool sent = SendMail(order);
        if (record != nullptr) record->mailResults.push_back(sent ? MailResult::kSent : MailResult::kFailed);
        if (!sent) allSent = false;
    }
    return allSent;
}

}  // namespace

std::string JobStem(const std::string& rawName) {
    std::vector<std::string> fields = Tokenize(rawName, ".");
    std::string stem;
    for (std::size_t i = 0; i + 1 < fields.size(); ++i) {
        if (i > 0) stem += '.';
        stem += fields[i];
    }
    return stem;
}

std::string WorkbookName(const std::string& rawName, const std::string& extension) {
    return rawName.substr(0, rawName.rfind('.')) + extension;
}

bool ProcessJob(const CServiceContext& context, JobRequest& job) {
    const CServiceConfig& config = context.Config();
    const bool workbook = EqualsNoCase(job.section, kXlsSection);
    std::string output = job.rawPath;

    if (workbook || config.KeyExists(job.section, kTemplateKey)) {
        const std::string converterPath = config.ToolPath(workbook ? kTabulateName : kOverprintName);
        if (!FileOpens(converterPath)) {
            context.ReportError(kEvtProgramMissing, converterPath);
            return false;
        }
        context.ReportDebug(kEvtProgramPath, converterPath);
        context.ReportDebug(kEvtPipelineRawName, job.rawName);

        if (workbook) {
            try {
                TabulateSettings settings;
                settings.dateFormat = config.GetString(kXlsSection, kDateFormatKey, "");
                settings.decimalSeparator = config.GetString(kXlsSection, kDecSeparatorKey, "");
                settings.groupSeparator = config.GetString(kXlsSection, kGroupSeparatorKey, "");
                settings.excelDirective = config.GetString(kXlsSection, kExcelDirectiveKey, "");
                settings.nextSheet = config.GetString(kXlsSection, kNextSheetKey, "");
                // The workbook's format, when configured, goes to tabulate
                // as -f; a value it would refuse ends the job here.
                std::string extension = ".xls";
                const std::string formatKey = kWorkbookFormatKey + job.keySuffix;
                const std::string format = config.GetString(kXlsSection, formatKey, "");
                if (!format.empty()) {
                    if (!EqualsNoCase(format, kXlsFormat) && !EqualsNoCase(format, kXlsxFormat)) {
                        context.ReportError(kEvtGeneric, formatKey + "=" + format + ": xls or xlsx expected");
                        return false;
                    }
                    settings.workbookFormat = EqualsNoCase(format, kXlsFormat) ? kXlsFormat : kXlsxFormat;
                    extension = std::string(".") + settings.workbookFormat;
                }
                const std::string commandLine =
                    BuildTabulateCommandLine(converterPath, job.saveDir, job.rawName, settings);
                // Expect (and clear beforehand) exactly the name tabulate
                // writes, which the PDF stem rule would get wrong (x..y.txt, AP100R1).
                output = JoinPath(job.saveDir, WorkbookName(job.rawName, extension));
                // A raw file named like its workbook (stock.xls) is read by
                // tabulate and replaced by the workbook: it must neither be
                // removed before the run nor, as "the raw file", after it.
                const bool rawIsOutput = output == job.rawPath;
                if (!rawIsOutput) RemoveFile(output);
                const bool converted = RunTool(context, commandLine);
                if (!rawIsOutput) RemoveFile(job.rawPath);
                if (!converted) {
                    RemoveFile(output);
                    return false;
                }
            } catch (const std::exception&) {
                context.ReportError(kEvtHostFailure, kWorkbookStepFailure);
                RemoveFile(job.rawPath);
                return false;
            }
        } else {
            try {
                const std::string outBase = JoinPath(job.saveDir, JobStem(job.rawName));
                if (!MakePdf(context, job, converterPath, outBase, &output)) return false;
            } catch (const std::exception&) {
                context.ReportError(kEvtHostFailure, kPdfStepFailure);
                return false;
            }
        }
    }

    // Delivery: the output must exist, as a plain file of its own (a link
    // planted in the save folder would deliver and mail what it points to).
    context.ReportDebug(kEvtOutputFile, output);
    if (JobRecord* record = context.CurrentJob()) record->outputPath = output;
    if (!IsPlainFile(output) || !FileOpens(output)) {
        context.ReportError(kEvtOutputMissing, output);
        return false;
    }
    if (!job.sendEmail) return true;
    return DeliverByMail(context, job, output);
}

}  // namespace tarn
