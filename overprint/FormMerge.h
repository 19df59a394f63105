#pragma once
// The second pass of the merge: reads the temporary form file (one form copy
// per text page) and writes the output with the fonts the text uses, the font
// resources added to every page, and each text page's content stream appended
// to its page's /Contents, so that the text is drawn over the form.

#include <map>
#include <string>

#include "overprint/PageBox.h"
#include "overprint/PatternCache.h"
#include "overprint/PdfDocument.h"
#include "overprint/TextLayout.h"

namespace tarn::overprint {

// Status when the external font file PdfFont.ext cannot be read.
inline constexpr int kExitFontFileMissing = 8;

// Writes the output of `document` (open on output and temporary form file,
// already read). Page i of the page tree, depth first, gets text page i.
// Returns 1. When PdfFont.ext cannot be read it prints the message, removes
// the output file and ends the run (OverprintExit, kExitFontFileMissing).
int MergeText(PdfDocument& document, TextLayout& layout, int pageCount);

// The MediaBox of a page or page-tree node given as object text; a box held
// in an object of its own is loaded from `document` (and written back, so
// that it still reaches the output). False when none is found.
class PageBoxLookup {
  public:
    explicit PageBoxLookup(PdfDocument& document);
    bool Find(const std::string& objectText, PageBox* box);

  private:
    PdfDocument& document_;
    PatternCache patterns_;
    std::map<int, std::string> loaded_;
};

}  // namespace tarn::overprint
