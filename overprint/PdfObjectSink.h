#pragma once
// The part of the PDF writer that the font table and the page merge need:
// numbers for new objects from the running object counter, and writing a
// whole new object.

#include <string>

namespace tarn::overprint {

class PdfObjectSink {
  public:
    virtual ~PdfObjectSink() = default;
    // The counter's value; the counter moves on by one.
    virtual int TakeObjectNumber() = 0;
    // Writes `number`, " 0 ", `text` and "endobj\n"; `text` starts with "obj".
    virtual void WriteObject(int number, const std::string& text) = 0;
};

}  // namespace tarn::overprint
