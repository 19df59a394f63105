#pragma once
// The converter's reports: problems with the PDF, the text and the patterns go
// to standard output, problems with temporary and result files to standard
// error. Each message is one write.

#include <string>

namespace tarn::overprint {

void PrintOut(const std::string& text);
void PrintErr(const std::string& text);

}  // namespace tarn::overprint
