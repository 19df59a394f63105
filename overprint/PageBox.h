#pragma once
// A page's MediaBox in whole points: lower-left and upper-right corners.

#include <vector>

namespace tarn::overprint {

struct PageBox {
    int x0 = 0;
    int y0 = 0;
    int x1 = 612;  // US Letter unless the form says otherwise
    int y1 = 792;
};

// The box of four PDF numbers as they stand in a /MediaBox array, whichever
// corners they name, rounded to whole points: y1 is the page's top. False
// (box unchanged) when there are fewer than four numbers.
bool BoxFromNumbers(const std::vector<double>& numbers, PageBox* box);

}  // namespace tarn::overprint
