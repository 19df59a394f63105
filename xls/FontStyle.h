#pragma once
// A font object of the workbook: name, size and weight. The FONT record is
// written from it when the workbook is saved, so later changes still count.

#include <string>

#include "xls/Limits.h"
#include "xls/Workbook.h"

namespace tarn::xls {

// Font sizes Excel accepts, in points.
inline constexpr int kMinFontPoints = 1;
inline constexpr int kMaxFontPoints = 409;

class FontStyle : public Font {
  public:
    // An empty name keeps the one before (a font needs a name).
    void SetName(const std::string& name) override {
        if (!name.empty()) name_ = name;
    }
    void SetSize(int points) override {
        if (points >= kMinFontPoints && points <= kMaxFontPoints) points_ = points;
    }
    void SetBold(bool bold) override { bold_ = bold; }

    const std::string& Name() const { return name_; }
    int Points() const { return points_; }
    bool Bold() const { return bold_; }

  private:
    std::string name_ = "Arial";
    int points_ = kDefaultFontPoints;
    bool bold_ = false;
};

}  // namespace tarn::xls
