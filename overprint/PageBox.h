#pragma once
// A page's MediaBox: lower-left and upper-right corners in points.

namespace tarn::overprint {

struct PageBox {
    int x0 = 0;
    int y0 = 0;
    int x1 = 612;  // US Letter unless the form says otherwise
    int y1 = 792;
};

}  // namespace tarn::overprint
