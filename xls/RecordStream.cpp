#include "xls/RecordStream.h"

#include <algorithm>
#include <cassert>

#include "xls/Limits.h"

namespace tarn::xls {

void RecordStream::Reserve(std::size_t bytes) {
    if (bytes > capacity_) Grow(bytes - size_);
}

void RecordStream::Grow(std::size_t more) {
    const std::size_t capacity = std::max(size_ + more, 2 * capacity_);
    // Left uninitialised: every byte is written before it is read.
    std::unique_ptr<char[]> bytes(new char[capacity]);
    if (size_ > 0) std::memcpy(bytes.get(), bytes_.get(), size_);
    bytes_ = std::move(bytes);
    capacity_ = capacity;
}

void RecordStream::Begin(std::uint16_t type) {
    recordStart_ = size_;
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
