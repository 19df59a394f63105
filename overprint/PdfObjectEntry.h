#pragma once
// What the reader records about the indirect objects of a PDF file.

#include <cstdint>
#include <string>
#include <vector>

namespace tarn::overprint {

// One indirect reference "n g R" as it stands in the file.
struct PdfReference {
    std::string key;  // name token three tokens before the R ("/Kids"), else empty
    int number = 0;   // referenced object number
    int generation = 0;
    std::uint64_t position = 0;  // byte position of the object-number text
    std::size_t length = 0;      // length of the whole reference, "n g R"
    int inObject = 0;            // number of the object it lies in, 0 outside objects
};

struct PdfObjectEntry {
    int number = 0;
    int generation = 0;
    std::uint64_t numberPosition = 0;      // position of the object number
    std::uint64_t start = 0;               // position of the "obj" keyword
    std::uint64_t end = 0;                 // position of the "endobj" keyword
    std::string type;                      // the /Type of its own dictionary ("/Page", "/Pages", "/Catalog")
    std::vector<PdfReference> references;  // in file order
};

// One cross-reference section with its trailer.
struct PdfTrailerInfo {
    std::uint64_t xrefPosition = 0;  // position of the "xref" keyword
    std::string text;                // from "xref" up to and including "trailer"
    int rootNumber = 0;              // /Root, 0 when the trailer has none
    int rootGeneration = 0;
    int info = 0;           // /Info, 0 when none
    std::int64_t prev = 0;  // /Prev, 0 when none
};

}  // namespace tarn::overprint
