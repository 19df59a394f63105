#include "tabulate/Cleaner.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "tabulate/Text.h"

namespace tarn::tabulate {
namespace {

constexpr char kLF = '\n';
constexpr char kFF = '\f';
constexpr char kCR = '\r';

// Directive words are runs of bytes above 0x20.
std::vector<std::string> DirectiveWords(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        size_t start = i;
        while (i < line.size() && !IsBlank(line[i])) ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

}  // namespace

Cleaner::Cleaner(RawReport* report, const Settings& settings)
    : report_(report), nextSheet_(settings.nextSheet), excelDirective_(settings.excelDirective) {
    line_.reserve(kLineReserve);
    pending_.reserve(kCleanWriteBuffer + kLineReserve);
}

bool Cleaner::read(char* buffer, size_t maximum, size_t* count) {
    return static_cast<bool>(input_.Read(buffer, maximum, count));
}

bool Cleaner::Clean(const std::string& inputPath) {
    failed_ = false;
    pendingSheetBreak_ = false;
    lastWasCR_ = false;
    bytesWritten_ = 0;
    line_.clear();
    report_->sectionOffsets.assign(1, 0);
    report_->cleanPath = inputPath;
    report_->cleanedFileCreated = false;

    // The cleaned file must never replace the input itself.
    if (CleanedPath(inputPath) == inputPath || !input_.Open(inputPath)) {
        failed_ = true;
    } else {
        std::unique_ptr<char[]> chunk(new char[kCleanChunkSize]);
        for (;;) {
            size_t count = 0;
            if (!read(chunk.get(), kCleanChunkSize, &count)) {
                failed_ = true;
                break;
            }
            if (count == 0) {
                if (!line_.empty()) FlushLine();
                // Whatever the last line was, the cleaned file exists.
                if (!failed_) EnsureCleanedFile();
                break;
            }
            SplitChunk(chunk.get(), count);
            if (failed_) break;
        }
    }
    input_.Close();
    if (output_.IsOpen() && ((!failed_ && !WritePending()) || !output_.Close())) failed_ = true;
    return !failed_;
}

void Cleaner::SplitChunk(const char* chunk, size_t size) {
    // Jumps from one line-end byte to the next with memchr; the position of
    // each kind is searched again only once the scan has passed it, so the
    // chunk is read a bounded number of times whatever its line ends.
    const char kEnds[3] = {kLF, kFF, kCR};
    size_t next[3] = {0, 0, 0};
    bool known[3] = {false, false, false};
    size_t start = 0;
    for (size_t i = 0; i < size && !failed_; ++i) {
        size_t at = size;
        for (int k = 0; k < 3; ++k) {
            if (!known[k] || next[k] < i) {
                const void* found = std::memchr(chunk + i, kEnds[k], size - i);
                next[k] =
                    found == nullptr ? size : static_cast<size_t>(static_cast<const char*>(found) - chunk);
                known[k] = true;
            }
            at = std::min(at, next[k]);
        }
        // Ordinary bytes up to the line end (or the chunk's end).
        if (at > i) lastWasCR_ = false;
        if (at == size) break;
        i = at;
        const char byte = chunk[i];
        if (byte == kLF) {
            if (!lastWasCR_) {
                line_.append(chunk + start, i - start);
                FlushLine();
            }
            start = i + 1;
            lastWasCR_ = false;
        } else if (byte == kFF) {
            line_.append(chunk + start, i - start);
            start = i;  // the FF opens the next line
            if (!line_.empty()) FlushLine();
            lastWasCR_ = false;
        } else if (byte == kCR) {
            line_.append(chunk + start, i - start);
            FlushLine();
            start = i + 1;
            lastWasCR_ = true;
        }
    }
    if (!failed_ && start < size) line_.append(chunk + start, size - start);
}

bool Cleaner::FlushLine() {
    if (pendingSheetBreak_) {
        if (!line_.empty() && line_[0] == kFF) {
            // This page starts the new section.
            report_->sectionOffsets.push_back(bytesWritten_);
            pendingSheetBreak_ = false;
        } else {
            if (!excelDirective_.empty() && StartsWith(line_, excelDirective_)) {
                RunDirective(line_, true);
            }
            line_.clear();
            return true;
        }
    }
    if (!nextSheet_.empty() && line_ == nextSheet_) {
        pendingSheetBreak_ = true;
        line_.clear();
        return true;
    }
    if (!excelDirective_.empty() && StartsWith(line_, excelDirective_) && RunDirective(line_, false)) {
        line_.clear();
        return true;
    }
    line_ += "\r\n";
    if (!EnsureCleanedFile()) return false;
    pending_ += line_;
    bytesWritten_ += line_.size();
    line_.clear();
    return pending_.size() < kCleanWriteBuffer || WritePending();
}

bool Cleaner::WritePending() {
    if (!pending_.empty() && !output_.Write(pending_.data(), pending_.size())) {
        failed_ = true;
        return false;
    }
    pending_.clear();
    return true;
}

bool Cleaner::EnsureCleanedFile() {
    if (output_.IsOpen()) return true;
    const std::string path = CleanedPath(report_->cleanPath);
    if (!output_.Create(path)) {
        failed_ = true;
        return false;
    }
    report_->cleanPath = path;
    report_->cleanedFileCreated = true;
    return true;
}

bool Cleaner::RunDirective(const std::string& line, bool pendingMode) {
    std::vector<std::string> words = DirectiveWords(line);
    if (words.empty() || words[0] != excelDirective_) return false;
    if (words.size() >= 2) {
        const std::string command = ToUpper(words[1]);
        if (command == "NEXTSHEET") {
            // A second request before the next page cancels the first.
            pendingSheetBreak_ = !pendingMode;
        } else if (command == "TEMPLATE" && words.size() >= 3) {
            report_->templateName = words[2];
        }
    }
    return true;
}

}  // namespace tarn::tabulate
