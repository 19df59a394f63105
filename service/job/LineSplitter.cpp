#include "service/job/LineSplitter.h"

#include <cstring>

namespace tarn {

void LineSplitter::Append(const char* data, std::size_t size) {
    const void* nul = std::memchr(data, '\0', size);
    if (nul != nullptr) size = static_cast<std::size_t>(static_cast<const char*>(nul) - data);
    if (start_ > 0) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
    buffer_.append(data, size);
}

bool LineSplitter::TakeLine(std::string* line) {
    const std::size_t pending = buffer_.size() - start_;
    const char* begin = buffer_.data() + start_;
    // The first LF or FF after the bytes already scanned.
    const char* end = nullptr;
    for (const char* p = begin + scanned_; p < begin + pending; ++p) {
        if (*p == '\n' || *p == '\f') {
            end = p;
            break;
        }
    }
    if (end == nullptr || static_cast<std::size_t>(end - begin) > kMaxLineBytes) {
        scanned_ = pending;
        if (pending < kMaxLineBytes) return false;
        // Over-long line: hand out one piece as received.
        line->assign(begin, kMaxLineBytes);
        lastComplete_ = false;
        start_ += kMaxLineBytes;
        scanned_ = end == nullptr ? pending - kMaxLineBytes : 0;
        return true;
    }
    const std::size_t length = static_cast<std::size_t>(end - begin);
    if (*end == '\n') {
        // Only this line's own bytes decide, so the result never depends on
        // how the stream was split into receives.
        line->assign(begin, length);
        if (std::memchr(begin, '\r', length) == nullptr) *line += '\r';
        *line += '\n';
    } else {
        line->assign(begin, length + 1);
        *line += '\r';
    }
    lastComplete_ = true;
    start_ += length + 1;
    scanned_ = 0;
    return true;
}

std::string LineSplitter::TakeRest() {
    std::string rest = buffer_.substr(start_);
    buffer_.clear();
    start_ = 0;
    scanned_ = 0;
    return rest;
}

}  // namespace tarn
