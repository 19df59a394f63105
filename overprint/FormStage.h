#pragma once
// The forms of a run as the merge lays pages on them. Each form is read once,
// on the first page that uses it; its objects (content, fonts, images,
// resources) are written to the output once, renumbered past everything
// written before, and its pages are prepared as templates: every output page
// laid on a form page gets its own page dictionary made from the template,
// referring to the form's shared objects.

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "overprint/OverprintRun.h"
#include "overprint/PageBox.h"
#include "overprint/PdfDocument.h"
#include "overprint/PdfWriter.h"

namespace tarn::overprint {

// One page of a form, ready to be laid.
struct FormPage {
    int outputNumber = 0;    // the output number of the form's own page object
    bool used = false;       // once used, further pages take new numbers
    std::string dictionary;  // "<< ... >>" without /Parent and /Contents, fonts added
    std::string contents;    // the form's content references, empty when none
    PageBox box;
    int closing = 0;  // stream that ends the form's content and moves to the box's left edge
};

struct Form {
    std::unique_ptr<PdfDocument> document;
    std::vector<FormPage> pages;
    std::string catalog;    // the catalog dictionary in output numbers, empty when none
    int catalogNumber = 0;  // its output number
    bool written = false;
};

class FormStage {
  public:
    FormStage(OverprintRun& run, PdfWriter& writer) : run_(run), writer_(writer) {}

    // Opens the first page's form; prints the failure and returns
    // kOpenFailed (kFormUnusable for no usable PDF) when it cannot be opened.
    Outcome OpenFirst();
    // Reads form `name` (the first form unless opened yet); `first` tells how
    // a failure to open it is reported.
    Outcome Load(const std::string& name, bool first, Form** form);
    // What every form's pages share: the font entries to add to their
    // resources, the page-tree root, the streams that open and close the
    // form's content.
    void SetShared(const std::string& fontEntries, int pagesRoot, int opening, int closing);
    // The form of a page, read and written on its first use.
    Outcome Use(const std::string& name, bool first, Form** form);

  private:
    // What a page takes from the page-tree nodes above it, as raw text.
    struct Inherited {
        std::map<std::string, std::string> values;  // key -> value
    };
    class Preparation;

    Outcome Open(const std::string& name, bool first, std::unique_ptr<PdfDocument>* document);
    Outcome WriteForm(Form& form);

    OverprintRun& run_;
    PdfWriter& writer_;
    std::map<std::string, Form> forms_;
    std::unique_ptr<PdfDocument> firstDocument_;
    std::string fontEntries_;
    int pagesRoot_ = 0;
    int opening_ = 0;
    int closing_ = 0;
};

}  // namespace tarn::overprint
