#pragma once
// Reads a PDF at the level of its text: one pass over every byte records each
// indirect object with its extent, /Type and references, the cross-reference
// sections and trailers, the root catalog and the page-tree root. Objects are
// copied (renumbered) into the writer's output or loaded as text for editing.
// One document serves each stage of the run; Open starts a stage.

#include <cstdint>
#include <map>
#include <string>
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

    // Opens the input for reading and the output for writing; prints the
    // failure and returns false when either cannot be opened.
    bool Open(const std::string& outputName, const std::string& inputName);
    // Opens only the input, silently (the form stage reopens forms page by
    // page and reports failures its own way).
    bool OpenInput(const std::string& inputName);
    void CloseInput() { input_.Close(); }
    const std::string& inputName() const { return inputName_; }

    // Scans the whole input; problems are printed, never fatal.
    void Read();

    // The object numbered n, or null when there is none or it was loaded.
    const PdfObjectEntry* FindObject(int number) const;
    // Object n's text from "obj" up to (not including) "endobj", with every
    // reference renumbered by the writer's shift. Takes n out of FindObject.
    std::string LoadObject(int number);
    // Writes input object n as object n + shift; false when n does not exist.
    bool CopyObject(int number);
    // Copies the bytes before the first object (the header) to the output.
    void CopyHeader();

    int root() const { return root_; }
    int pagesRoot() const { return pagesRoot_; }
    int objectCount() const { return static_cast<int>(objects_.size()); }
    std::uint64_t firstObject() const { return firstObject_; }
    const std::vector<PdfObjectEntry>& objects() const { return objects_; }
    const std::vector<PdfReference>& references() const { return references_; }
    const std::vector<PdfTrailerInfo>& trailers() const { return trailers_; }
    const std::vector<std::uint32_t>& xrefOffsets() const { return xrefOffsets_; }

    PdfWriter& writer() { return writer_; }
    PatternCache& patterns() { return patterns_; }

  private:
    // Input bytes [start, end) of `entry` with its references renumbered by
    // the writer's shift; false on a read error.
    bool RenumberedText(const PdfObjectEntry& entry, std::string* text);
    void ApplyCrossReferences();
    void ApplySection(const PdfTrailerInfo& trailer);
    void FindCatalog();

    PatternCache& patterns_;
    PdfWriter writer_;
    InputFile input_;
    std::string inputName_;

    std::vector<PdfObjectEntry> objects_;  // file order
    std::map<int, std::size_t> lookup_;    // number -> index in objects_
    std::vector<PdfReference> references_;
    std::vector<PdfTrailerInfo> trailers_;
    std::vector<std::uint32_t> xrefOffsets_;
    int root_ = 0;
    int info_ = 0;
    int pagesRoot_ = 0;
    std::uint64_t firstObject_ = 0;
    int highestObject_ = 0;
};

}  // namespace tarn::overprint
