#pragma once
// Helpers of the PDF converter's tests: a private scratch folder, the
// generated test forms, running the independent PDF tools.

#include <string>
#include <vector>

#include "tests/support/TempFolder.h"

namespace tarn::overprint::testing {

// The shared scratch folder.
using ScratchDir = tarn::testing::TempFolder;

// Full path of a generated test form ("plain.pdf", "form_odt.pdf", ...).
std::string Fixture(const std::string& name);

// Runs a shell command; returns its exit status and, when `output` is
// given, what it wrote on standard output and standard error.
int RunShell(const std::string& command, std::string* output = nullptr);

// `qpdf --check` passes without warnings.
bool QpdfCheckPasses(const std::string& pdf, std::string* report = nullptr);
// The page count pdfinfo reports, -1 when it fails.
int PdfinfoPages(const std::string& pdf);
// Each page rendered by pdftoppm (low resolution), as bytes of a PGM image.
std::vector<std::string> RenderPages(const std::string& pdf);
// The text pdftotext finds on page `page` (from 1).
std::string PageText(const std::string& pdf, int page);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

}  // namespace tarn::overprint::testing
