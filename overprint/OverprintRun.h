#pragma once
// Everything one conversion shares: the names the driver holds, the layout
// settings, the form of every page, stream mode's parts, the program's
// pattern cache and the temporary files to remove. The driver creates it and
// hands it to the text layout, the form stage and the merge.

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "overprint/ExitStatus.h"
#include "overprint/LayoutSettings.h"
#include "overprint/PatternCache.h"

namespace tarn::overprint {

struct OverprintRun {
    OverprintRun();
    ~OverprintRun();
    OverprintRun(const OverprintRun&) = delete;
    OverprintRun& operator=(const OverprintRun&) = delete;

    bool streamMode = false;
    std::string formName;    // the first page's form (stream mode: the key line of its part)
    std::string textFile;    // the report text
    std::string outputName;  // the result, ".pdf" included
    // The program's own folder, without its closing separator.
    std::string programDir;
    // -d: the only folder forms named in the text are taken from; empty: programDir.
    std::string formsDir;
    LayoutSettings settings;

    // Form name per page: entry k is the form of page k + 1.
    std::vector<std::string> pageForms;
    // Forms named in the text that lie outside the forms folder: they count
    // as forms that cannot be opened.
    std::set<std::string> refusedForms;
    // Stream mode: (key line, temporary file) per part of standard input.
    std::vector<std::pair<std::string, std::string>> streamParts;

    // False: forms are read as they stand, never through a classic copy (for
    // exercising the reader itself on damaged files).
    bool classicCopies = true;

    // The reader's patterns (filled by the driver).
    PatternCache patterns;

    // The file that holds form `name`: in stream mode the part whose key line
    // is `name` (the name itself when no part has it), else `name`; a form
    // the reader cannot take as it is gets a classic copy. Prints the reason
    // and returns kFormUnusable when the form is no usable PDF.
    Outcome FormFileOf(const std::string& name, std::string* file);

    // A temporary file removed when the run ends, whatever the outcome.
    void AddTemporary(const std::string& path) { temporaries_.push_back(path); }
    // Removes the stream parts (reporting failures) and every temporary file.
    void RemoveTemporaries();

  private:
    std::vector<std::string> temporaries_;
    std::map<std::string, std::string> classicCopies_;  // form file -> file to read
};

}  // namespace tarn::overprint
