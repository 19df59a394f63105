#pragma once
// Event identifiers of the job history and the status page.

#include <cstdint>

namespace tarn {

// The job history cannot be opened or written; the job is not recorded.
inline constexpr std::uint32_t kEvtHistoryFault = 0xC0000401;
// A damaged job history file was set aside and a new one started.
inline constexpr std::uint32_t kEvtHistorySetAside = 0xC0000402;
// The status page cannot listen on its address and port.
inline constexpr std::uint32_t kEvtStatusPageFault = 0xC0000403;

}  // namespace tarn
