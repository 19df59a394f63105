#pragma once
// Result codes of the service host: 0 for success, a Win32-style error code
// (here the errno value of the failing call) or an HRESULT.

#include <cstdint>

namespace tarn {

using HRESULT = std::uint32_t;

inline constexpr HRESULT S_OK = 0;
// Generic failure.
inline constexpr HRESULT E_FAIL = 0x80004005u;

// A Win32-style error code as HRESULT: 0 stays 0, any other code becomes
// 0x80070000 plus its low 16 bits.
inline HRESULT HResultFromError(int code) {
    return code == 0 ? S_OK : 0x80070000u | (static_cast<std::uint32_t>(code) & 0xFFFFu);
}

// The process exit status for a result code: 0 for success, otherwise its low
// 8 bits, or 1 when those are 0, so that every failure exits non-zero.
inline int ExitStatusFor(std::uint32_t code) {
    if (code == 0) return 0;
    int low = static_cast<int>(code & 0xFFu);
    return low != 0 ? low : 1;
}

}  // namespace tarn
