#pragma once
// A format object of the workbook: font, number format, alignment and the
// top and bottom borders. The XF record is written from it when the workbook
// is saved, so changes made after cells were written still count.

#include "xls/FontStyle.h"
#include "xls/Workbook.h"

namespace tarn::xls {

class CellFormat : public Format {
  public:
    explicit CellFormat(int index) : index_(index) {}

    void SetFont(Font* font) override { font_ = dynamic_cast<FontStyle*>(font); }
    void SetNumberFormat(int formatId) override {
        if (formatId >= 0 && formatId <= kMaxFormatId) formatId_ = formatId;
    }
    int NumberFormatId() const override { return formatId_; }
    void SetHorizontalAlignment(HAlign align) override { align_ = align; }
    void SetTopBorder(BorderStyle style) override { top_ = style; }
    void SetBottomBorder(BorderStyle style) override { bottom_ = style; }

    // Position among the workbook's formats, counted from 0.
    int Index() const { return index_; }
    const FontStyle* GetFont() const { return font_; }
    HAlign Alignment() const { return align_; }
    BorderStyle TopBorder() const { return top_; }
    BorderStyle BottomBorder() const { return bottom_; }

  private:
    int index_;
    const FontStyle* font_ = nullptr;
    int formatId_ = 0;
    HAlign align_ = HAlign::kGeneral;
    BorderStyle top_ = BorderStyle::kNone;
    BorderStyle bottom_ = BorderStyle::kNone;
};

}  // namespace tarn::xls
