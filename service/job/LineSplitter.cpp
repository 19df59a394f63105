#include "service/job/LineSplitter.h"

#include <cstring>

namespace tarn {

void LineSplitter::Append(const char* data, std::size_t size) {
    const void* nul = std::memchr(data, '\0', size);
    if (nul != nullptr) size = static_cast<std::size_t>(static_cast<const char*>(nul) - data);
    pending_.append(data, size);
}

bool LineSplitter::TakeLine(std::string* line) {
    std::string::size_type end = pending_.find_first_of("\n\f", scanned_);
    if (end == std::string::npos) {
        scanned_ = pending_.size();
        if (pending_.size() < kMaxLineBytes) return false;
        // Over-long line: hand out one piece as received.
        *line = pending_.substr(0, kMaxLineBytes);
        pending_.erase(0, kMaxLineBytes);
        scanned_ = pending_.size();  // the rest was scanned above
        return true;
    }
    if (end > kMaxLineBytes) {
        *line = pending_.substr(0, kMaxLineBytes);
        pending_.erase(0, kMaxLineBytes);
        scanned_ = 0;
        return true;
    }
    if (pending_[end] == '\n') {
        // Only this line's own bytes decide, so the result never depends on
        // how the stream was split into receives.
        *line = pending_.substr(0, end);
        if (line->find('\r') == std::string::npos) *line += '\r';
        *line += '\n';
    } else {
        *line = pending_.substr(0, end + 1);
        *line += '\r';
    }
    pending_.erase(0, end + 1);
    scanned_ = 0;
    return true;
}

std::string LineSplitter::TakeRest() {
    std::string rest;
    rest.swap(pending_);
    scanned_ = 0;
    return rest;
}

}  // namespace tarn
