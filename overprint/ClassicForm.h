#pragma once
// Forms as the object reader can read them. The reader sees only classic
// files: objects in the open with a cross-reference table. Most current
// producers write PDF 1.5 cross-reference streams and pack objects into
// object streams, so such a form (and an encrypted or repaired one) is first
// rewritten into a classic file in the temporary folder.

#include <string>

#include "overprint/ExitStatus.h"

namespace tarn::overprint {

// Sets *file to the file to read for form file `path`: `path` itself when it
// is classic (or does not open: the caller reports that), else a new
// rewritten copy that the caller removes. Prints the reason and returns
// kFormUnusable, leaving no file behind, when the form is no usable PDF.
Outcome ClassicFormFile(const std::string& path, std::string* file);

}  // namespace tarn::overprint
