#pragma once
// The stages of a run that deal with the report text, as the driver calls
// them: lay the text out into pages (before the form stage, which needs
// pageForms), then draw the laid-out pages over the form copies.
//
// The program binds the real stages through MakeTextStages(), defined with
// the text layout and the merge in overprint/TextStages.cpp; tests can hand
// the driver stages of their own.

#include <memory>
#include <string>

#include "overprint/LayoutSettings.h"
#include "overprint/PdfDocument.h"

namespace tarn::overprint {

class TextStages {
  public:
    virtual ~TextStages() = default;

    // Lays out `textFile` with `settings`; appends the form of every page
    // after the first to pageForms (pageForms ends with one entry per text
    // page). The driver does not act on the result: a text file that cannot
    // be read gives no pages.
    virtual bool LayOut(const LayoutSettings& settings, const std::string& textFile) = 0;
    // Number of text pages laid out.
    virtual int PageCount() const = 0;
    // Writes the output: `document` is open on (output, temporary form file)
    // and has read the temporary form file.
    virtual int Merge(PdfDocument& document, int pageCount) = 0;
};

std::unique_ptr<TextStages> MakeTextStages();

}  // namespace tarn::overprint
