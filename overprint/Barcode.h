#pragma once
// One Code 128 barcode of the text, and its drawing as PDF path operators.

#include <string>
#include <vector>

namespace tarn::overprint {

struct Barcode {
    int startCode = 0;        // 103, 104 or 105: code set A, B or C
    int page = 0;             // 0-based text page
    int moduleWidth = 1;      // points per module, at least 1
    int height = 0;           // bar height in points
    int x = 0;                // left edge in points
    int top = 0;              // from the page top to the top of the bars, in points
    std::vector<int> values;  // startCode, then one value per data byte

    // The drawing operators on a page whose top is at `pageTop`: every value,
    // the check value, the stop symbol and the closing bar, each run of bar
    // modules as one filled and stroked rectangle.
    std::string Draw(int pageTop) const;
};

}  // namespace tarn::overprint
