#include "xls/SharedStrings.h"

#include <algorithm>

#include "xls/Limits.h"
#include "xls/UnicodeString.h"

namespace tarn::xls {
namespace {

constexpr std::uint16_t kSstRecord = 0x00FC;
constexpr std::uint16_t kContinueRecord = 0x003C;
constexpr std::uint16_t kExtSstRecord = 0x00FF;
// Character count and option flags that start every string; never split.
constexpr std::size_t kStringHeaderBytes = 3;
// Record header bytes (type and length).
constexpr std::size_t kRecordHeaderBytes = 4;
// Slots of the index when the first text arrives (a power of two).
constexpr std::size_t kInitialSlots = 1024;

struct Bucket {
    std::uint32_t streamPos;  // where the bucket's first string starts
    std::uint16_t inRecord;   // its offset from its record's header
};

}  // namespace

std::uint32_t SharedStrings::Intern(std::u16string_view text) {
    if (2 * (Count() + 1) > slots_.size()) GrowIndex();
    const std::size_t hash = std::hash<std::u16string_view>()(text);
    const std::size_t slot = FindSlot(text, hash);
    std::uint32_t id;
    if (slots_[slot] != kEmptySlot) {
        id = slots_[slot] - 1;
    } else {
        id = static_cast<std::uint32_t>(Count());
        chars_.append(text);
        starts_.push_back(chars_.size());
        hashes_.push_back(hash);
        slots_[slot] = id + 1;
    }
    return id;
}

std::size_t SharedStrings::FindSlot(std::u16string_view text, std::size_t hash) const {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const std::uint32_t entry = slots_[slot];
        if (entry == kEmptySlot) return slot;
        if (hashes_[entry - 1] == hash && Text(entry - 1) == text) return slot;
    }
}

void SharedStrings::GrowIndex() {
    slots_.assign(std::max(kInitialSlots, 2 * slots_.size()), kEmptySlot);
    const std::size_t mask = slots_.size() - 1;
    for (std::uint32_t id = 0; id < Count(); ++id) {
        std::size_t slot = hashes_[id] & mask;
        while (slots_[slot] != kEmptySlot) slot = (slot + 1) & mask;
        slots_[slot] = id + 1;
    }
}

void SharedStrings::WriteRecords(RecordStream& out, std::uint32_t references) const {
    const std::size_t perBucket =
        std::max(kMinStringsPerBucket, (Count() + kMaxExtSstBuckets - 1) / kMaxExtSstBuckets);
    std::vector<Bucket> buckets;

    out.Begin(kSstRecord);
    std::size_t recordStart = out.Size() - kRecordHeaderBytes;
    out.U32(references);
    out.U32(static_cast<std::uint32_t>(Count()));
    auto startContinue = [&]() {
        out.End();
        recordStart = out.Size();
        out.Begin(kContinueRecord);
    };

    for (std::size_t i = 0; i < Count(); ++i) {
        const std::u16string_view s = Text(static_cast<std::uint32_t>(i));
        const bool compressed = IsCompressible(s);
        const std::size_t charBytes = compressed ? 1 : 2;
        // The header and at least one character must share a record.
        std::size_t firstPiece = kStringHeaderBytes + (s.empty() ? 0 : charBytes);
        if (out.OpenRecordSize() + firstPiece > kMaxRecordData) startContinue();
        if (i % perBucket == 0) {
            buckets.push_back({static_cast<std::uint32_t>(out.Size()),
                               static_cast<std::uint16_t>(out.Size() - recordStart)});
        }
        out.U16(static_cast<std::uint16_t>(s.size()));
        out.U8(compressed ? 0 : kHighByteFlag);

        // Characters, cut at record boundaries; every continuation begins
        // with a fresh option-flags byte.
        std::size_t done = 0;
        for (;;) {
            std::size_t room = (kMaxRecordData - out.OpenRecordSize()) / charBytes;
            std::size_t n = std::min(room, s.size() - done);
            AppendChars(out, s, done, n, compressed);
            done += n;
            if (done == s.size()) break;
            startContinue();
            out.U8(compressed ? 0 : kHighByteFlag);
        }
    }
    out.End();

    out.Begin(kExtSstRecord);
    out.U16(static_cast<std::uint16_t>(perBucket));
    for (const Bucket& b : buckets) {
        out.U32(b.streamPos);
        out.U16(b.inRecord);
        out.U16(0);
    }
    out.End();
}

}  // namespace tarn::xls
