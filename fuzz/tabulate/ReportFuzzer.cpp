// libFuzzer target: cleans arbitrary bytes as a report, then recognises every
// section's structure and classifies each line and field, as a conversion
// does short of writing the workbook.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tabulate/Cleaner.h"
#include "tabulate/ColumnLayout.h"
#include "tabulate/RawReport.h"
#include "tabulate/StructureRecogniser.h"

namespace {

// One folder per fuzzing process for the input and cleaned files.
const std::string& WorkFolder() {
    static const std::string folder = [] {
        std::string pattern = "/tmp/tabulate-fuzz-XXXXXX";
        const char* made = ::mkdtemp(pattern.data());
        if (made == nullptr) std::abort();
        return pattern + "/";
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarn::tabulate;
    const std::string input = WorkFolder() + "report.txt";
    {
        std::ofstream out(input, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    Settings settings;
    settings.nextSheet = "@@BREAK";
    settings.excelDirective = "#XL";
    settings.inputDecSeparator = ",";
    settings.inputGroupSeparator = ".";
    settings.dateFormat = "dd/mm/yyyy";

    RawReport report;
    {
        Cleaner cleaner(&report, settings);
        if (!cleaner.Clean(input)) std::abort();  // a readable input always cleans
    }
    static const KeywordTable keywords{ConfigFileRegistry()};
    ValueClassifier classifier(settings.inputDecSeparator, settings.inputGroupSeparator, settings.dateFormat);
    for (report.sectionIndex = 0; report.sectionIndex < report.SectionCount(); ++report.sectionIndex) {
        PageLayout layout;
        if (!ParseLayout(&report, &layout, classifier, keywords)) continue;
        if (layout.columns.empty()) std::abort();
        report.OpenSection();
        bool criteria = false;
        std::string_view line, text;
        while (report.NextLine(&line)) {
            if (ClassifyLine(&layout, line, &criteria, &text) != LineKind::kData) continue;
            for (const ColumnSpec& column : layout.columns) {
                const std::string_view value = ExtractField(column, text);
                if (value.empty()) continue;
                ParsedValue parsed = classifier.ClassifyValue(value);
                DateParts date;
                if (parsed.kind == kTypeDate) classifier.ParseDate(value, &date);
                if (parsed.kind == kTypeNumber) NumberTextValue(parsed.number);
            }
        }
        report.CloseSection();
        BuildAttributes(layout);
    }
    std::remove(report.cleanPath.c_str());
    return 0;
}
