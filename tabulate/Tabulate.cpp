#include "tabulate/Tabulate.h"

#include "platform/File.h"
#include "tabulate/Cleaner.h"
#include "tabulate/RawReport.h"
#include "tabulate/ReportConverter.h"
#include "tabulate/Settings.h"

namespace tarn::tabulate {

int RunTabulate(const std::vector<std::string>& args) {
    Settings settings;
    if (ParseOptions(args, &settings) != kExitOk) return kExitUsage;

    const std::string inputPath = InputPath(settings);
    RawReport report;
    {
        Cleaner cleaner(&report, settings);
        if (!cleaner.Clean(inputPath)) {
            // Only a cleaned file of this run is removed, never the input.
            if (report.cleanedFileCreated) tarn::RemoveFile(report.cleanPath);
            return kExitCleanFailed;
        }
    }

    ResolveEffectiveSettings(&settings);
    const WorkbookFormat format = ChosenFormat(settings);
    const bool saved = ConvertReport(&report, settings, WorkbookPath(inputPath, format), format);
    report.CloseSection();
    if (report.cleanedFileCreated) tarn::RemoveFile(report.cleanPath);
    return saved ? kExitOk : kExitNoWorkbook;
}

}  // namespace tarn::tabulate
