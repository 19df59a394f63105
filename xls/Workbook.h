#pragma once
// Our workbook library: writes a BIFF8 .xls workbook in an OLE2 compound file.
//
// This header is the interface the report converter is written against: new
// operations may be added, the meaning of these stays.
// Objects returned by Workbook (fonts, formats, sheets) are owned by it and
// live as long as the workbook. Not thread-safe: one workbook, one thread.

#include <memory>
#include <string>
#include <string_view>

#include "platform/Status.h"
#include "xls/Limits.h"  // kMaxRows, kMaxColumns, kMaxSheetNameChars

namespace tarn::xls {

enum class HAlign { kGeneral = 0, kLeft = 1, kCenter = 2, kRight = 3 };

// Cell border line styles (MS-XLS 2.5.11 BorderStyle).
enum class BorderStyle { kNone = 0, kThin = 1, kMedium = 2, kDashed = 3, kDotted = 4, kThick = 5 };

class Font {
  public:
    virtual ~Font() = default;
    virtual void SetName(const std::string& name) = 0;
    virtual void SetSize(int points) = 0;
    virtual void SetBold(bool bold) = 0;
};

class Format {
  public:
    virtual ~Format() = default;
    virtual void SetFont(Font* font) = 0;
    virtual void SetNumberFormat(int formatId) = 0;
    virtual int NumberFormatId() const = 0;
    virtual void SetHorizontalAlignment(HAlign align) = 0;
    virtual void SetTopBorder(BorderStyle style) = 0;
    virtual void SetBottomBorder(BorderStyle style) = 0;
};

class Sheet {
  public:
    virtual ~Sheet() = default;
    // Text arrives as bytes in the workbook's code page. Rows and columns count
    // from 0; a cell outside the sheet's limits (kMaxRows, kMaxColumns) is
    // refused with false, as are a text over kMaxTextChars characters and a
    // number that is not finite. An empty text leaves a formatted empty cell.
    virtual bool WriteText(int row, int col, std::string_view text, const Format* format) = 0;
    virtual bool WriteNumber(int row, int col, double value, const Format* format) = 0;
    // Width in characters of the default font, as Excel shows it.
    virtual void SetColumn(int firstCol, int lastCol, double width) = 0;
    virtual void SetMerge(int firstRow, int lastRow, int firstCol, int lastCol) = 0;
};

class Workbook {
  public:
    virtual ~Workbook() = default;

    static std::unique_ptr<Workbook> Create();

    // Windows code page of the text bytes handed to the sheets (default 1252).
    // Applies to text written after the call; an unknown code page leaves the
    // previous one in force.
    virtual void SetCodePage(int codePage) = 0;
    // Accepted and kept; number formats are stored exactly as given, so the
    // file does not depend on it.
    virtual void SetLocale(const std::string& locale) = 0;
    virtual Font* AddFont() = 0;
    virtual Format* AddFormat() = 0;
    // Id of a custom number format (164 and up), 0 on failure. The same text
    // twice gives the same id.
    virtual int AddCustomNumberFormat(const std::string& formatText) = 0;
    // Text of a number format id, empty when unknown.
    virtual std::string CustomNumberFormatText(int formatId) const = 0;
    // Serial date value in the 1900 date system, numbered as Excel does
    // (29 February 1900 is 60; a month or day past its end carries over as in
    // Excel's DATE: 30 February 2009 is 2 March 2009; years 0 to 1899 count
    // from 1900). NaN for a date Excel cannot hold, which WriteNumber refuses.
    virtual double PackDate(int year, int month, int day, int hour, int minute, int second) const = 0;
    // Adds a sheet; a name used before is made unique (the first keeps its
    // name, later ones get " (2)", " (3)", ...; see SheetNames.h for the
    // cleaning of forbidden characters and over-long names). nullptr on failure.
    virtual Sheet* AddSheet(const std::string& name) = 0;
    // Writes the workbook to a temporary file beside `path` and renames it
    // into place; on failure nothing is left under `path` (an older file of
    // that name stays as it was). A workbook without sheets is not saved.
    virtual tarn::Status Save(const std::string& path) = 0;
};

}  // namespace tarn::xls
