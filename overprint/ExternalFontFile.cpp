#include "overprint/ExternalFontFile.h"

#include "common/Text.h"

namespace tarn::overprint {
namespace {

// Marker lines are recognised by their first 28 bytes.
const char kBeginMarker[] = "-------Font begin-----------";
const char kDescriptorMarker[] = "-------Font Descriptor------";
const char kFontFileMarker[] = "-------Font File------------";
const char kAddKeyMarker[] = "-------Font add key beg-----";
// Any line with this start ends the part gathered so far.
const char kAnyMarker[] = "-------Font";

// A key line names a PDF key; its line end (a CR of a CR LF file) is not part of it.
std::string KeyOf(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

}  // namespace

bool ExternalFontFile::NextLine(std::string* line) {
    if (position_ >= text_.size()) return false;
    std::size_t end = text_.find('\n', position_);
    if (end == std::string::npos) end = text_.size();
    line->assign(text_, position_, end - position_);
    position_ = end + 1;
    return true;
}

void ExternalFontFile::HandOn(PdfObjectSink& sink, Part part, const std::string& keyLine,
                              const std::string& gathered, std::string* dictionary, std::string* descriptor) {
    switch (part) {
    case Part::kDictionary:
        *dictionary += gathered;
        break;
    case Part::kDescriptor:
        *descriptor += gathered;
        break;
    case Part::kFontFile:
    case Part::kAddKey: {
        int number = sink.TakeObjectNumber();
        std::string reference = KeyOf(keyLine) + " " + std::to_string(number) + " 0 R ";
        (part == Part::kFontFile ? *descriptor : *dictionary) += reference;
        sink.WriteObject(number, "obj\n<<" + gathered);
        break;
    }
    case Part::kNone:
        break;
    }
}

int ExternalFontFile::WriteFont(PdfObjectSink& sink, int n) {
    std::string dictionary = "obj\n<<";
    std::string descriptor = "obj\n<<";
    const int wanted = n - 99;
    std::string line;

    // Skip to the wanted section's begin marker (it may already be read).
    while (sectionsOpened_ < wanted && NextLine(&line)) {
        if (StartsWith(line, kBeginMarker)) ++sectionsOpened_;
    }
    if (sectionsOpened_ == wanted) {
        Part part = Part::kDictionary;
        std::string gathered, keyLine;
        while (NextLine(&line)) {
            if (!StartsWith(line, kAnyMarker)) {
                gathered += line;
                continue;
            }
            HandOn(sink, part, keyLine, gathered, &dictionary, &descriptor);
            gathered.clear();
            keyLine.clear();
            if (StartsWith(line, kBeginMarker)) {
                ++sectionsOpened_;  // counted for the next font
                break;
            }
            if (StartsWith(line, kDescriptorMarker)) {
                part = Part::kDescriptor;
            } else if (StartsWith(line, kFontFileMarker) || StartsWith(line, kAddKeyMarker)) {
                part = StartsWith(line, kFontFileMarker) ? Part::kFontFile : Part::kAddKey;
                NextLine(&keyLine);
            } else {
                part = Part::kNone;
            }
        }
    }

    int d = sink.TakeObjectNumber();
    dictionary += "/FontDescriptor " + std::to_string(d) + " 0 R ";
    descriptor += ">>\n";
    sink.WriteObject(d, descriptor);
    dictionary += ">>\n";
    int f = sink.TakeObjectNumber();
    sink.WriteObject(f, dictionary);
    return f;
}

}  // namespace tarn::overprint
