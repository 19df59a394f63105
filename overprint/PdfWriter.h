#pragma once
// Writes a classic PDF front to back: new objects given as text, copied
// objects (through PdfDocument), and at the end the cross-reference table
// and trailer. Keeps the offset of every written object and the object
// counter. A failed write prints its message and ends the run (OverprintExit
// with kExitWriteFailed); the driver then removes the partial file.

#include <cstdint>
#include <string>
#include <vector>

#include "overprint/PdfObjectSink.h"
#include "platform/OutputFile.h"

namespace tarn::overprint {

class PdfWriter : public PdfObjectSink {
  public:
    // Creates (or empties) the output file; a new file starts a new table
    // with shift 0.
    bool Open(const std::string& path);
    bool IsOpen() const { return out_.IsOpen(); }
    // Flushes and closes; false (after the ***01 message) when a write failed.
    bool Close();
    // Closes without caring for what is buffered; for a file about to be removed.
    void Abandon() { out_.Abandon(); }
    const std::string& outputName() const { return outputName_; }

    // Writes object n: its offset, then n, " 0 ", text and "endobj\n". The
    // text starts with the obj keyword.
    void WriteObject(int number, const std::string& text) override;
    // A number for a new object: the counter's value; the counter moves on.
    int TakeObjectNumber() override { return counter++; }
    // Writes the cross-reference table and trailer: /Size counter + shift,
    // /Root root.
    void WriteCrossReference();

    // Building blocks of copying: record that object n starts here, then
    // write bytes. `message` is the ***NN prefix used if the write fails.
    void BeginObject(int number);
    void Write(const char* data, std::size_t size, const char* message);
    void Write(const std::string& data, const char* message) { Write(data.data(), data.size(), message); }

    // True once object n has been written.
    bool IsWritten(int number) const;
    std::uint64_t Position() const { return out_.Position(); }
    const std::vector<std::uint32_t>& offsets() const { return offsets_; }

    int counter = 1;  // next free object number of the current input
    int shift = 0;    // added to every input object number when copying
    int root = 0;     // catalog for the trailer; the reader sets the input's /Root

  private:
    [[noreturn]] void Fail(const char* message);

    OutputFile out_;
    std::string outputName_;
    std::vector<std::uint32_t> offsets_{0};  // entry 0 belongs to no object
};

}  // namespace tarn::overprint
