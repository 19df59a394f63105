#pragma once
// The external font file PdfFont.ext: fonts 100-199, one section each, served
// in increasing font number from one pass over the file.
//
// The file is a sequence of lines (ended by LF; a CR before it stays in the
// line). Marker lines open parts: "-------Font begin-----------" starts the
// next font's section (the k-th starts font 99 + k) and its dictionary part;
// "-------Font Descriptor------" its descriptor part; "-------Font File------------"
// a font-file object and "-------Font add key beg-----" an extra object of the
// dictionary, whose next line is the key that refers to it. Other lines are
// joined without separator into the current part, which is handed on at the
// next marker (any line beginning "-------Font"); text after the file's last
// marker is dropped.

#include <cstddef>
#include <string>

#include "overprint/PdfObjectSink.h"

namespace tarn::overprint {

class ExternalFontFile {
  public:
    explicit ExternalFontFile(const std::string& contents) : text_(contents) {}

    // Writes font n's descriptor, extra objects and dictionary; returns the
    // dictionary's object number. Calls must come in increasing n. A font
    // with no section gets an empty descriptor and a dictionary that holds
    // only the descriptor reference.
    int WriteFont(PdfObjectSink& sink, int n);

  private:
    enum class Part { kNone, kDictionary, kDescriptor, kFontFile, kAddKey };

    bool NextLine(std::string* line);
    void HandOn(PdfObjectSink& sink, Part part, const std::string& keyLine, const std::string& gathered,
                std::string* dictionary, std::string* descriptor);

    const std::string& text_;
    std::size_t position_ = 0;
    int sectionsOpened_ = 0;  // begin markers read so far
};

}  // namespace tarn::overprint
