#pragma once
// Decides whether a field is a number, a date or text, normalises numbers
// and splits dates, under the run's separators and date format.

#include <string>
#include <string_view>

namespace tarn::tabulate {

struct ParsedValue {
    int kind = 1;           // kTypeText, kTypeNumber or kTypeDate
    std::string number;     // numbers: optional "-", digits, optional "." and digits
    bool currency = false;  // numbers: shown with a currency sign
    size_t decimals = 0;    // numbers: decimals shown
};

struct DateParts {
    int year = 0;
    int month = 0;
    int day = 0;
};

class ValueClassifier {
  public:
    // Separators may be several bytes long; either may be empty.
    ValueClassifier(std::string decimalSeparator, std::string groupSeparator, std::string dateFormat);

    ParsedValue ClassifyValue(std::string_view value) const;

    // Splits a date by the field order of the date format. The order is read
    // from the format once; until it reads, month/day/year applies and the
    // call fails.
    bool ParseDate(std::string_view value, DateParts* date);

    const std::string& dateFormat() const { return dateFormat_; }

  private:
    bool ReadFieldOrder();

    std::string decimal_;
    std::string group_;
    std::string dateFormat_;
    bool orderFixed_ = false;
    // Position (0..2) of day, month and year in a date.
    int dayAt_ = 1;
    int monthAt_ = 0;
    int yearAt_ = 2;
};

// Reads a normalised number text, whatever the process locale.
double NumberTextValue(const std::string& number);

// The spreadsheet number format of a number, such as #,##0.00 or $ #,##0.
std::string NumberFormatText(const ParsedValue& number);

}  // namespace tarn::tabulate
