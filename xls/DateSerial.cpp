#include "xls/DateSerial.h"

#include <cmath>

namespace tarn::xls {
namespace {

// Days from 1970-01-01 to the given proleptic Gregorian date (H. Hinnant's algorithm).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

// Days from 1970-01-01 back to 1899-12-31, Excel's day 0.
constexpr long long kExcelEpochFrom1970 = -25568;
// Excel's serial for 1 March 1900, the first day past its phantom 29 February.
constexpr long long kFirstSerialAfterLeapBug = 61;
constexpr double kSecondsPerDay = 86400.0;
// Years DATE takes, and those it counts from 1900.
constexpr int kMaxYear = 9999;
constexpr int kFirstFullYear = 1900;
// Serial of 31 December 9999, the last day Excel shows.
constexpr long long kLastSerial = 2958465;

}  // namespace

double DateSerial(int year, int month, int day, int hour, int minute, int second) {
    if (year < 0 || year > kMaxYear) return std::nan("");
    if (year < kFirstFullYear) year += kFirstFullYear;
    // Carry the month into the year first, as DATE does.
    long long y = year;
    long long m0 = static_cast<long long>(month) - 1;
    y += m0 >= 0 ? m0 / 12 : -((11 - m0) / 12);
    m0 -= 12 * (m0 >= 0 ? m0 / 12 : -((11 - m0) / 12));

    // Serial of the month's first day, then the day offset on top.
    long long first = DaysFromCivil(y, static_cast<unsigned>(m0 + 1), 1) - kExcelEpochFrom1970;
    if (first >= kFirstSerialAfterLeapBug - 1) ++first;  // months from March 1900 on
    long long serial = first + static_cast<long long>(day) - 1;
    if (serial < 0 || serial > kLastSerial) return std::nan("");
    return static_cast<double>(serial) + (hour * 3600.0 + minute * 60.0 + second) / kSecondsPerDay;
}

}  // namespace tarn::xls
