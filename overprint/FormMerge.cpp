#include "overprint/FormMerge.h"

#include <vector>

#include "overprint/FontTable.h"
#include "overprint/Messages.h"
#include "overprint/PdfDictionary.h"
#include "platform/File.h"

namespace tarn::overprint {
namespace {

const char kFontFileName[] = "PdfFont.ext";

std::string Reference(int number) { return std::to_string(number) + " 0 R"; }

// The merge's steps, in the order they write.
class Merge {
  public:
    Merge(OverprintRun& run, TextLayout& layout, FormStage& forms, PdfWriter& writer)
        : run_(run), layout_(layout), forms_(forms), writer_(writer) {}

    Outcome Run() {
        std::string externalFonts;
        Outcome outcome = ReadFontFile(&externalFonts);
        if (outcome == Outcome::kOk) outcome = WriteHeader();
        if (outcome == Outcome::kOk) WriteShared(externalFonts);
        for (std::size_t k = 0; outcome == Outcome::kOk && k < run_.pageForms.size(); ++k) {
            outcome = LayTextPage(k);
        }
        if (outcome != Outcome::kOk) return outcome;
        WritePageTreeAndCatalog();
        writer_.WriteCrossReference(catalog_);
        return writer_.failed() ? Outcome::kWriteFailed : Outcome::kOk;
    }

  private:
    Outcome ReadFontFile(std::string* contents) {
        const std::string path = run_.programDir + "/" + kFontFileName;
        if (!ReadWholeFile(path, contents).ok() || IsDirectory(path)) {
            PrintOut("*** Error open external font file " + path + " ***\n");
            return Outcome::kFontFileMissing;
        }
        return Outcome::kOk;
    }

    Outcome WriteHeader() {
        Form* first = nullptr;
        const Outcome loaded = forms_.Load(run_.pageForms.front(), true, &first);
        if (loaded != Outcome::kOk) return loaded;
        writer_.WriteRaw(first->document->Header());
        return Outcome::kOk;
    }

    // The fonts, the page-tree root's number, and the two streams that set
    // the form's content apart, so that whatever it leaves changed (a flipped
    // coordinate system) does not reach the text.
    void WriteShared(const std::string& externalFonts) {
        FontUsed& used = layout_.fontUsed();
        WriteUsedFonts(writer_, externalFonts, &used);
        std::string entries;
        for (int n = 0; n < kFontSlots; ++n) {
            if (used[n] != 0)
                entries += " " + std::string(kFontResourcePrefix) + std::to_string(n) + " " +
                           Reference(used[n]) + " ";
        }
        pagesRoot_ = writer_.TakeObjectNumber();
        const int opening = writer_.TakeObjectNumber();
        writer_.WriteStream(opening, "q", false);
        const int closing = writer_.TakeObjectNumber();
        writer_.WriteStream(closing, "Q", false);
        opening_ = opening;
        forms_.SetShared(entries, pagesRoot_, opening, closing);
    }

    // Text page k + 1 goes on the pages of its form.
    Outcome LayTextPage(std::size_t k) {
        Form* form = nullptr;
        const Outcome used = forms_.Use(run_.pageForms[k], k == 0, &form);
        if (used != Outcome::kOk) return used;
        if (k == 0) firstForm_ = form;
        for (FormPage& page : form->pages) LayPage(page);
        return writer_.failed() ? Outcome::kWriteFailed : Outcome::kOk;
    }

    // One output page: its own dictionary over the form page's shared
    // objects, and its text stream after the form's content.
    void LayPage(FormPage& page) {
        const int number = page.used ? writer_.TakeObjectNumber() : page.outputNumber;
        page.used = true;
        ++outputPages_;
        std::string contents;
        int text = 0;
        if (outputPages_ <= layout_.PageCount()) {
            text = writer_.TakeObjectNumber();
            if (page.contents.empty() && page.box.x0 == 0) {
                contents = "[ " + Reference(text) + " ]";
            } else {
                contents = "[ " + Reference(opening_) + " " + page.contents + " " + Reference(page.closing) +
                           " " + Reference(text) + " ]";
            }
        } else if (!page.contents.empty()) {
            contents = "[ " + page.contents + " ]";
        }
        std::string dictionary = "<< /Parent " + Reference(pagesRoot_);
        if (!contents.empty()) dictionary += " /Contents " + contents;
        dictionary += page.dictionary.substr(2);
        writer_.WriteObject(number, "obj\n" + dictionary + "\n");
        if (text != 0) writer_.WriteStream(text, layout_.PageText(outputPages_, page.box), true);
        kids_ += " " + Reference(number);
    }

    void WritePageTreeAndCatalog() {
        writer_.WriteObject(pagesRoot_, "obj\n<< /Type /Pages /Kids [" + kids_ + " ] /Count " +
                                            std::to_string(outputPages_) + " >>\n");
        std::string catalog = firstForm_ != nullptr ? firstForm_->catalog : std::string();
        catalog_ = firstForm_ != nullptr ? firstForm_->catalogNumber : 0;
        if (catalog.empty() || catalog_ == 0) {
            catalog = "<< /Type /Catalog >>";
            catalog_ = writer_.TakeObjectNumber();
        }
        SetValue(&catalog, 0, "/Pages", Reference(pagesRoot_));
        writer_.WriteObject(catalog_, "obj\n" + catalog + "\n");
    }

    OverprintRun& run_;
    TextLayout& layout_;
    FormStage& forms_;
    PdfWriter& writer_;
    Form* firstForm_ = nullptr;
    int pagesRoot_ = 0;
    int opening_ = 0;
    int catalog_ = 0;
    int outputPages_ = 0;
    std::string kids_;
};

}  // namespace

Outcome MergeText(OverprintRun& run, TextLayout& layout, FormStage& forms, PdfWriter& writer) {
    return Merge(run, layout, forms, writer).Run();
}

}  // namespace tarn::overprint
