#include "overprint/PdfDocument.h"

#include <algorithm>
#include <cstdlib>

#include "common/Text.h"
#include "overprint/Messages.h"
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
// No PDF object number is larger; a cross-reference subsection claiming
// numbers beyond it is not believed.
constexpr long kMaxObjectNumber = 8388607;

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

// The state of the one pass over the bytes.
struct PdfDocument::Scan {
    explicit Scan(InputFile& input, const PatternCache& patterns) : tokenizer(input), classifier(patterns) {}

    PdfTokenizer tokenizer;
    const TokenClassifier classifier;
    const PatternCache::Entry* endstream = nullptr;
    // history[0] is the current token, history[i] the token i back.
    PdfToken history[kHistory];
    PdfObjectEntry current;
    bool inObject = false;
    int depth = 0;  // dictionaries open inside the current object
    PdfTrailerInfo trailer;
};

bool PdfDocument::Open(const std::string& inputName) {
    inputName_ = inputName;
    return input_.Open(inputName).ok();
}

void PdfDocument::Reset() {
    objects_.clear();
    lookup_.clear();
    references_.clear();
    trailers_.clear();
    xrefOffsets_.clear();
    root_ = info_ = pagesRoot_ = catalog_ = 0;
    firstObject_ = kMaxHeader;
    highestObject_ = 0;
    readFailed_ = false;
}

void PdfDocument::Read() {
    Reset();
    ScanObjects();
    ApplyCrossReferences();
    ChooseLiveObjects();
    if (root_ == 0) PrintOut("**Error no root object find\n");
    FindCatalog();
}

void PdfDocument::ScanObjects() {
    if (!input_.Seek(0).ok()) return;
    Scan scan(input_, patterns_);
    if (auto it = patterns_.entries().find("endstream"); it != patterns_.entries().end()) {
        scan.endstream = it->second.get();
    }
    PdfToken* history = scan.history;
    PdfToken token;
    while (scan.tokenizer.Next(&token)) {
        for (int i = kHistory - 1; i > 0; --i) std::swap(history[i], history[i - 1]);
        std::swap(history[0], token);
        const PdfToken& now = history[0];
        if (now.text == "<<") {
            ++scan.depth;
            continue;
        }
        if (now.text == ">>") {
            --scan.depth;
            continue;
        }
        switch (scan.classifier.Classify(now.text)) {
        case TokenClass::kStream:
            SkipStreamData(scan);
            break;
        case TokenClass::kObj:
            BeginObject(scan);
            break;
        case TokenClass::kR:
            RecordReference(scan);
            break;
        case TokenClass::kEndobj:
            EndObject(scan);
            break;
        case TokenClass::kXref:
            ReadCrossReferenceText(scan);
            break;
        case TokenClass::kStartxref:
            trailers_.push_back(scan.trailer);
            scan.trailer = PdfTrailerInfo();
            break;
        default:
            RecordValue(scan);
            break;
        }
    }
    if (!input_.error().ok()) PrintOut("***12 Error read from file: " + inputName_ + "\n");
}

// "n g obj": a new object starts.
void PdfDocument::BeginObject(Scan& scan) {
    const PdfToken* history = scan.history;
    PdfObjectEntry& current = scan.current;
    current = PdfObjectEntry();
    current.number = AtoiLike(history[2].text);
    current.generation = AtoiLike(history[1].text);
    current.numberPosition = history[2].position;
    current.start = history[0].position;
    scan.inObject = true;
    scan.depth = 0;
    if (!history[2].text.empty()) firstObject_ = std::min(firstObject_, history[2].position);
    highestObject_ = std::max(highestObject_, current.number);
}

// "n g R": a reference, of the current object or of a trailer.
void PdfDocument::RecordReference(Scan& scan) {
    const PdfToken* history = scan.history;
    PdfReference reference;
    reference.number = AtoiLike(history[2].text);
    reference.generation = AtoiLike(history[1].text);
    reference.position = history[2].position;
    reference.length = history[0].position + history[0].text.size() - history[2].position;
    const std::string& key = history[3].text;
    if (!key.empty() && key[0] == '/') reference.key = key;
    if (key == "/Root") {
        scan.trailer.rootNumber = reference.number;
        scan.trailer.rootGeneration = reference.generation;
    } else if (key == "/Info") {
        scan.trailer.info = reference.number;
    }
    if (scan.inObject) {
        reference.inObject = scan.current.number;
        scan.current.references.push_back(reference);
    }
    references_.push_back(std::move(reference));
}

void PdfDocument::EndObject(Scan& scan) {
    if (!scan.inObject) return;
    scan.current.end = scan.history[0].position;
    lookup_[scan.current.number] = objects_.size();
    objects_.push_back(std::move(scan.current));
    scan.current = PdfObjectEntry();
    scan.inObject = false;
}

// The value after /Type or /Prev.
void PdfDocument::RecordValue(Scan& scan) {
    const PdfToken* history = scan.history;
    if (history[1].text == "/Type") {
        // Only the object's own dictionary says what it is; a /Type inside a
        // nested dictionary (a page's /Group) does not.
        if (scan.inObject && scan.depth == 1) scan.current.type = history[0].text;
    } else if (history[1].text == "/Prev") {
        scan.trailer.prev = AtoiLike64(history[0].text);
    }
}

// Skips the data of a stream: gathers each line's letters and digits until a
// line reads "endstream".
void PdfDocument::SkipStreamData(Scan& scan) {
    std::string gathered;
    for (;;) {
        int c = scan.tokenizer.ReadByte();
        if (c < 0 || c == '\n' || c == '\r') {
            if (EndsStream(scan.endstream, gathered)) break;
            if (c < 0) break;
            gathered.clear();
        } else if (IsAlnum(c)) {
            gathered += static_cast<char>(c);
        }
    }
}

