#include "overprint/PdfDocument.h"

#include <algorithm>
#include <cstdlib>

#include "common/Text.h"
#include "overprint/ExitStatus.h"
#include "overprint/Messages.h"
#include "overprint/OverprintExit.h"
#include "overprint/PdfTokenizer.h"
#include "overprint/TokenClassifier.h"

namespace tarn::overprint {
namespace {

// The header is what precedes the first object, and never more than this.
constexpr std::uint64_t kMaxHeader = 9999;
// A section's /Prev may miss the earlier section's xref keyword by this much.
constexpr std::int64_t kPrevTolerance = 80;
// Cross-reference lines shorter than this are subsection headers ("0 6").
constexpr std::size_t kMinEntryLine = 19;
// Within an entry "oooooooooo ggggg n": the offset digits and the flag byte.
constexpr std::size_t kEntryOffsetDigits = 10;
constexpr std::size_t kEntryFlag = 17;
// Length of the keyword "endstream".
constexpr std::size_t kEndstreamLength = 9;
// How many recent tokens the reader looks back on.
constexpr int kHistory = 4;

bool IsDigit(int c) { return c >= '0' && c <= '9'; }
bool IsAlnum(int c) { return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Is this digit-led cross-reference line a subsection header? Short lines
// are, except an entry whose line end is CR LF (18 bytes, flag last).
bool IsSubsectionHeader(const std::string& line) {
    if (line.size() >= kMinEntryLine) return false;
    bool entryShaped = line.size() == kEntryFlag + 1 && line[kEntryOffsetDigits] == ' ' &&
                       (line[kEntryFlag] == 'n' || line[kEntryFlag] == 'f');
    return !entryShaped;
}

// Do the letters and digits of one line of stream data end the stream? They
// do when they read "endstream", and also when data runs straight into the
// keyword on its line (ghostscript writes binary data and "endstream" with no
// line end between them). "endstream endobj" on one line does not.
bool EndsStream(const PatternCache::Entry* endstream, const std::string& gathered) {
    if (endstream == nullptr || gathered.empty()) return false;
    if (PatternCache::Matches(*endstream, gathered.data(), gathered.size())) return true;
    return gathered.size() > kEndstreamLength &&
           PatternCache::Matches(*endstream, gathered.data() + gathered.size() - kEndstreamLength,
                                 kEndstreamLength);
}

}  // namespace

bool PdfDocument::OpenInput(const std::string& inputName) {
    inputName_ = inputName;
    return input_.Open(inputName).ok();
}

bool PdfDocument::Open(const std::string& outputName, const std::string& inputName) {
    if (!OpenInput(inputName)) {
        PrintOut("*** Error open input pdf file " + inputName + "***\n");
        return false;
    }
    if (!writer_.Open(outputName)) {
        PrintOut("*** Error open output pdf file " + outputName + "***\n");
        return false;
    }
    return true;
}

void PdfDocument::Read() {
    objects_.clear();
    lookup_.clear();
    references_.clear();
    trailers_.clear();
    xrefOffsets_.clear();
    root_ = info_ = pagesRoot_ = 0;
    firstObject_ = kMaxHeader;
    highestObject_ = 0;

    const TokenClassifier classifier(patterns_);
    const PatternCache::Entry* endstream = nullptr;
    if (auto it = patterns_.entries().find("endstream"); it != patterns_.entries().end()) {
        endstream = it->second.get();
    }
    if (!input_.Seek(0).ok()) return;
    PdfTokenizer tokenizer(input_);

    // history[0] is the current token, history[i] the token i back.
    PdfToken history[kHistory];
    PdfObjectEntry current;
    bool inObject = false;
    PdfTrailerInfo trailer;

    PdfToken token;
    while (tokenizer.Next(&token)) {
        for (int i = kHistory - 1; i > 0; --i) std::swap(history[i], history[i - 1]);
        std::swap(history[0], token);
        const PdfToken& now = history[0];
        switch (classifier.Classify(now.text)) {
        case TokenClass::kStream: {
            // Skip the data: gather each line's letters and digits until a
            // line reads "endstream".
            std::string gathered;
            for (;;) {
                int c = tokenizer.ReadByte();
                if (c < 0 || c == '\n' || c == '\r') {
                    if (EndsStream(endstream, gathered)) break;
                    if (c < 0) break;
                    gathered.clear();
                } else if (IsAlnum(c)) {
                    gathered += static_cast<char>(c);
                }
            }
            break;
        }
        case TokenClass::kObj:
            current = PdfObjectEntry();
            current.number = AtoiLike(history[2].text);
            current.generation = AtoiLike(history[1].text);
            current.start = now.position;
            inObject = true;
            if (!history[2].text.empty()) firstObject_ = std::min(firstObject_, history[2].position);
            highestObject_ = std::max(highestObject_, current.number);
            break;
        case TokenClass::kR: {
            PdfReference reference;
            reference.number = AtoiLike(history[2].text);
            reference.generation = AtoiLike(history[1].text);
            reference.position = history[2].position;
            reference.length = history[2].text.size();
            const std::string& key = history[3].text;
            if (!key.empty() && key[0] == '/') reference.key = key;
            if (key == "/Root") {
                trailer.rootNumber = reference.number;
                trailer.rootGeneration = reference.generation;
            } else if (key == "/Info") {
                trailer.info = reference.number;
            }
            if (inObject) {
                reference.inObject = current.number;
                current.references.push_back(reference);
            }
            references_.push_back(std::move(reference));
            break;
        }
        case TokenClass::kEndobj:
            if (inObject) {
                current.end = now.position;
                lookup_[current.number] = objects_.size();
                objects_.push_back(std::move(current));
                current = PdfObjectEntry();
                inObject = false;
            }
            break;
        case TokenClass::kXref: {
            trailer = PdfTrailerInfo();
            trailer.xrefPosition = now.position;
            trailer.text = now.text + "\n";
            // Read on until the current line holds the trailer keyword.
            std::size_t lineStart = trailer.text.size();
            bool found = false;
            for (int c; !found && (c = tokenizer.ReadByte()) >= 0;) {
                trailer.text += static_cast<char>(c);
                if (c == '\n' || c == '\r') {
                    lineStart = trailer.text.size();
                } else if (!IsDigit(c) && c != ' ') {
                    found = patterns_.Match("trailer", trailer.text.substr(lineStart), 0) > 0;
                }
            }
            if (!found) PrintOut("*** error not found trailer after xref ***");
            break;
        }
        case TokenClass::kStartxref:
            trailers_.push_back(trailer);
            trailer = PdfTrailerInfo();
            break;
        default:
            if (history[1].text == "/Type") {
                if (inObject) current.type = now.text;
            } else if (history[1].text == "/Prev") {
                trailer.prev = AtoiLike64(now.text);
            }
            break;
        }
    }
    if (!input_.error().ok()) PrintOut("***12 Error read from file: " + inputName_ + "\n");

    ApplyCrossReferences();
    if (root_ == 0) PrintOut("**Error no root object find\n");
    FindCatalog();
    writer_.counter = highestObject_ + 1;
    writer_.root = root_;
}

void PdfDocument::ApplyCrossReferences() {
    std::vector<bool> applied(trailers_.size(), false);
    std::int64_t search = 0;
    for (std::size_t round = 0; round < trailers_.size(); ++round) {
        std::size_t next = trailers_.size();
        for (std::size_t i = 0; i < trailers_.size(); ++i) {
            std::int64_t distance = trailers_[i].prev - search;
            if (!applied[i] && distance <= kPrevTolerance && distance >= -kPrevTolerance) {
                next = i;
                break;
            }
        }
        if (next == trailers_.size()) {
            PrintOut("** Error: incorrect Xref in file \n");
            return;
        }
        applied[next] = true;
        ApplySection(trailers_[next]);
        search = static_cast<std::int64_t>(trailers_[next].xrefPosition);
    }
}

void PdfDocument::ApplySection(const PdfTrailerInfo& trailer) {
    if (trailer.rootNumber != 0) root_ = trailer.rootNumber;
    if (trailer.info != 0) info_ = trailer.info;
    const std::string& text = trailer.text;
    std::size_t nextNumber = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t stop = text.find_first_of("\r\n", pos);
        if (stop == std::string::npos) stop = text.size();
        const std::string line = text.substr(pos, stop - pos);
        pos = stop + 1;
        if (line.empty() || !IsDigit(static_cast<unsigned char>(line[0]))) continue;
        if (IsSubsectionHeader(line)) {
            std::size_t blank = line.find(' ');
            long first = AtoiLike(line);
            long count = blank == std::string::npos ? 0 : AtoiLike(line.substr(blank));
            if (first < 0) first = 0;
            if (count < 0) count = 0;
            std::size_t needed = static_cast<std::size_t>(first) + static_cast<std::size_t>(count);
            if (xrefOffsets_.size() < needed) xrefOffsets_.resize(needed, 0);
            nextNumber = static_cast<std::size_t>(first);
            continue;
        }
        std::uint32_t offset = static_cast<std::uint32_t>(AtoiLike64(line.substr(0, kEntryOffsetDigits)));
        if (line.size() > kEntryFlag && line[kEntryFlag] == 'f') offset = 0;
        if (xrefOffsets_.size() <= nextNumber) xrefOffsets_.resize(nextNumber + 1, 0);
        xrefOffsets_[nextNumber++] = offset;
    }
}

void PdfDocument::FindCatalog() {
    auto isCatalog = [this](const PdfObjectEntry* entry) {
        return entry != nullptr && !entry->type.empty() && patterns_.Match("catalog", entry->type, 0) > 0;
    };
    const PdfObjectEntry* catalog = FindObject(root_);
    if (!isCatalog(catalog)) {
        catalog = nullptr;
        for (const auto& entry : objects_) {
            if (isCatalog(&entry)) {
                catalog = &entry;
                break;
            }
        }
    }
    if (catalog != nullptr) {
        for (const auto& reference : catalog->references) {
            if (!reference.key.empty() && patterns_.Match("pages", reference.key, 0) > 0) {
                pagesRoot_ = reference.number;
            }
        }
    }
    if (pagesRoot_ == 0) PrintOut("** Error finding pages number in catalog **\n");
}

const PdfObjectEntry* PdfDocument::FindObject(int number) const {
    auto found = lookup_.find(number);
    return found == lookup_.end() ? nullptr : &objects_[found->second];
}

bool PdfDocument::RenumberedText(const PdfObjectEntry& entry, std::string* text) {
    text->clear();
    if (!input_.Seek(entry.start).ok()) return false;
    std::uint64_t position = entry.start;
    auto copyUpTo = [&](std::uint64_t stop, bool keep) {
        for (; position < stop; ++position) {
            int c = input_.ReadByte();
            if (c < 0) return false;
            if (keep) *text += static_cast<char>(c);
        }
        return true;
    };
    for (const auto& reference : entry.references) {
        if (reference.position < position || reference.position >= entry.end) continue;
        if (!copyUpTo(reference.position, true)) return false;
        if (!copyUpTo(reference.position + reference.length, false)) return false;
        *text += ' ';
        *text += std::to_string(reference.number + writer_.shift);
    }
    return copyUpTo(entry.end, true);
}

std::string PdfDocument::LoadObject(int number) {
    const PdfObjectEntry* entry = FindObject(number);
    if (entry == nullptr) return std::string();
    std::string text;
    if (!RenumberedText(*entry, &text)) {
        PrintOut("***10 Error read from file: " + inputName_);
        throw OverprintExit(kExitWriteFailed);
    }
    lookup_.erase(number);
    return text;
}

bool PdfDocument::CopyObject(int number) {
    const PdfObjectEntry* entry = FindObject(number);
    if (entry == nullptr) return false;
    std::string text;
    if (!RenumberedText(*entry, &text)) {
        PrintOut("***12 Error read from file: " + inputName_);
        throw OverprintExit(kExitWriteFailed);
    }
    static constexpr const char* kCopyFailed = "***02 Error write into file: ";
    const int target = number + writer_.shift;
    writer_.BeginObject(target);
    writer_.Write(std::to_string(target) + " 0 ", kCopyFailed);
    writer_.Write(text, kCopyFailed);
    writer_.Write("endobj\n", kCopyFailed);
    return true;
}

void PdfDocument::CopyHeader() {
    std::string header;
    if (input_.Seek(0).ok()) {
        for (std::uint64_t i = 0; i < firstObject_ && i < kMaxHeader; ++i) {
            int c = input_.ReadByte();
            if (c < 0) break;
            header += static_cast<char>(c);
        }
    }
    writer_.Write(header, "***02 Error write into file: ");
}

}  // namespace tarn::overprint
