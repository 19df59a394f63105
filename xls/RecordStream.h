#pragma once
// The BIFF8 workbook stream as it is built: a byte buffer of records, each a
// 2-byte type, a 2-byte length and its data, all little-endian (MS-XLS 2.1.4).
// A record writer calls Begin, appends the record's data and calls End, which
// fills in the length.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

namespace tarn::xls {

class RecordStream {
  public:
    // Makes room for `bytes` in all, so that the stream is not copied while
    // it stays within them.
    void Reserve(std::size_t bytes);
    void Begin(std::uint16_t type);
    // Fills in the length of the record begun last; its data must fit one record.
    void End();

    void U8(std::uint8_t v) { *Extend(1) = static_cast<char>(v); }
    void U16(std::uint16_t v) {
        char* b = Extend(2);
        b[0] = static_cast<char>(v & 0xFF);
        b[1] = static_cast<char>(v >> 8);
    }
    void U32(std::uint32_t v) {
        char* b = Extend(4);
        for (int i = 0; i < 4; ++i) b[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    void F64(double v) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        char* b = Extend(8);
        for (int i = 0; i < 8; ++i) b[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    }
    void Zeros(std::size_t n) { std::memset(Extend(n), 0, n); }
    void Bytes(const char* data, std::size_t n) { std::memcpy(Extend(n), data, n); }
    // Appends `n` bytes for the caller to fill in; returns where they begin.
    // The pointer is good until the next append.
    char* Extend(std::size_t n) {
        if (capacity_ - size_ < n) Grow(n);
        char* at = bytes_.get() + size_;
        size_ += n;
        return at;
    }

    // Overwrites 4 bytes at `offset` (used for stream offsets known only later).
    void PatchU32(std::size_t offset, std::uint32_t v);

    std::size_t Size() const { return size_; }
    // Data bytes of the open record so far.
    std::size_t OpenRecordSize() const { return size_ - recordStart_ - 4; }
    std::string_view Bytes() const { return std::string_view(bytes_.get(), size_); }

  private:
    // Makes room for `more` bytes beyond the size, at least doubling the room.
    void Grow(std::size_t more);

    std::unique_ptr<char[]> bytes_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
    std::size_t recordStart_ = 0;
};

// A record whose data is one 16-bit value (many settings records are).
inline void WriteU16Record(RecordStream& out, std::uint16_t type, std::uint16_t value) {
    out.Begin(type);
    out.U16(value);
    out.End();
}

// A record with no data.
inline void WriteEmptyRecord(RecordStream& out, std::uint16_t type) {
    out.Begin(type);
    out.End();
}

}  // namespace tarn::xls