// A cross-reference section: its text runs from "xref" to the line that
// holds the trailer keyword.
void PdfDocument::ReadCrossReferenceText(Scan& scan) {
    PdfTrailerInfo& trailer = scan.trailer;
    trailer = PdfTrailerInfo();
    trailer.xrefPosition = scan.history[0].position;
    trailer.text = scan.history[0].text + "\n";
    std::size_t lineStart = trailer.text.size();
    bool found = false;
    for (int c; !found && (c = scan.tokenizer.ReadByte()) >= 0;) {
        trailer.text += static_cast<char>(c);
        if (c == '\n' || c == '\r') {
            lineStart = trailer.text.size();
        } else if (!IsDigit(c) && c != ' ') {
            found = patterns_.Match("trailer", trailer.text.substr(lineStart), 0) > 0;
        }
    }
    if (!found) PrintOut("*** error not found trailer after xref ***");
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

// Entries are taken line by line as they stand; a subsection's count is not
// trusted to size anything, and numbers beyond what PDF allows end it.
void PdfDocument::ApplySection(const PdfTrailerInfo& trailer) {
    if (trailer.rootNumber != 0) root_ = trailer.rootNumber;
    if (trailer.info != 0) info_ = trailer.info;
    const std::string& text = trailer.text;
    long nextNumber = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t stop = text.find_first_of("\r\n", pos);
        if (stop == std::string::npos) stop = text.size();
        const std::string line = text.substr(pos, stop - pos);
        pos = stop + 1;
        if (line.empty() || !IsDigit(static_cast<unsigned char>(line[0]))) continue;
        if (IsSubsectionHeader(line)) {
            nextNumber = std::clamp<long>(AtoiLike(line), 0, kMaxObjectNumber + 1);
            continue;
        }
        if (nextNumber > kMaxObjectNumber) continue;
        const int number = static_cast<int>(nextNumber++);
        if (line.size() > kEntryFlag && line[kEntryFlag] == 'f') {
            xrefOffsets_.erase(number);
        } else {
            xrefOffsets_[number] = static_cast<std::uint64_t>(AtoiLike64(line.substr(0, kEntryOffsetDigits)));
        }
    }
}

// Where the file holds an object number more than once (an incremental save
// that reuses a number), the object the cross-reference table points at is
// the live one; without a usable entry the last in the file stays.
void PdfDocument::ChooseLiveObjects() {
    std::unordered_map<std::uint64_t, std::size_t> byPosition;
    for (std::size_t i = 0; i < objects_.size(); ++i) byPosition[objects_[i].numberPosition] = i;
    for (const auto& [number, offset] : xrefOffsets_) {
        auto at = byPosition.find(offset);
        if (at != byPosition.end() && objects_[at->second].number == number) lookup_[number] = at->second;
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
        catalog_ = catalog->number;
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

std::vector<int> PdfDocument::LiveNumbers() const {
    std::vector<int> numbers;
    numbers.reserve(lookup_.size());
    for (const auto& entry : lookup_) numbers.push_back(entry.first);
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

void PdfDocument::ReportReadFailure(const char* message) {
    if (!readFailed_) PrintOut(message + inputName_);
    readFailed_ = true;
}

bool PdfDocument::ReadRange(std::uint64_t from, std::uint64_t to, std::string* text) {
    text->clear();
    if (to < from || !input_.Seek(from).ok()) return false;
    text->reserve(static_cast<std::size_t>(to - from));
    for (std::uint64_t position = from; position < to; ++position) {
        int c = input_.ReadByte();
        if (c < 0) return false;
        *text += static_cast<char>(c);
    }
    return true;
}

std::string PdfDocument::ObjectText(int number) {
    const PdfObjectEntry* entry = FindObject(number);
    std::string text;
    if (entry == nullptr) return text;
    if (!ReadRange(entry->start + 3, entry->end, &text)) {
        ReportReadFailure("***10 Error read from file: ");
        text.clear();
    }
    return text;
}

bool PdfDocument::CopyObject(int number, int outputNumber, const std::function<int(int)>& renumber,
                             PdfWriter& writer) {
    const PdfObjectEntry* entry = FindObject(number);
    if (entry == nullptr) return false;
    std::string raw;
    if (!ReadRange(entry->start, entry->end, &raw)) {
        ReportReadFailure("***12 Error read from file: ");
        writer.FailRead();
        return false;
    }
    std::string text = std::to_string(outputNumber) + " 0 ";
    text.reserve(raw.size() + 64);
    std::size_t copied = 0;
    for (const PdfReference& reference : entry->references) {
        if (reference.position < entry->start + copied || reference.position >= entry->end) continue;
        const std::size_t at = static_cast<std::size_t>(reference.position - entry->start);
        if (at + reference.length > raw.size()) continue;
        text.append(raw, copied, at - copied);
        const int target = renumber(reference.number);
        text += target > 0 ? " " + std::to_string(target) + " 0 R" : std::string(" null");
        copied = at + reference.length;
    }
    text.append(raw, copied, std::string::npos);
    text += "endobj\n";
    writer.BeginObject(outputNumber);
    writer.WriteCopied(text);
    return true;
}

std::string PdfDocument::Header() {
    std::string header;
    if (!ReadRange(0, std::min(firstObject_, kMaxHeader), &header)) {
        // A file shorter than its header: take what there is.
        input_.Seek(0);
        header.clear();
        for (int c; header.size() < kMaxHeader && (c = input_.ReadByte()) >= 0;)
            header += static_cast<char>(c);
    }
    return header;
}

}  // namespace tarn::overprint
