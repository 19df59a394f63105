#include "overprint/PdfWriter.h"

#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>

#include "overprint/Messages.h"
#include "platform/File.h"

namespace tarn::overprint {
namespace {

// A cross-reference entry is 10 digits of offset, 5 of generation, a flag: 20 bytes.
constexpr int kOffsetDigits = 10;
// Names tried for the private file before giving up.
constexpr int kPrivateNameAttempts = 100;

}  // namespace

PdfWriter::~PdfWriter() { Discard(); }

bool PdfWriter::Create(const std::string& path) {
    Discard();
    outputName_ = path;
    offsets_.assign(1, 0);
    next_ = 1;
    failed_ = false;
    auto seed = static_cast<unsigned long>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < kPrivateNameAttempts; ++attempt) {
        char unique[40];
        std::snprintf(unique, sizeof unique, ".~%x.%lx", static_cast<unsigned>(::getpid()),
                      (seed + static_cast<unsigned long>(attempt) * 7919UL) & 0xFFFFFFUL);
        const std::string candidate = path + unique;
        if (out_.CreateNew(candidate).ok()) {
            privateName_ = candidate;
            return true;
        }
        if (PathExists(candidate)) continue;  // taken: try another name
        return false;
    }
    return false;
}

bool PdfWriter::Commit() {
    if (privateName_.empty()) return false;
    if (!out_.Close().ok() && !failed_) Fail(kNewObjectFailed);
    if (!failed_ && !RenameFile(privateName_, outputName_).ok()) Fail(kNewObjectFailed);
    if (failed_) {
        Discard();
        return false;
    }
    privateName_.clear();
    return true;
}

void PdfWriter::Discard() {
    out_.Abandon();
    if (!privateName_.empty()) RemoveFile(privateName_);
    privateName_.clear();
}

void PdfWriter::Fail(const char* message) {
    if (!failed_) PrintOut(std::string(message) + outputName_);
    failed_ = true;
}

void PdfWriter::Write(const std::string& bytes, const char* message) {
    if (failed_) return;
    if (!out_.Write(bytes).ok()) Fail(message);
}

int PdfWriter::ReserveNumbers(int count) {
    const int first = next_;
    next_ += count < 0 ? 0 : count;
    return first;
}

bool PdfWriter::IsWritten(int number) const {
    return number > 0 && static_cast<std::size_t>(number) < offsets_.size() && offsets_[number] != 0;
}

void PdfWriter::BeginObject(int number) {
    if (number <= 0) return;
    if (static_cast<std::size_t>(number) >= offsets_.size()) offsets_.resize(number + 1, 0);
    offsets_[number] = out_.Position();
    if (number >= next_) next_ = number + 1;
}

void PdfWriter::WriteObject(int number, const std::string& text) {
    BeginObject(number);
    Write(std::to_string(number) + " 0 " + text + "endobj\n", kNewObjectFailed);
}

void PdfWriter::WriteStream(int number, const std::string& data, bool compress) {
    if (!compress) {
        WriteObject(number, "obj\n<< /Length " + std::to_string(data.size()) + " >>\nstream\n" + data +
                                "\nendstream\n");
        return;
    }
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string packed(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(&packed[0]), &size, reinterpret_cast<const Bytef*>(data.data()),
                  static_cast<uLong>(data.size()), Z_DEFAULT_COMPRESSION) != Z_OK) {
        WriteStream(number, data, false);
        return;
    }
    packed.resize(size);
    WriteObject(number, "obj\n<< /Length " + std::to_string(packed.size()) +
                            " /Filter /FlateDecode >>\nstream\n" + packed + "\nendstream\n");
}

void PdfWriter::WriteCrossReference(int root) {
    const std::uint64_t start = out_.Position();
    const int size = next_;
    // Free numbers form a chain from entry 0, each naming the next.
    std::vector<int> chain;
    for (int n = 1; n < size; ++n) {
        if (!IsWritten(n)) chain.push_back(n);
    }
    std::string table = "xref\n0 " + std::to_string(size) + "\n";
    table.reserve(table.size() + static_cast<std::size_t>(size) * 20 + 128);
    char entry[32];
    std::size_t nextFree = 0;
    std::snprintf(entry, sizeof entry, "%0*d 65535 f \n", kOffsetDigits, chain.empty() ? 0 : chain[0]);
    table += entry;
    for (int n = 1; n < size; ++n) {
        if (IsWritten(n)) {
            std::snprintf(entry, sizeof entry, "%0*llu 00000 n \n", kOffsetDigits,
                          static_cast<unsigned long long>(offsets_[n]));
        } else {
            ++nextFree;
            std::snprintf(entry, sizeof entry, "%0*d 00001 f \n", kOffsetDigits,
                          nextFree < chain.size() ? chain[nextFree] : 0);
        }
        table += entry;
    }
    table += "trailer\n<< /Size " + std::to_string(size) + "\n/Root " + std::to_string(root) +
             " 0 R\n>>\nstartxref\n" + std::to_string(start) + "\n%%EOF\n";
    Write(table, kNewObjectFailed);
}

}  // namespace tarn::overprint
