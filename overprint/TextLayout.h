#pragma once
// Lays the report text out into pages of text runs and barcodes, following
// the in-band escape language (ESC, a command letter, numbers), and produces
// each page's content stream.
//
// Escape commands: f font, s size, l line spacing, z horizontal scaling,
// r rendering mode, u/d rise up/down, g r g b fill colour in percent,
// p x y explicit line position, n name: form of the following pages,
// b[A|B|C] w h x top: a Code 128 barcode made of the rest of the line.

#include <cstdint>
#include <string>
#include <vector>

#include "overprint/Barcode.h"
#include "overprint/FontTable.h"
#include "overprint/LayoutSettings.h"
#include "overprint/OverprintRun.h"
#include "overprint/PageBox.h"
#include "overprint/TextRun.h"

namespace tarn::overprint {

class TextLayout {
  public:
    // Takes the settings from `run` and appends the form of every page after
    // the first to its pageForms (whose first entry is the form of page 1).
    // Forms named in the text (command n) come from the run's forms folder
    // (-d), else from the program's folder.
    explicit TextLayout(OverprintRun& run);

    // Settings from the command line.
    LayoutSettings settings;

    // Reads and lays out the text file; prints a message and returns false
    // when it cannot be read (no pages then).
    bool LayOut(const std::string& textFileName);
    // Lays out text held in memory.
    void LayOutText(const std::string& text);

    // The text of page k's content stream (k from 1) laid on a page with box
    // `box`: the operators alone; empty for a page without text.
    std::string PageText(int k, const PageBox& box) const;
    // The same as a whole content stream object without its object number:
    // " obj\n << /Length n >>\nstream\n...endstream\n".
    std::string PageContent(int k, const PageBox& box) const;

    int PageCount() const { return pageCount_; }
    FontUsed& fontUsed() { return fontUsed_; }
    const FontUsed& fontUsed() const { return fontUsed_; }
    const std::vector<TextRun>& runs() const { return runs_; }
    const std::vector<Barcode>& barcodes() const { return barcodes_; }

  private:
    class Reader;
    struct State;

    void Command(Reader& in, State& st);
    void SwitchForm(const std::string& name, State& st);
    bool ResolveForm(const std::string& name, std::string* form) const;
    void StoreRun(State& st);
    void EndLine(State& st, bool pageEnd);
    void CloseBarcode(State& st);
    std::int16_t UsableFont(long n);

    OverprintRun& run_;
    std::vector<std::string>* pageForms_;
    std::vector<TextRun> runs_;
    std::vector<std::size_t> pageTable_{0};  // first run of each page, then the end
    std::vector<Barcode> barcodes_;
    int pageCount_ = 0;
    FontUsed fontUsed_{};
};

}  // namespace tarn::overprint
