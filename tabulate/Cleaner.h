#pragma once
// Copies a raw report into the cleaned file: one line per CR LF, a new
// page's first line beginning with FF, sheet-break and directive lines
// removed; records where each section begins.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ExclusiveFile.h"
#include "platform/LockedReader.h"
#include "tabulate/RawReport.h"
#include "tabulate/RawStream.h"
#include "tabulate/Settings.h"

namespace tarn::tabulate {

// Bytes read from the input at a time.
inline constexpr size_t kCleanChunkSize = 128 * 1024;
// Bytes reserved for the line being assembled.
inline constexpr size_t kLineReserve = 1024;
// Cleaned lines are collected up to this many bytes before they are written.
inline constexpr size_t kCleanWriteBuffer = 256 * 1024;

class Cleaner : public RawStream {
  public:
    Cleaner(RawReport* report, const Settings& settings);

    // Cleans the file at `inputPath`. True when the whole input was read and
    // the cleaned file fully written; the cleaned file then exists.
    bool Clean(const std::string& inputPath);

    bool read(char* buffer, size_t maximum, size_t* count) override;

  private:
    void SplitChunk(const char* chunk, size_t size);
    // Ends the line whose last bytes are `bytes`: with the bytes kept from
    // earlier chunks, if any, it goes to FlushLine.
    void FinishLine(const char* bytes, size_t size);
    bool FlushLine(std::string_view line);
    bool EnsureCleanedFile();
    bool WritePending();
    // Carries out a directive line; returns whether it was one.
    bool RunDirective(std::string_view line, bool pendingMode);

    RawReport* report_;
    std::string line_;     // the start of a line that continues in the next chunk
    std::string pending_;  // cleaned lines not yet written
    tarn::LockedReader input_;
    tarn::ExclusiveFile output_;
    std::uint64_t bytesWritten_ = 0;
    bool pendingSheetBreak_ = false;
    bool lastWasCR_ = false;
    bool failed_ = false;
    std::string nextSheet_;
    std::string excelDirective_;
};

}  // namespace tarn::tabulate
