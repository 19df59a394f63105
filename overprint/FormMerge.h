#pragma once
// Makes the output: the header of the first form, the fonts the text uses,
// then for every text page the pages of its form, each with its own page
// dictionary over the form's shared objects and its own compressed text
// stream drawn after the form's content, and at the end the page tree, the
// catalog and the cross-reference table.

#include "overprint/ExitStatus.h"
#include "overprint/FormStage.h"
#include "overprint/OverprintRun.h"
#include "overprint/PdfWriter.h"
#include "overprint/TextLayout.h"

namespace tarn::overprint {

// Writes the whole output into `writer` (created, not yet committed); page i
// of the output, counted over every form page of every text page, gets text
// page i. Prints its own messages; returns kFontFileMissing when PdfFont.ext
// cannot be read, kNoPage, kLaterFormOpen or kFormUnusable for a form that
// cannot take the text, kWriteFailed after a failed write or read.
Outcome MergeText(OverprintRun& run, TextLayout& layout, FormStage& forms, PdfWriter& writer);

}  // namespace tarn::overprint
