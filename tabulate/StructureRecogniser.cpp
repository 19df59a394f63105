#include "tabulate/StructureRecogniser.h"

#include "tabulate/ColumnLayout.h"
#include "tabulate/Text.h"

namespace tarn::tabulate {
namespace {

constexpr char kFF = '\f';
// Fewest words of the first and the second page-header line.
constexpr size_t kFirstHeaderMinWords = 5;
constexpr size_t kSecondHeaderMinWords = 4;
// "Date:" at one of the first this many words carries no name fields.
constexpr size_t kNamelessDateWords = 3;
// "Time:" must be at least this word (0-based) of the second header line.
constexpr size_t kTimeMinWord = 3;
// The report path starts at or after this column.
constexpr size_t kReportPathColumn = 22;
// A time of day holds its second ":" this many bytes after the first.
constexpr size_t kTimeColonDistance = 3;

// Index of the first word equal to `text`, or words.size().
size_t FindWord(const std::vector<Word>& words, const char* text) {
    for (size_t i = 0; i < words.size(); ++i) {
        if (words[i].text == text) return i;
    }
    return words.size();
}

bool IsCurrencyLine(const std::string& line) {
    return ContainsNoCase(line, "REPORTING CURRENCY:") || ContainsNoCase(line, "EXCHANGE RATE:") ||
           ContainsNoCase(line, "WARNING:");
}

bool HoldsTimeOfDay(const std::string& line) {
    size_t first = line.find(':');
    return first != std::string::npos && line.find(':', first + 1) == first + kTimeColonDistance;
}

}  // namespace

bool ReadFirstHeaderLine(const std::string& line, PageLayout* layout) {
    const std::vector<Word> words = SplitWords(line);
    if (words.size() < kFirstHeaderMinWords) return false;
    const bool endsInDate = HasDateShape(words.back().text);
    if (endsInDate) layout->reportDate = words.back().text;
    const size_t dateWord = FindWord(words, "Date:");
    const bool hasDateWord = dateWord < words.size();
    if (!hasDateWord && !endsInDate) return false;
    if (hasDateWord && dateWord < kNamelessDateWords) {
        if (!endsInDate) return false;
        layout->programName.clear();
        layout->programQualifier.clear();
        layout->reportPath.clear();
        layout->reportName.clear();
        return true;
    }
    const size_t end = hasDateWord ? dateWord : words.size() - 1;
    layout->programName = words[0].text;
    size_t next = 1;
    layout->programQualifier.clear();
    if (words[1].start == words[0].start + words[0].text.size() + 1) {
        layout->programQualifier = words[1].text;
        next = 2;
    }
    layout->reportPath.clear();
    if (next < end && words[next].start >= kReportPathColumn) {
        layout->reportPath = words[next].text;
        ++next;
    }
    layout->reportName.clear();
    for (size_t i = next; i < end; ++i) {
        if (!layout->reportName.empty()) layout->reportName += ' ';
        layout->reportName += words[i].text;
    }
    if (hasDateWord && dateWord + 1 < words.size()) layout->reportDate = words[dateWord + 1].text;
    return true;
}

bool ReadSecondHeaderLine(const std::string& line, PageLayout* layout) {
    const std::vector<Word> words = SplitWords(line);
    if (words.size() < kSecondHeaderMinWords) return false;
    const size_t page = FindWord(words, "Page:");
    const size_t time = FindWord(words, "Time:");
    if (page >= words.size() || time >= words.size() || time < kTimeMinWord) return false;
    layout->company.clear();
    if (time > page + 2) {
        const size_t from = words[page + 2].start;
        layout->company = Trim(std::string_view(line).substr(from, words[time].start - from));
    }
    layout->reportTime.clear();
    if (time + 1 < words.size()) layout->reportTime = words[time + 1].text;
    return true;
}

bool ParseLayout(RawReport* report, PageLayout* layout, const ValueClassifier& classifier,
                 const KeywordTable& keywords) {
    std::vector<std::string> lines;
    report->OpenSection();
    std::string line;
    while (lines.size() < kFirstPageLines && report->NextLine(&line)) {
        if (line.find(kFF) != std::string::npos) {
            if (!lines.empty()) break;
            if (line[0] == kFF) line.erase(0, 1);
            // A page break stored on a line of its own (FF CR, as the service
            // stores it) holds no text: the page begins with the next line.
            if (RightTrim(line).empty()) continue;
        }
        lines.emplace_back(RightTrim(line));
    }
    report->CloseSection();
    return ParseFirstPage(lines, layout, classifier, keywords);
}

bool ParseFirstPage(const std::vector<std::string>& lines, PageLayout* layout,
                    const ValueClassifier& classifier, const KeywordTable& keywords) {
    if (lines.empty()) return false;

    // Page-header lines.
    if (ReadFirstHeaderLine(lines[0], layout)) layout->headerLines.insert(lines[0]);
    size_t scan = 1;
    if (lines.size() > 1 && ReadSecondHeaderLine(lines[1], layout)) scan = 2;

    // The column underline.
    size_t underline = lines.size();
    for (size_t i = scan; i < lines.size(); ++i) {
        const std::string& candidate = lines[i];
        if (candidate.empty()) continue;
        if (candidate.find(':') != std::string::npos) {
            layout->headerLines.insert(candidate);
            continue;
        }
        if (IsRuleLine(candidate)) {
            layout->headerLines.insert(candidate);
            underline = i;
            break;
        }
    }
    if (underline == lines.size()) return false;
    layout->columns = ColumnsFromUnderline(lines[underline]);

    // Title lines: upward from the underline while not empty and without ":".
    size_t top = underline;
    while (top > 0 && !lines[top - 1].empty() && lines[top - 1].find(':') == std::string::npos) {
        --top;
    }
    std::vector<std::string> titles(lines.begin() + static_cast<long>(top),
                                    lines.begin() + static_cast<long>(underline));
    layout->headerLines.insert(titles.begin(), titles.end());
    AssembleTitles(&layout->columns, titles, keywords);

    // Type inference over the rest of the first page.
    for (size_t i = underline + 1; i < lines.size(); ++i) {
        const std::string& sample = lines[i];
        if (sample.empty() || layout->headerLines.count(sample) != 0 || Contains(sample, "==")) {
            continue;
        }
        if (IsRuleLine(sample)) {
            layout->headerLines.insert(sample);
            continue;
        }
        if (ContainsNoCase(sample, "END OF REPORT")) continue;
        if (sample.find(':') != std::string::npos) {
            if (IsCurrencyLine(sample)) {
                layout->headerLines.insert(sample);
                continue;
            }
            if (!HoldsTimeOfDay(sample)) continue;
        }
        InferTypes(&layout->columns, sample, classifier);
    }
    return true;
}

LineKind ClassifyLine(PageLayout* layout, std::string_view line, bool* criteriaMode,
                      std::string_view* trimmed) {
    if (!line.empty() && line[0] == kFF) line.remove_prefix(1);
    std::string_view& text = *trimmed;
    text = RightTrim(line);
    if (*criteriaMode) {
        text = Trim(text);
        return text.empty() ? LineKind::kSkip : LineKind::kCriteria;
    }
    if (text.empty() || layout->headerLines.count(text) != 0 || Contains(text, "==")) {
        return LineKind::kSkip;
    }
    if (IsRuleLine(text)) {
        layout->headerLines.emplace(text);
        return LineKind::kSkip;
    }
    const auto containsIfSet = [&text](const std::string& field) {
        return field.empty() || text.find(field) != std::string_view::npos;
    };
    if ((Contains(text, "Date:") && containsIfSet(layout->programName) && containsIfSet(layout->reportPath) &&
         containsIfSet(layout->reportName)) ||
        (Contains(text, "Page:") && Contains(text, "Time:"))) {
        return LineKind::kSkip;
    }
    // Both phrases hold REPORT: most lines are done with one search.
    if (!ContainsNoCase(text, "REPORT")) return LineKind::kData;
    if (ContainsNoCase(text, "END OF REPORT")) return LineKind::kSkip;
    if (ContainsNoCase(text, "REPORT CRITERIA")) {
        *criteriaMode = true;
        text = Trim(text);
        return LineKind::kCriteria;
    }
    return LineKind::kData;
}

std::vector<std::string> BuildAttributes(const PageLayout& layout) {
    std::vector<std::string> lines;
    if (!layout.company.empty()) lines.push_back("Company     : " + layout.company);
    if (!layout.reportPath.empty()) lines.push_back("Report Path : " + layout.reportPath);
    if (!layout.reportName.empty()) lines.push_back("Report Name : " + layout.reportName);
    if (!layout.programName.empty()) {
        lines.push_back("Program Name: " + layout.programName + " " + layout.programQualifier);
    }
    if (!layout.reportDate.empty()) lines.push_back("Report Date : " + layout.reportDate);
    if (!layout.reportTime.empty()) lines.push_back("Report Time : " + layout.reportTime);
    if (lines.empty()) lines.push_back("Report Attributes not found");
    return lines;
}

}  // namespace tarn::tabulate
