#pragma once
// Forms as the object reader can read them. The reader sees only classic
// files: objects in the open with a cross-reference table. Most current
// producers write PDF 1.5 cross-reference streams and pack objects into
// object streams, so such a form (and an encrypted or repaired one) is first
// rewritten into a classic file, once per run, in the temporary folder.

#include <string>

namespace tarn::overprint {

// Status when a form is no usable PDF (not a PDF, damaged beyond repair,
// protected by a password).
inline constexpr int kExitFormUnusable = 23;

// The file to read for form file `path`: `path` itself when it is classic
// (or does not open: the caller reports that), else its rewritten copy.
// Prints the reason and ends the run (OverprintExit, kExitFormUnusable)
// when the form is no usable PDF. The copies are removed when the program ends.
std::string ClassicFormFile(const std::string& path);

}  // namespace tarn::overprint
