#pragma once
// A source of report bytes, read in chunks.

#include <cstddef>

namespace tarn::tabulate {

class RawStream {
  public:
    virtual ~RawStream() = default;
    // Reads up to `maximum` bytes into `buffer`; *count is 0 at the end.
    // Returns false on a read failure.
    virtual bool read(char* buffer, size_t maximum, size_t* count) = 0;
};

}  // namespace tarn::tabulate
