#pragma once
// Writes a classic PDF front to back: new objects given as text, streams
// (compressed or not), objects copied from a form (through PdfDocument), and
// at the end the cross-reference table and trailer. It owns the numbering:
// every object number of the output comes from here, and it keeps the offset
// of every written object; numbers never written stay free in the table.
//
// The output is made as a private file beside its final name (created new,
// never through a symbolic link) and renamed into place by Commit, so a
// failed run leaves nothing and a link planted under the name is replaced,
// not followed. A failed write is remembered: its message is printed once
// and failed() tells the caller, who discards the file.

#include <cstdint>
#include <string>
#include <vector>

#include "overprint/PdfObjectSink.h"
#include "platform/OutputFile.h"

namespace tarn::overprint {

class PdfWriter : public PdfObjectSink {
  public:
    ~PdfWriter() override;

    // Creates the private file for output `path`; false when it cannot be made.
    bool Create(const std::string& path);
    // Finishes the file and puts it in place under its name; false (after
    // the message) when a write, the close or the rename failed.
    bool Commit();
    // Drops the file.
    void Discard();
    const std::string& outputName() const { return outputName_; }

    // A number for a new object.
    int TakeObjectNumber() override { return next_++; }
    // `count` consecutive numbers; returns the first.
    int ReserveNumbers(int count);

    // Writes object n: n, " 0 ", text and "endobj\n"; the text starts with "obj".
    void WriteObject(int number, const std::string& text) override;
    // Writes object n as a stream holding `data`, FlateDecode-compressed when
    // `compress`.
    void WriteStream(int number, const std::string& data, bool compress);
    // Bytes outside objects (the header).
    void WriteRaw(const std::string& bytes) { Write(bytes, kNewObjectFailed); }
    // Building blocks of copying an object: record that object n starts
    // here, then write its bytes.
    void BeginObject(int number);
    void WriteCopied(const std::string& bytes) { Write(bytes, kCopyFailed); }
    // Reports a failure to read what was to be copied (message printed by the caller).
    void FailRead() { failed_ = true; }

    // The cross-reference table (unwritten numbers free) and the trailer
    // with /Size and /Root.
    void WriteCrossReference(int root);

    bool failed() const { return failed_; }
    bool IsWritten(int number) const;
    std::uint64_t Position() const { return out_.Position(); }

    static constexpr const char* kNewObjectFailed = "***01 Error write into file: ";
    static constexpr const char* kCopyFailed = "***02 Error write into file: ";

  private:
    void Write(const std::string& bytes, const char* message);
    void Fail(const char* message);

    OutputFile out_;
    std::string outputName_;
    std::string privateName_;
    std::vector<std::uint64_t> offsets_{0};  // by object number; 0: not written
    int next_ = 1;
    bool failed_ = false;
};

}  // namespace tarn::overprint
