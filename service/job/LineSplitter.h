#pragma once
// Cuts the byte stream of a client into lines.
//
// A line ends at the first LF or FF. A line ending in LF is handed out
// without the LF, then CR (only when the line holds no CR anywhere) and LF
// are appended; so "abc\n" becomes "abc\r\n" and "abc\r\n" stays. Only the
// line's own bytes are looked at, never text received after it, so the
// stored line ends do not depend on how the stream arrived in packets.
// A line ending in FF is handed out up to and including the FF, followed by
// CR, so a page break "\f" becomes "\f\r".
//
// Bound: pending text without a line end is never held beyond kMaxLineBytes.
// A longer line is handed out in pieces of kMaxLineBytes bytes, exactly as
// received and with nothing appended; the piece holding the line end gets
// the line end as above. No byte is lost, and memory stays bounded whatever
// a client sends. Command words are recognised within one piece only.
// Not shared: one conversation uses it on its own thread.

#include <cstddef>
#include <string>

namespace tarn {

// Longest run of text without a line end that is held before it is handed out.
inline constexpr std::size_t kMaxLineBytes = 1024 * 1024;

class LineSplitter {
  public:
    // Appends received bytes up to (not including) the first NUL among them.
    void Append(const char* data, std::size_t size);
    // Takes the next line into *line; false (and *line untouched) when no
    // complete line is pending.
    bool TakeLine(std::string* line);
    // False when the last line taken was a piece of an over-long line
    // without its line end.
    bool LastLineComplete() const { return lastComplete_; }
    // Takes whatever is pending, as it is (the end of the stream).
    std::string TakeRest();
    bool HasPending() const { return start_ < buffer_.size(); }
    std::string Pending() const { return buffer_.substr(start_); }

  private:
    // Received bytes; those before start_ have been handed out already and
    // are dropped when more arrive, so taking a line moves no bytes.
    std::string buffer_;
    std::size_t start_ = 0;
    // Bytes from start_ on known to hold no LF or FF.
    std::size_t scanned_ = 0;
    bool lastComplete_ = true;
};

}  // namespace tarn
