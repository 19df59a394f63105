#pragma once
// Independent readers for the workbooks the tests write: libfreexl, linked in,
// and xlrd run by Debian's python3 (with formatting information).

#include <set>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"

namespace xls_test {

// The shared scratch folder.
using ScratchDir = tarn::testing::TempFolder;

// One cell as libfreexl reads it: kind "null", "int", "double", "text",
// "date" (text is then YYYY-MM-DD), ...
struct FreexlCell {
    std::string kind;
    std::string text;
    double number = 0;
};

class FreexlBook {
  public:
    explicit FreexlBook(const std::string& path);
    ~FreexlBook();
    bool ok() const { return handle_ != nullptr; }
    int openError() const { return openError_; }
    unsigned SheetCount() const;
    std::string SheetName(unsigned sheet) const;
    // Rows and columns of the sheet's used area.
    void Dimensions(unsigned sheet, unsigned* rows, unsigned short* cols) const;
    FreexlCell Cell(unsigned sheet, unsigned row, unsigned short col) const;

  private:
    void Select(unsigned sheet) const;
    const void* handle_ = nullptr;
    int openError_ = 0;
};

// xlrd's reading of the workbook as the set of lines xlrd_dump.py prints;
// `edgeRows` limits cell lines to the first and last rows of each sheet.
std::set<std::string> XlrdFacts(const std::string& path, int edgeRows = -1);

bool Has(const std::set<std::string>& facts, const std::string& fact);
// How many facts start with `prefix`.
int CountFacts(const std::set<std::string>& facts, const std::string& prefix);
// The rest of the first fact that starts with `prefix`; "<none>" when none does.
std::string FactAfter(const std::set<std::string>& facts, const std::string& prefix);
// The facts as text for a failure message (cut to a few thousand characters).
std::string Dump(const std::set<std::string>& facts);

// Runs a command through the shell; its standard output, and its exit status in *status.
std::string RunCommand(const std::string& command, int* status);

}  // namespace xls_test
