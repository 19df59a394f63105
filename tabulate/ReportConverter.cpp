#include "tabulate/ReportConverter.h"

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include "tabulate/ColumnLayout.h"
#include "tabulate/KeywordTable.h"
#include "tabulate/PageLayout.h"
#include "tabulate/StructureRecogniser.h"
#include "tabulate/ValueClassifier.h"
#include "tabulate/XlsxWorkbook.h"
#include "xls/Workbook.h"

namespace tarn::tabulate {
namespace {

// Font size of every cell, in points.
constexpr int kFontSize = 10;
// Locale handed to the library.
constexpr const char* kBookLocale = "EN_US";
// Name of every section's sheet (the library keeps names unique).
constexpr const char* kSheetName = "Sheet1";
constexpr const char* kBlockFontName = "Courier New";
// Empty rows between the end row and the attributes, and between the
// attributes and the criteria.
constexpr int kEmptyRowsBeforeAttributes = 2;
constexpr int kEmptyRowsBeforeCriteria = 3;
// Two-digit years below this are in the 2000s, the others in the 1900s.
constexpr int kCenturyPivot = 15;
constexpr int kFirstFourDigitYear = 1901;

class Converter {
  public:
    Converter(xls::Workbook* book, const Settings& settings, int sheetRows, int sheetColumns)
        : book_(book),
          lastRow_(sheetRows - 1),
          sheetColumns_(sheetColumns),
          classifier_(settings.inputDecSeparator, settings.inputGroupSeparator, settings.dateFormat) {}

    bool Run(RawReport* report);

  private:
    // Per section.
    struct Section {
        PageLayout layout;
        std::vector<xls::Sheet*> sheets;  // more than one when the rows overflow a sheet
        int rowCount = 0;                 // data rows on the current sheet
        std::vector<double> widths;
        std::vector<std::string> criteriaLines;
        bool criteriaMode = false;
    };

    void MakeStyles();
    bool ConvertSection(RawReport* report);
    bool WriteDataRow(Section* section, std::string_view line);
    void WriteHeaderRow(Section* section, bool setWidths);
    void WriteCell(Section* section, int row, int col, std::string_view value);
    void WriteText(Section* section, int row, int col, std::string_view value);
    bool WriteFooter(Section* section);
    bool AddSheet(Section* section);
    const xls::Format* CachedFormat(const std::string& formatText);
    const xls::Format* NumberFormat(const ParsedValue& number);
    const xls::Format* DateFormat();
    int LastColumn(const Section& section) const {
        return std::max(0, std::min(static_cast<int>(section.layout.columns.size()), sheetColumns_) - 1);
    }
    void Widen(Section* section, int col, double width) {
        double& current = section->widths[static_cast<size_t>(col)];
        current = std::max(current, width);
    }

