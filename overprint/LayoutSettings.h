#pragma once
// The layout settings the command line gives (-t -l -f -s -n -z), with their
// defaults. The text layout keeps size, spacing, font and scale as 16-bit
// values per run and cuts larger values there.

#include <cstdint>

namespace tarn::overprint {

struct LayoutSettings {
    std::int32_t marginTop = 20;   // points from the MediaBox top to the first baseline
    std::int32_t marginLeft = 20;  // x of every line without a position of its own
    std::int32_t fontSize = 10;    // points, for Tf
    std::int32_t lineSpace = 10;   // points from one line to the next
    std::int32_t fontNumber = 0;   // font table number, 0-199
    std::int32_t scale = 100;      // horizontal scaling in percent, for Tz
};

}  // namespace tarn::overprint
