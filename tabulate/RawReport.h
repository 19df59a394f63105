#pragma once
// The cleaned report: where it is, where each section (worksheet) begins,
// and a reader that returns one section's lines and stops exactly at the
// start of the next section.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/LockedReader.h"

namespace tarn::tabulate {

// Bytes read from the cleaned file at a time.
inline constexpr size_t kSectionBufferSize = 128 * 1024;

class RawReport {
  public:
    // First the input path; the cleaned path once the cleaned file exists.
    std::string cleanPath;
    // True once cleanPath names a cleaned file that this run created.
    bool cleanedFileCreated = false;
    // Set by TEMPLATE directives; recorded only.
    std::string templateName;
    // Byte offset of each section in the cleaned file; always begins with 0.
    std::vector<std::uint64_t> sectionOffsets{0};
    // The section that OpenSection reads.
    size_t sectionIndex = 0;

    size_t SectionCount() const { return sectionOffsets.size(); }

    // Prepares reading of section `sectionIndex`; on failure the error flag
    // is set and the section reads as empty.
    void OpenSection();
    // Reads one whole line; false when the section has ended and no line was
    // left. The view stays valid until the next call: it points into the read
    // buffer, or for a line that spans two reads, into a copy.
    bool NextLine(std::string_view* line);
    // The same into *line.
    bool NextLine(std::string* line);
    bool SectionFailed() const { return error_; }
    void CloseSection();

  private:
    // Reads the next bytes of the section into the buffer; false at the
    // section's end or on a failure (the error flag is then set).
    bool Refill();

    tarn::LockedReader file_;
    std::unique_ptr<char[]> buffer_;
    std::string spanning_;  // a line that spans two reads
    size_t held_ = 0;
    size_t position_ = 0;
    size_t skip_ = 0;  // bytes still to pass over after a line end
    std::uint64_t fileOffset_ = 0;
    bool ended_ = false;
    bool error_ = false;
};

}  // namespace tarn::tabulate
