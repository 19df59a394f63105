#include "tabulate/RawReport.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace tarn::tabulate {

void RawReport::OpenSection() {
    CloseSection();
    ended_ = false;
    error_ = false;
    held_ = 0;
    position_ = 0;
    skip_ = 0;
    buffer_.reset(new (std::nothrow) char[kSectionBufferSize]);
    if (!buffer_ || sectionIndex >= sectionOffsets.size()) {
        CloseSection();
        error_ = true;
        return;
    }
    fileOffset_ = sectionOffsets[sectionIndex];
    if (!file_.Open(cleanPath) || (fileOffset_ != 0 && !file_.Seek(fileOffset_))) {
        CloseSection();
        error_ = true;
    }
}

bool RawReport::Refill() {
    if (ended_ || error_) return false;
    if (!buffer_) {
        error_ = true;  // never opened
        return false;
    }
    size_t count = 0;
    if (!file_.Read(buffer_.get(), kSectionBufferSize, &count)) {
        error_ = true;
        return false;
    }
    fileOffset_ += count;
    // Stop exactly where the next section begins.
    if (sectionIndex + 1 < sectionOffsets.size()) {
        std::uint64_t next = sectionOffsets[sectionIndex + 1];
        if (next < fileOffset_) {
            std::uint64_t over = fileOffset_ - next;
            count = over >= count ? 0 : count - static_cast<size_t>(over);
            fileOffset_ = next;
        }
    }
    held_ = count;
    position_ = 0;
    if (count == 0) {
        ended_ = true;
        return false;
    }
    return true;
}

bool RawReport::NextLine(std::string_view* line) {
    spanning_.clear();
    for (;;) {
        if (position_ >= held_ && !Refill()) {
            // The section's last line may lack its line end.
            *line = spanning_;
            return !spanning_.empty();
        }
        // A line end is CR LF: pass over what is left of it.
        const size_t passed = std::min(skip_, held_ - position_);
        position_ += passed;
        skip_ -= passed;
        if (position_ >= held_) continue;

        const char* begin = buffer_.get() + position_;
        const size_t available = held_ - position_;
        const void* cr = std::memchr(begin, '\r', available);
        if (cr == nullptr) {
            spanning_.append(begin, available);
            position_ = held_;
            continue;
        }
        const size_t length = static_cast<size_t>(static_cast<const char*>(cr) - begin);
        position_ += length;
        skip_ = 2;
        if (spanning_.empty()) {
            *line = std::string_view(begin, length);
        } else {
            spanning_.append(begin, length);
            *line = spanning_;
        }
        return true;
    }
}

bool RawReport::NextLine(std::string* line) {
    std::string_view view;
    const bool read = NextLine(&view);
    line->assign(view.data(), view.size());
    return read;
}

void RawReport::CloseSection() {
    file_.Close();
    buffer_.reset();
}

}  // namespace tarn::tabulate
