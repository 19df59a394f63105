#include "xls/RkNumber.h"

#include <cmath>
#include <cstring>

namespace tarn::xls {
namespace {

constexpr std::uint32_t kRkTimes100 = 0x1;
constexpr std::uint32_t kRkInteger = 0x2;
// Signed integers that fit the RK integer's 30 bits.
constexpr double kRkIntegerMin = -536870912.0;
constexpr double kRkIntegerMax = 536870911.0;
// The low double bits an RK value cannot hold.
constexpr std::uint64_t kDroppedDoubleBits = (std::uint64_t{1} << 34) - 1;

bool FitsInteger(double v) { return v >= kRkIntegerMin && v <= kRkIntegerMax && v == std::floor(v); }

std::uint32_t IntegerRk(double v, std::uint32_t flags) {
    return (static_cast<std::uint32_t>(static_cast<std::int32_t>(v)) << 2) | kRkInteger | flags;
}

}  // namespace

bool EncodeRk(double value, std::uint32_t* rk) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    if ((bits & kDroppedDoubleBits) == 0) {
        *rk = static_cast<std::uint32_t>(bits >> 32);
        return true;
    }
    if (FitsInteger(value)) {
        *rk = IntegerRk(value, 0);
        return true;
    }
    // Readers compute n / 100.0; use it only when that gives the value back.
    double hundredfold = std::round(value * 100.0);
    if (FitsInteger(hundredfold) && hundredfold / 100.0 == value) {
        *rk = IntegerRk(hundredfold, kRkTimes100);
        return true;
    }
    return false;
}

}  // namespace tarn::xls
