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

struct Bucket {
    std::uint32_t streamPos;  // where the bucket's first string starts
    std::uint16_t inRecord;   // its offset from its record's header
};

}  // namespace

std::uint32_t SharedStrings::Intern(const std::u16string& text) {
    for (std::size_t i = 0; i < recentCount_; ++i) {
        if (*strings_[recent_[i]] == text) return recent_[i];
    }
    std::uint32_t id;
    auto found = index_.find(text);
    if (found != index_.end()) {
        id = found->second;
    } else {
        id = static_cast<std::uint32_t>(strings_.size());
        auto inserted = index_.emplace(text, id);
        strings_.push_back(&inserted.first->first);
    }
    recent_[recentNext_] = id;
    recentNext_ = (recentNext_ + 1) % kRecent;
    recentCount_ = std::min(recentCount_ + 1, kRecent);
    return id;
}

void SharedStrings::WriteRecords(RecordStream& out, std::uint32_t references) const {
    const std::size_t perBucket =
        std::max(kMinStringsPerBucket, (strings_.size() + kMaxExtSstBuckets - 1) / kMaxExtSstBuckets);
    std::vector<Bucket> buckets;

    out.Begin(kSstRecord);
    std::size_t recordStart = out.Size() - kRecordHeaderBytes;
    out.U32(references);
    out.U32(static_cast<std::uint32_t>(strings_.size()));
    auto startContinue = [&]() {
        out.End();
        recordStart = out.Size();
        out.Begin(kContinueRecord);
    };

    for (std::size_t i = 0; i < strings_.size(); ++i) {
        const std::u16string& s = *strings_[i];
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
