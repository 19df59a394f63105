#pragma once
// The workbook: owns its fonts, formats, number formats, shared strings and
// sheets, and saves them as a BIFF8 workbook in a compound file.

#include <memory>
#include <string>
#include <vector>

#include "xls/CellFormat.h"
#include "xls/FontStyle.h"
#include "xls/NumberFormats.h"
#include "xls/SharedStrings.h"
#include "xls/SheetNames.h"
#include "xls/TextDecoder.h"
#include "xls/Workbook.h"
#include "xls/Worksheet.h"

namespace tarn::xls {

class Book : public Workbook {
  public:
    void SetCodePage(int codePage) override;
    void SetLocale(const std::string& locale) override { locale_ = locale; }
    Font* AddFont() override;
    Format* AddFormat() override;
    int AddCustomNumberFormat(const std::string& formatText) override;
    std::string CustomNumberFormatText(int formatId) const override;
    double PackDate(int year, int month, int day, int hour, int minute, int second) const override;
    Sheet* AddSheet(const std::string& name) override;
    tarn::Status Save(const std::string& path) override;

  private:
    TextDecoder decoder_;
    std::string locale_;
    std::vector<std::unique_ptr<FontStyle>> fonts_;
    std::vector<std::unique_ptr<CellFormat>> formats_;
    NumberFormats numberFormats_;
    SharedStrings strings_;
    SheetNames sheetNames_;
    std::vector<std::unique_ptr<Worksheet>> sheets_;
};

}  // namespace tarn::xls
