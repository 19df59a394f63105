#pragma once
// The Code 128 symbology: symbol patterns and the check value.

#include <cstdint>
#include <vector>

namespace tarn::overprint {

// Start values of the three code sets.
inline constexpr int kCode128StartA = 103;
inline constexpr int kCode128StartB = 104;
inline constexpr int kCode128StartC = 105;
// The stop value; its pattern here is the 11 modules before the closing bar.
inline constexpr int kCode128Stop = 106;
// Every symbol is 11 modules wide.
inline constexpr int kCode128Modules = 11;
// The closing bar after the stop symbol is 2 modules wide.
inline constexpr int kCode128ClosingBarModules = 2;
// Check values are taken modulo this.
inline constexpr int kCode128CheckModulus = 103;

// The 11 modules of symbol value v (0-106), most significant bit first, a set
// bit a bar. A value outside 0-106 gives the pattern of value 0.
std::uint16_t Code128Pattern(int value);

// (values[0] + sum of i * values[i] for i >= 1) mod 103, where values[0] is
// the start value and the rest are the data values.
int Code128CheckValue(const std::vector<int>& values);

}  // namespace tarn::overprint
