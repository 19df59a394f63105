#include "service/job/JobPipeline.h"

#include "platform/File.h"
#include "service/host/ServiceEvents.h"
#include "service/job/RequestLines.h"
#include "service/job/ServiceConfig.h"
#include "service/job/ServiceContext.h"
#include "service/job/TextHelpers.h"

namespace tarn {
namespace {

// Key whose presence (even empty) selects PDF output.
constexpr const char* kTemplateKey = "template";

}  // namespace

bool ProcessJob(const CServiceContext& context, JobRequest& job) {
    const CServiceConfig& config = context.Config();
    bool workbook = EqualsNoCase(job.section, kXlsSection);
    if (workbook || config.KeyExists(job.section, kTemplateKey)) {
        // Conversions are not built into this pipeline yet.
        context.ReportError(kEvtProgramMissing, job.section);
        return false;
    }
    const std::string& output = job.rawPath;

    // Delivery: the output must exist.
    context.ReportDebug(kEvtOutputFile, output);
    if (!FileOpens(output)) {
        context.ReportError(kEvtOutputMissing, output);
        return false;
    }
    if (!job.sendEmail) return true;
    // E-mail dispatch is not built into this pipeline yet.
    context.ReportError(kEvtEmailRefused, "E-mail dispatch is not available");
    return false;
}

}  // namespace tarn
