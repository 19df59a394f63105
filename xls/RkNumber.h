#pragma once
// The 4-byte RK form of a number (MS-XLS 2.5.218 RkNumber): bit 0 says the
// value is divided by 100, bit 1 that bits 2-31 are a signed integer rather
// than the top 30 bits of a double. Reports are full of integers and of
// amounts with two decimals, which all fit it; cells holding such numbers
// take RK and MULRK records instead of the longer NUMBER.

#include <cstdint>

namespace tarn::xls {

// True and the RK value in *rk when a reader gets exactly `value` back.
bool EncodeRk(double value, std::uint32_t* rk);

}  // namespace tarn::xls
