#pragma once
// Reads a PDF at the level of its text: one pass over every byte records each
// indirect object with its extent, /Type and references, the cross-reference
// sections and trailers, the root catalog and the page-tree root. Objects are
// then loaded as text for editing, or copied with their references renumbered.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "overprint/PatternCache.h"
#include "overprint/PdfObjectEntry.h"
#include "overprint/PdfWriter.h"
#include "platform/InputFile.h"

namespace tarn::overprint {

class PdfDocument {
  public:
    // `patterns` is the program's cache, holding the reader's 15 patterns.
    explicit PdfDocument(PatternCache& patterns) : patterns_(patterns) {}

    // Opens the input for reading; false when it cannot be opened.
    bool Open(const std::string& inputName);
    void Close() { input_.Close(); }
    const std::string& inputName() const { return inputName_; }

    // Scans the whole input; problems are printed, never fatal.
    void Read();

    // The object numbered n (the one the cross-reference table names when the
    // file holds several), or null.
    const PdfObjectEntry* FindObject(int number) const;
    // Object n's text between "obj" and "endobj", references as they stand.
    // Empty when there is no such object or it cannot be read (then
    // readFailed() is set and the message printed).
    std::string ObjectText(int number);
    // Writes object n as object `outputNumber`, every reference "n g R"
    // rewritten as " m 0 R" with m = renumber(n) (null when m is 0).
    // False when it cannot be read (the message is printed).
    bool CopyObject(int number, int outputNumber, const std::function<int(int)>& renumber, PdfWriter& writer);
    // The bytes before the first object (the header), at most 9999.
    std::string Header();

    int root() const { return root_; }
    int pagesRoot() const { return pagesRoot_; }
    // The catalog's object number (0 when none was found).
    int catalog() const { return catalog_; }
    int objectCount() const { return static_cast<int>(objects_.size()); }
    std::uint64_t firstObject() const { return firstObject_; }
    int highestObject() const { return highestObject_; }
    bool readFailed() const { return readFailed_; }
    const std::vector<PdfObjectEntry>& objects() const { return objects_; }
    // The object numbers in use, in increasing order.
    std::vector<int> LiveNumbers() const;
    const std::vector<PdfReference>& references() const { return references_; }
    const std::vector<PdfTrailerInfo>& trailers() const { return trailers_; }
    // Offsets of the in-use entries of the cross-reference sections (free
    // entries and numbers not listed are absent).
    const std::map<int, std::uint64_t>& xrefOffsets() const { return xrefOffsets_; }

  private:
    struct Scan;

    void Reset();
    void ScanObjects();
    void BeginObject(Scan& scan);
    void RecordReference(Scan& scan);
    void EndObject(Scan& scan);
    void RecordValue(Scan& scan);
    void SkipStreamData(Scan& scan);
    void ReadCrossReferenceText(Scan& scan);
    void ApplyCrossReferences();
    void ApplySection(const PdfTrailerInfo& trailer);
    void ChooseLiveObjects();
    void FindCatalog();
    // Input bytes [from, to) into *text; false on a read error.
    bool ReadRange(std::uint64_t from, std::uint64_t to, std::string* text);
    void ReportReadFailure(const char* message);

    PatternCache& patterns_;
    InputFile input_;
    std::string inputName_;

    std::vector<PdfObjectEntry> objects_;          // file order
    std::unordered_map<int, std::size_t> lookup_;  // number -> index in objects_
    std::vector<PdfReference> references_;
    std::vector<PdfTrailerInfo> trailers_;
    std::map<int, std::uint64_t> xrefOffsets_;
    int root_ = 0;
    int info_ = 0;
    int pagesRoot_ = 0;
    int catalog_ = 0;
    std::uint64_t firstObject_ = 0;
    int highestObject_ = 0;
    bool readFailed_ = false;
};

}  // namespace tarn::overprint
