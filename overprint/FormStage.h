#pragma once
// The first pass of the merge: writes the temporary form file, a PDF holding
// one copy of a form per text page (the form of page k is pageForms entry k),
// every copy the whole form file with its object numbers shifted past the
// copies before it, under one page tree.

#include <string>

#include "overprint/PdfDocument.h"

namespace tarn::overprint {

// Ends the run (OverprintExit 20, 21 or 22) when a form or the temporary file
// cannot be opened; writes nothing when pageForms is empty.
void RunFormStage(PdfDocument& document, const std::string& tempFormName);

}  // namespace tarn::overprint
