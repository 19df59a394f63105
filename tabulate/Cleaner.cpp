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
// Every line of the cleaned file ends so.
constexpr std::string_view kLineEnd = "\r\n";

// Directive words are runs of bytes above 0x20.
std::vector<std::string_view> DirectiveWords(std::string_view line) {
    std::vector<std::string_view> words;
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
                if (!line_.empty()) {
                    FlushLine(line_);
                    line_.clear();
                }
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
            if (!lastWasCR_) FinishLine(chunk + start, i - start);
            start = i + 1;
            lastWasCR_ = false;
        } else if (byte == kFF) {
            if (!line_.empty() || i > start) FinishLine(chunk + start, i - start);
            start = i;  // the FF opens the next line
            lastWasCR_ = false;
        } else if (byte == kCR) {
            FinishLine(chunk + start, i - start);
            start = i + 1;
            lastWasCR_ = true;
        }
    }
    if (!failed_ && start < size) line_.append(chunk + start, size - start);
}

void Cleaner::FinishLine(const char* bytes, size_t size) {
    if (line_.empty()) {
        FlushLine(std::string_view(bytes, size));
        return;
    }
    line_.append(bytes, size);
    FlushLine(line_);
    line_.clear();
}

bool Cleaner::FlushLine(std::string_view line) {
    if (pendingSheetBreak_) {
        if (!line.empty() && line[0] == kFF) {
            // This page starts the new section.
            report_->sectionOffsets.push_back(bytesWritten_);
            pendingSheetBreak_ = false;
        } else {
            if (!excelDirective_.empty() && StartsWith(line, excelDirective_)) {
                RunDirective(line, true);
            }
            return true;
        }
    }
    if (!nextSheet_.empty() && line == nextSheet_) {
        pendingSheetBreak_ = true;
        return true;
    }
    if (!excelDirective_.empty() && StartsWith(line, excelDirective_) && RunDirective(line, false)) {
        return true;
    }
    if (!EnsureCleanedFile()) return false;
    pending_.append(line.data(), line.size());
    pending_ += kLineEnd;
    bytesWritten_ += line.size() + kLineEnd.size();
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

bool Cleaner::RunDirective(std::string_view line, bool pendingMode) {
    std::vector<std::string_view> words = DirectiveWords(line);
    if (words.empty() || words[0] != excelDirective_) return false;
    if (words.size() >= 2) {
        const std::string command = ToUpper(std::string(words[1]));
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
