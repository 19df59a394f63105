#include "xls/RecordStream.h"

#include <cassert>

#include "xls/Limits.h"

namespace tarn::xls {

void RecordStream::Begin(std::uint16_t type) {
    recordStart_ = bytes_.size();
    U16(type);
    U16(0);
}

void RecordStream::End() {
    std::size_t length = OpenRecordSize();
    assert(length <= kMaxRecordData);
    bytes_[recordStart_ + 2] = static_cast<char>(length & 0xFF);
    bytes_[recordStart_ + 3] = static_cast<char>((length >> 8) & 0xFF);
}

void RecordStream::PatchU32(std::size_t offset, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_[offset + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace tarn::xls