    xls::Workbook* book_;
    const int lastRow_;       // last row of a sheet, counted from 0
    const int sheetColumns_;  // columns of a sheet
    ValueClassifier classifier_;
    xls::Font* valueFont_ = nullptr;
    xls::Format* headerFormat_ = nullptr;
    xls::Format* blockFormat_ = nullptr;
    // Number-format text to its format, shared by all sheets.
    std::map<std::string, const xls::Format*> formatCache_;
    // The same looked up by what a number showed (currency sign, decimals),
    // and for dates, so that a cell needs no format text.
    std::map<std::pair<bool, size_t>, const xls::Format*> numberFormats_;
    const xls::Format* dateFormat_ = nullptr;
    // The width a date cell asks for, by the format it was written with.
    const xls::Format* dateWidthFormat_ = nullptr;
    double dateWidth_ = 0;
};

void Converter::MakeStyles() {
    book_->SetLocale(kBookLocale);
    valueFont_ = book_->AddFont();
    valueFont_->SetSize(kFontSize);
    xls::Font* headerFont = book_->AddFont();
    headerFont->SetSize(kFontSize);
    headerFont->SetBold(true);
    xls::Font* blockFont = book_->AddFont();
    blockFont->SetName(kBlockFontName);
    blockFont->SetSize(kFontSize);
    blockFont->SetBold(true);
    headerFormat_ = book_->AddFormat();
    headerFormat_->SetFont(headerFont);
    headerFormat_->SetHorizontalAlignment(xls::HAlign::kCenter);
    headerFormat_->SetBottomBorder(xls::BorderStyle::kMedium);
    blockFormat_ = book_->AddFormat();
    blockFormat_->SetFont(blockFont);
}

bool Converter::Run(RawReport* report) {
    MakeStyles();
    report->sectionIndex = 0;
    while (report->sectionIndex < report->SectionCount()) {
        if (!ConvertSection(report)) return false;
        report->CloseSection();
        ++report->sectionIndex;
    }
    return true;
}

bool Converter::AddSheet(Section* section) {
    xls::Sheet* sheet = book_->AddSheet(kSheetName);
    if (sheet == nullptr) return false;
    section->sheets.push_back(sheet);
    section->rowCount = 0;
    return true;
}

bool Converter::ConvertSection(RawReport* report) {
    Section section;
    if (!ParseLayout(report, &section.layout, classifier_, KeywordTable::Shared())) return false;
    if (!AddSheet(&section)) return false;

    report->OpenSection();
    if (!report->SectionFailed()) {
        std::string_view line;
        std::string_view text;  // the part of the line that is written
        while (report->NextLine(&line)) {
            switch (ClassifyLine(&section.layout, line, &section.criteriaMode, &text)) {
            case LineKind::kSkip:
                break;
            case LineKind::kCriteria:
                section.criteriaLines.emplace_back(text);
                break;
            case LineKind::kData:
                if (!WriteDataRow(&section, text)) return false;
                break;
            }
        }
    }
    return WriteFooter(&section);
}

void Converter::WriteHeaderRow(Section* section, bool setWidths) {
    xls::Sheet* sheet = section->sheets.back();
    const std::vector<ColumnSpec>& columns = section->layout.columns;
    for (size_t i = 0; i < columns.size(); ++i) {
        sheet->WriteText(0, static_cast<int>(i), columns[i].title, headerFormat_);
        if (setWidths) section->widths.push_back(static_cast<double>(columns[i].title.size() + 1));
    }
}

bool Converter::WriteDataRow(Section* section, std::string_view line) {
    // A sheet holds lastRow_ + 1 rows: the rows beyond go on to a further sheet
    // of the same section, under a repeated header row.
    if (section->rowCount + 1 > lastRow_) {
        if (!AddSheet(section)) return false;
        WriteHeaderRow(section, false);
    }
    if (section->rowCount == 0 && section->sheets.size() == 1) {
        WriteHeaderRow(section, true);
    }
    const int row = section->rowCount + 1;
    const std::vector<ColumnSpec>& columns = section->layout.columns;
    for (size_t i = 0; i < columns.size(); ++i) {
        const std::string_view value = ExtractField(columns[i], line);
        if (value.empty()) continue;
        if (columns[i].type == kTypeText) {
            WriteText(section, row, static_cast<int>(i), value);
        } else {
            WriteCell(section, row, static_cast<int>(i), value);
        }
    }
    ++section->rowCount;
    return true;
}

void Converter::WriteText(Section* section, int row, int col, std::string_view value) {
    section->sheets.back()->WriteText(row, col, value, nullptr);
    Widen(section, col, static_cast<double>(value.size() + 1));
}

void Converter::WriteCell(Section* section, int row, int col, std::string_view value) {
    xls::Sheet* sheet = section->sheets.back();
    const ParsedValue parsed = classifier_.ClassifyValue(value);
    if (parsed.kind == kTypeNumber) {
        const xls::Format* format = NumberFormat(parsed);
        if (sheet->WriteNumber(row, col, NumberTextValue(parsed.number), format)) {
            Widen(section, col, static_cast<double>(parsed.number.size() + 1));
        } else {
            WriteText(section, row, col, value);
        }
        return;
    }
    if (parsed.kind == kTypeDate) {
        const xls::Format* format = DateFormat();
        DateParts date;
        if (!classifier_.ParseDate(value, &date)) {
            WriteText(section, row, col, value);
            return;
        }
        if (date.year < kCenturyPivot) {
            date.year += 2000;
        } else if (date.year < kFirstFourDigitYear) {
            date.year += 1900;
        }
        const double serial = book_->PackDate(date.year, date.month, date.day, 0, 0, 0);
        if (sheet->WriteNumber(row, col, serial, format)) {
            if (format != dateWidthFormat_) {
                dateWidthFormat_ = format;
                dateWidth_ =
                    static_cast<double>(book_->CustomNumberFormatText(format->NumberFormatId()).size() + 1);
            }
            Widen(section, col, dateWidth_);
        } else {
            WriteText(section, row, col, value);
        }
        return;
    }
    WriteText(section, row, col, value);
}

const xls::Format* Converter::CachedFormat(const std::string& formatText) {
    auto found = formatCache_.find(formatText);
    if (found != formatCache_.end()) return found->second;
    xls::Format* format = book_->AddFormat();
    const int id = book_->AddCustomNumberFormat(formatText);
    if (id != 0) {
        format->SetNumberFormat(id);
        format->SetFont(valueFont_);
        formatCache_[formatText] = format;
    }
    return format;
}

const xls::Format* Converter::NumberFormat(const ParsedValue& number) {
    const std::pair<bool, size_t> key(number.currency, number.decimals);
    auto found = numberFormats_.find(key);
    if (found != numberFormats_.end()) return found->second;
    const xls::Format* format = CachedFormat(NumberFormatText(number));
    // A format the book refused is made again each time, as CachedFormat does.
    if (format->NumberFormatId() != 0) numberFormats_.emplace(key, format);
    return format;
}

const xls::Format* Converter::DateFormat() {
    if (dateFormat_ != nullptr) return dateFormat_;
    const xls::Format* format = CachedFormat(classifier_.dateFormat());
    if (format->NumberFormatId() != 0) dateFormat_ = format;
    return format;
}

bool Converter::WriteFooter(Section* section) {
    const int lastColumn = LastColumn(*section);
    // The end row, under the data.
    if (section->rowCount + 1 > lastRow_ && !AddSheet(section)) return false;
    int row = section->rowCount + 1;
    xls::Sheet* sheet = section->sheets.back();
    xls::Format* endFormat = book_->AddFormat();
    endFormat->SetTopBorder(xls::BorderStyle::kThick);
    for (int i = 0; i <= lastColumn; ++i) {
        sheet->WriteText(row, i, i == 0 ? "END OF REPORT" : "", endFormat);
    }
    sheet->SetMerge(row, row, 0, lastColumn);
    ++row;

    // The attribute and criteria blocks; a block that runs past the sheet's
    // last row goes on at the top of a further sheet.
    const auto writeBlock = [&](const std::vector<std::string>& lines, int emptyRows) -> bool {
        row += emptyRows;
        for (const std::string& text : lines) {
            if (row > lastRow_) {
                if (!AddSheet(section)) return false;
                row = 0;
            }
            section->sheets.back()->WriteText(row, 0, text, blockFormat_);
            section->sheets.back()->SetMerge(row, row, 0, lastColumn);
            ++row;
        }
        return true;
    };
    if (!writeBlock(BuildAttributes(section->layout), kEmptyRowsBeforeAttributes)) {
        return false;
    }
    std::vector<std::string> criteria = section->criteriaLines;
    if (criteria.empty()) criteria.push_back("Report Criteria not found");
    if (!writeBlock(criteria, kEmptyRowsBeforeCriteria)) return false;

    // Column widths, on every sheet of the section.
    for (xls::Sheet* each : section->sheets) {
        for (size_t i = 0; i < section->widths.size() && i < static_cast<size_t>(sheetColumns_); ++i) {
            each->SetColumn(static_cast<int>(i), static_cast<int>(i), section->widths[i]);
        }
    }
    return true;
}

}  // namespace

bool FillWorkbook(xls::Workbook* book, RawReport* report, const Settings& settings, int sheetRows,
                  int sheetColumns) {
    Converter converter(book, settings, sheetRows, sheetColumns);
    return converter.Run(report);
}

bool ConvertReport(RawReport* report, const Settings& settings, const std::string& workbookPath,
                   WorkbookFormat format) {
    if (format == WorkbookFormat::kXlsx) {
        std::unique_ptr<xls::Workbook> book = CreateXlsxWorkbook(workbookPath);
        if (!book) return false;
        if (!FillWorkbook(book.get(), report, settings, kXlsxSheetRows, kXlsxSheetColumns)) return false;
        return static_cast<bool>(book->Save(workbookPath));
    }
    std::unique_ptr<xls::Workbook> book = xls::Workbook::Create();
    if (!book) return false;
    if (!FillWorkbook(book.get(), report, settings)) return false;
    return static_cast<bool>(book->Save(workbookPath));
}

}  // namespace tarn::tabulate
