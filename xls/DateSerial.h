#pragma once
// Serial date values of the 1900 date system, numbered as Excel numbers them:
// 1 is 1 January 1900 and 60 is the 29 February 1900 that Excel believes in,
// so every date from 1 March 1900 on is one more than the day count from
// 31 December 1899. Months and days outside their range carry over the way
// Excel's DATE function carries them (month 13 is January of the next year,
// 30 February 2009 is 2 March 2009, 30 February 1900 is 1 March 1900), and
// a year from 0 to 1899 counts from 1900 as in DATE (99 is 1999). A date
// Excel cannot hold (a year below 0 or from 10000 on, a day before its day 0
// or after 31 December 9999) gives NaN, which no cell accepts.

namespace tarn::xls {

double DateSerial(int year, int month, int day, int hour, int minute, int second);

}  // namespace tarn::xls
