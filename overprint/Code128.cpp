#include "overprint/Code128.h"

namespace tarn::overprint {
namespace {

// Bar and space widths (bar first) of the symbol values 0-106; value 106 is
// the stop symbol without its closing 2-module bar.
const char* const kWidths[kCode128Stop + 1] = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212", "221213",
    "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221", "223211", "221132",
    "221231", "213212", "223112", "312131", "311222", "321122", "321221", "312212", "322112", "322211",
    "212123", "212321", "232121", "111323", "131123", "131321", "112313", "132113", "132311", "211313",
    "231113", "231311", "112133", "112331", "132131", "113123", "113321", "133121", "313121", "211331",
    "231131", "213113", "213311", "213131", "311123", "311321", "331121", "312113", "312311", "332111",
    "314111", "221411", "431111", "111224", "111422", "121124", "121421", "141122", "141221", "112214",
    "112412", "122114", "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111",
    "111242", "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311", "113141",
    "114131", "311141", "411131", "211412", "211214", "211232", "233111",
};

}  // namespace

std::uint16_t Code128Pattern(int value) {
    if (value < 0 || value > kCode128Stop) value = 0;
    std::uint16_t bits = 0;
    bool bar = true;
    for (const char* w = kWidths[value]; *w; ++w, bar = !bar) {
        for (int i = 0; i < *w - '0'; ++i) bits = static_cast<std::uint16_t>((bits << 1) | bar);
    }
    return bits;
}

int Code128CheckValue(const std::vector<int>& values) {
    if (values.empty()) return 0;
    long sum = values[0];
    for (std::size_t i = 1; i < values.size(); ++i) {
        sum += static_cast<long>(i) * values[i];
    }
    return static_cast<int>(sum % kCode128CheckModulus);
}

}  // namespace tarn::overprint
