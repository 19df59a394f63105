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

// Where a reader puts a word on a page, in points from the page's top-left
// corner; x is -1 when the word is not found.
struct Spot {
    double x = -1;
    double y = -1;
};
// poppler (pdftotext -bbox): the left edge and the bottom of the word's box.
Spot PopplerWord(const std::string& pdf, int page, const std::string& word);
// mupdf (mutool draw -F stext): the origin of the word's first character, on its baseline.
Spot MupdfWord(const std::string& pdf, int page, const std::string& word);

// The file as qpdf writes it with every stream decoded and no object
// streams (--qdf), for looking at content operators.
std::string Uncompressed(const std::string& pdf);

// A classic PDF of `objects` (the text between "n 0 obj" and "endobj" of
// objects 1, 2, ...) with a matching cross-reference table and /Root 1 0 R.
std::string BuildPdf(const std::vector<std::string>& objects);
// A stream object body holding `data`.
std::string Stream(const std::string& data);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

}  // namespace tarn::overprint::testing
