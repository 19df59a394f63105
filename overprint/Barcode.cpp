#include "overprint/Barcode.h"

#include "overprint/Code128.h"

namespace tarn::overprint {
namespace {

// Rectangles are stroked with a 1-point line, which adds half a point on
// each side: a bar drawn 1 point narrower comes out exactly as wide as its modules.
inline constexpr int kStrokeWidth = 1;

void AppendBar(std::string* out, long long left, long long bottom, long long width, int height) {
    *out += std::to_string(left);
    *out += ' ';
    *out += std::to_string(bottom);
    *out += ' ';
    *out += std::to_string(width - kStrokeWidth);
    *out += ' ';
    *out += std::to_string(height);
    *out += " re B\n";
}

}  // namespace

std::string Barcode::Draw(int pageTop) const {
    std::string out = "1 w 0.0 0.0 0.0 RG 0.0 0.0 0.0 rg\n";
    std::vector<int> symbols = values;
    symbols.push_back(Code128CheckValue(values));
    symbols.push_back(kCode128Stop);

    const long long bottom = static_cast<long long>(pageTop) - top - height;
    long long left = x;
    for (int value : symbols) {
        const unsigned pattern = Code128Pattern(value);
        long long runStart = 0;
        int runModules = 0;
        for (int bit = kCode128Modules - 1; bit >= 0; --bit) {
            if (pattern & (1u << bit)) {
                if (runModules == 0) runStart = left;
                ++runModules;
            } else if (runModules > 0) {
                AppendBar(&out, runStart, bottom, static_cast<long long>(runModules) * moduleWidth, height);
                runModules = 0;
            }
            left += moduleWidth;
        }
        if (runModules > 0)
            AppendBar(&out, runStart, bottom, static_cast<long long>(runModules) * moduleWidth, height);
    }
    AppendBar(&out, left, bottom, static_cast<long long>(kCode128ClosingBarModules) * moduleWidth, height);
    return out;
}

}  // namespace tarn::overprint
