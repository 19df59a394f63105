#include "overprint/PdfWriter.h"

#include <cstdio>

#include "overprint/ExitStatus.h"
#include "overprint/Messages.h"
#include "overprint/OverprintExit.h"

namespace tarn::overprint {
namespace {

// Message prefixes of write failures: a new object, a copied byte.
constexpr const char* kNewObjectFailed = "***01 Error write into file: ";
// A cross-reference entry is 10 digits of offset, " 00000 n \n": 20 bytes.
constexpr int kOffsetDigits = 10;

}  // namespace

bool PdfWriter::Open(const std::string& path) {
    outputName_ = path;
    offsets_.assign(1, 0);
    shift = 0;
    return out_.Create(path).ok();
}

bool PdfWriter::Close() {
    if (!out_.IsOpen()) return true;
    if (!out_.Close().ok()) {
        PrintOut(std::string(kNewObjectFailed) + outputName_);
        return false;
    }
    return true;
}

void PdfWriter::Fail(const char* message) {
    PrintOut(std::string(message) + outputName_);
    throw OverprintExit(kExitWriteFailed);
}

void PdfWriter::Write(const char* data, std::size_t size, const char* message) {
    if (!out_.Write(data, size).ok()) Fail(message);
}

bool PdfWriter::IsWritten(int number) const {
    return number > 0 && static_cast<std::size_t>(number) < offsets_.size() && offsets_[number] != 0;
}

void PdfWriter::BeginObject(int number) {
    if (number < 0) number = 0;
    if (static_cast<std::size_t>(number) >= offsets_.size()) offsets_.resize(number + 1, 0);
    offsets_[number] = static_cast<std::uint32_t>(out_.Position());
}

void PdfWriter::WriteObject(int number, const std::string& text) {
    BeginObject(number);
    Write(std::to_string(number) + " 0 " + text + "endobj\n", kNewObjectFailed);
}

void PdfWriter::WriteCrossReference() {
    const std::uint64_t start = out_.Position();
    const int size = counter + shift;
    std::string table = "xref\n0 " + std::to_string(size) + "\n0000000000 65535 f \n";
    for (int n = 1; n < size; ++n) {
        std::uint32_t offset = static_cast<std::size_t>(n) < offsets_.size() ? offsets_[n] : 0;
        char entry[32];
        std::snprintf(entry, sizeof entry, "%0*u 00000 n \n", kOffsetDigits, offset);
        table += entry;
    }
    table += "trailer\n<< /Size " + std::to_string(size) + "\n/Root " + std::to_string(root) +
             " 0 R\n>>\nstartxref\n" + std::to_string(start) + "\n%%EOF\n";
    Write(table, kNewObjectFailed);
}

}  // namespace tarn::overprint
