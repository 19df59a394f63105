#include "tabulate/ValueClassifier.h"

#include <charconv>
#include <climits>
#include <cstdint>
#include <string_view>

#include "tabulate/ColumnSpec.h"
#include "tabulate/Text.h"

namespace tarn::tabulate {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Removes every two-letter marker in any case; returns whether there was one.
bool RemoveMarker(std::string* text, const char* upperMarker) {
    if (!ContainsNoCase(*text, upperMarker)) return false;
    const std::string upper = ToUpper(*text);
    std::string kept;
    for (size_t i = 0; i < text->size();) {
        if (upper.compare(i, 2, upperMarker) == 0) {
            i += 2;
        } else {
            kept += (*text)[i++];
        }
    }
    *text = kept;
    return true;
}

// An optional sign, digits, optionally "." and digits. Either digit run may be
// empty: a lone "-" is the printed zero of an amount column and reads as 0,
// so a dash placeholder on the first page does not turn the column to text.
bool IsNumeric(const std::string& t) {
    size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    while (i < t.size() && IsDigit(t[i])) ++i;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && IsDigit(t[i])) ++i;
    }
    return i == t.size();
}

}  // namespace

ValueClassifier::ValueClassifier(std::string decimalSeparator, std::string groupSeparator,
                                 std::string dateFormat)
    : decimal_(std::move(decimalSeparator)),
      group_(std::move(groupSeparator)),
      dateFormat_(std::move(dateFormat)) {}

ParsedValue ValueClassifier::ClassifyValue(std::string_view value) const {
    ParsedValue result;
    const std::string_view trimmed = Trim(value);
    if (HasDateShape(trimmed)) {
        result.kind = kTypeDate;
        return result;
    }
    // The number is normalised where the result keeps it.
    std::string& t = result.number;
    t.assign(trimmed.data(), trimmed.size());

    // Sign markers: a credit, a debit, or accounting parentheses. Most
    // values hold none of their bytes, and then none can apply.
    bool mayHaveMarker = false;
    for (char c : t) {
        switch (c) {
        case 'C':
        case 'c':
        case 'D':
        case 'd':
        case '(':
        case '$':
            mayHaveMarker = true;
            break;
        default:
            break;
        }
    }
    bool negative = false;
    if (!mayHaveMarker) {
    } else if (RemoveMarker(&t, "CR")) {
        negative = true;
    } else if (RemoveMarker(&t, "DR")) {
    } else if (t.find('(') != std::string::npos && t.find(')') != std::string::npos) {
        RemoveAll(&t, "(");
        RemoveAll(&t, ")");
        negative = true;
    }
    const bool currency = mayHaveMarker && RemoveAll(&t, "$");
    RemoveAll(&t, group_);
    size_t decimals = 0;
    if (!decimal_.empty()) {
        size_t at = t.find(decimal_);
        if (at != std::string::npos) {
            // Every separator becomes "." (nothing to do when it is one).
            if (decimal_ != ".") {
                for (size_t next = at; next != std::string::npos; next = t.find(decimal_, next + 1)) {
                    t.replace(next, decimal_.size(), ".");
                }
            }
            // Counted after the replacement, so that a separator of several
            // bytes does not add decimals.
            decimals = t.size() - at - 1;
        }
    }
    // A sign marker on a value that carries a sign of its own has no clear
    // meaning: keep it as text rather than write a wrong number.
    if (!IsNumeric(t) || (negative && (t[0] == '-' || t[0] == '+'))) {
        t.clear();
        return result;
    }

    result.kind = kTypeNumber;
    if (negative) t.insert(t.begin(), '-');
    result.currency = currency;
    result.decimals = decimals;
    return result;
}

bool ValueClassifier::ReadFieldOrder() {
    const std::string upper = ToUpper(dateFormat_);
    int at[3] = {-1, -1, -1};  // day, month, year
    size_t begin = 0;
    for (int part = 0; part < 3; ++part) {
        if (begin > upper.size()) return false;
        size_t end = upper.find('/', begin);
        if (end == std::string::npos) end = upper.size();
        if (end == begin) return false;
        const char letter = upper[begin];
        int which = letter == 'D' ? 0 : letter == 'M' ? 1 : letter == 'Y' ? 2 : -1;
        if (which < 0 || at[which] >= 0) return false;
        at[which] = part;
        begin = end + 1;
    }
    dayAt_ = at[0];
    monthAt_ = at[1];
    yearAt_ = at[2];
    orderFixed_ = true;
    return true;
}

bool ValueClassifier::ParseDate(std::string_view value, DateParts* date) {
    if (!orderFixed_ && !dateFormat_.empty() && !ReadFieldOrder()) return false;
    int fields[3];
    size_t begin = 0;
    for (int part = 0; part < 3; ++part) {
        if (begin > value.size()) return false;
        size_t end = value.find('/', begin);
        if (end == std::string_view::npos) end = value.size();
        if (end == begin) return false;
        fields[part] = AtoiLike(value.substr(begin, end - begin));
        begin = end + 1;
    }
    date->day = fields[dayAt_];
    date->month = fields[monthAt_];
    date->year = fields[yearAt_];
    return true;
}

double NumberTextValue(const std::string& number) {
    const char* begin = number.data();
    const char* end = begin + number.size();
    if (begin != end && *begin == '+') ++begin;
    // Up to 15 digits and 22 decimals: the digits as a whole number and one
    // division by an exact power of ten give the correctly rounded value,
    // the same as the full conversion below.
    static const double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                     1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const bool negative = begin != end && *begin == '-';
    std::uint64_t digits = 0;
    int count = 0;
    int decimals = -1;
    bool plain = true;
    for (const char* p = begin + (negative ? 1 : 0); p != end && plain; ++p) {
        if (*p >= '0' && *p <= '9') {
            digits = digits * 10 + static_cast<std::uint64_t>(*p - '0');
            ++count;
            if (decimals >= 0) ++decimals;
        } else if (*p == '.' && decimals < 0) {
            decimals = 0;
        } else {
            plain = false;
        }
    }
    if (plain && count > 0 && count <= 15 && decimals <= 22) {
        const double value = static_cast<double>(digits) / kPowers[decimals < 0 ? 0 : decimals];
        return negative ? -value : value;
    }
    double value = 0;
    std::from_chars(begin, end, value);
    return value;
}

std::string NumberFormatText(const ParsedValue& number) {
    std::string format = number.currency ? "$ #,##0" : "#,##0";
    if (number.decimals > 0) {
        format += '.';
        format.append(number.decimals, '0');
    }
    return format;
}

}  // namespace tarn::tabulate
