#include "xls/GlobalsRecords.h"

#include "xls/UnicodeString.h"

namespace tarn::xls {
namespace {

constexpr std::uint16_t kBofRecord = 0x0809;
constexpr std::uint16_t kEofRecord = 0x000A;
constexpr std::uint16_t kCodePageRecord = 0x0042;
constexpr std::uint16_t kWindow1Record = 0x003D;
constexpr std::uint16_t kDate1904Record = 0x0022;
constexpr std::uint16_t kBoundSheetRecord = 0x0085;

// BIFF8 version and the application build that wrote the file.
constexpr std::uint16_t kBiff8Version = 0x0600;
constexpr std::uint16_t kBuild = 0x0DBB;
constexpr std::uint16_t kBuildYear = 0x07CC;
// Lowest BIFF version that can read this file: BIFF8.
constexpr std::uint32_t kLowestBiffVersion = 0x0006;
// Code page 1200: UTF-16.
constexpr std::uint16_t kCodePageUnicode = 1200;
// Window size in twips and its flags: horizontal and vertical scroll bars, sheet tabs.
constexpr std::uint16_t kWindowWidth = 0x4000;
constexpr std::uint16_t kWindowHeight = 0x2000;
constexpr std::uint16_t kWindowFlags = 0x0038;
// Tab bar width in thousandths of the window width.
constexpr std::uint16_t kTabRatio = 600;

}  // namespace

void WriteBof(RecordStream& out, SubstreamType type) {
    out.Begin(kBofRecord);
    out.U16(kBiff8Version);
    out.U16(static_cast<std::uint16_t>(type));
    out.U16(kBuild);
    out.U16(kBuildYear);
    out.U32(0);  // file history flags
    out.U32(kLowestBiffVersion);
    out.End();
}

void WriteEof(RecordStream& out) { WriteEmptyRecord(out, kEofRecord); }

void WriteCodePage(RecordStream& out) { WriteU16Record(out, kCodePageRecord, kCodePageUnicode); }

void WriteWindow1(RecordStream& out) {
    out.Begin(kWindow1Record);
    out.U16(0);  // left
    out.U16(0);  // top
    out.U16(kWindowWidth);
    out.U16(kWindowHeight);
    out.U16(kWindowFlags);
    out.U16(0);  // active sheet
    out.U16(0);  // first visible tab
    out.U16(1);  // selected sheets
    out.U16(kTabRatio);
    out.End();
}

void WriteDate1904(RecordStream& out) { WriteU16Record(out, kDate1904Record, 0); }

std::size_t WriteBoundSheet(RecordStream& out, const std::u16string& name) {
    out.Begin(kBoundSheetRecord);
    std::size_t offsetAt = out.Size();
    out.U32(0);  // stream offset of the sheet's BOF, filled in later
    out.U8(0);   // visible
    out.U8(0);   // worksheet
    AppendShortString(out, name);
    out.End();
    return offsetAt;
}

}  // namespace tarn::xls
