#pragma once
// The BIFF8 workbook stream as it is built: a byte buffer of records, each a
// 2-byte type, a 2-byte length and its data, all little-endian (MS-XLS 2.1.4).
// A record writer calls Begin, appends the record's data and calls End, which
// fills in the length.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace tarn::xls {

class RecordStream {
  public:
    void Reserve(std::size_t bytes) { bytes_.reserve(bytes); }
    void Begin(std::uint16_t type);
    // Fills in the length of the record begun last; its data must fit one record.
    void End();

    void U8(std::uint8_t v) { bytes_.push_back(static_cast<char>(v)); }
    void U16(std::uint16_t v) {
        char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
        bytes_.append(b, 2);
    }
    void U32(std::uint32_t v) {
        char b[4];
        for (int i = 0; i < 4; ++i) b[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
        bytes_.append(b, 4);
    }
    void F64(double v) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        char b[8];
        for (int i = 0; i < 8; ++i) b[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
        bytes_.append(b, 8);
    }
    void Zeros(std::size_t n) { bytes_.append(n, '\0'); }
    void Bytes(const char* data, std::size_t n) { bytes_.append(data, n); }

    // Overwrites 4 bytes at `offset` (used for stream offsets known only later).
    void PatchU32(std::size_t offset, std::uint32_t v);

    std::size_t Size() const { return bytes_.size(); }
    // Data bytes of the open record so far.
    std::size_t OpenRecordSize() const { return bytes_.size() - recordStart_ - 4; }
    const std::string& Bytes() const { return bytes_; }
    std::string& MutableBytes() { return bytes_; }

  private:
    std::string bytes_;
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
