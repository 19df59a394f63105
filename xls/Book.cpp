#include "xls/Book.h"

#include <cstdint>

#include "platform/File.h"
#include "platform/OutputFile.h"
#include "platform/TempFile.h"
#include "xls/Assemble.h"
#include "xls/CompoundFile.h"
#include "xls/DateSerial.h"

namespace tarn::xls {
namespace {

// BOUNDSHEET holds a sheet's stream offset in 32 bits, and a version 3
// compound file a stream's size.
constexpr std::uint64_t kMaxStreamBytes = 0xFFFFFFFFull;

}  // namespace

std::unique_ptr<Workbook> Workbook::Create() { return std::make_unique<Book>(); }

void Book::SetCodePage(int codePage) { decoder_.SetCodePage(codePage); }

Font* Book::AddFont() {
    fonts_.push_back(std::make_unique<FontStyle>());
    return fonts_.back().get();
}

Format* Book::AddFormat() {
    formats_.push_back(std::make_unique<CellFormat>(static_cast<int>(formats_.size())));
    return formats_.back().get();
}

int Book::AddCustomNumberFormat(const std::string& formatText) {
    return numberFormats_.Add(formatText, decoder_.Decode(formatText));
}

std::string Book::CustomNumberFormatText(int formatId) const { return numberFormats_.Text(formatId); }

double Book::PackDate(int year, int month, int day, int hour, int minute, int second) const {
    return DateSerial(year, month, day, hour, minute, second);
}

Sheet* Book::AddSheet(const std::string& name) {
    std::u16string unique = sheetNames_.Claim(decoder_.Decode(name));
    sheets_.push_back(std::make_unique<Worksheet>(std::move(unique), &decoder_, &strings_));
    return sheets_.back().get();
}

tarn::Status Book::Save(const std::string& path) {
    if (sheets_.empty()) return tarn::Status::Error(path + ": a workbook needs at least one sheet");
    const RecordStream stream =
        AssembleWorkbookStream(BookParts{fonts_, formats_, numberFormats_, strings_, sheets_, decoder_});
    if (stream.Size() > kMaxStreamBytes) {
        return tarn::Status::Error(path + ": workbook too large for the file format");
    }
    CompoundFileFrame frame = FrameWorkbookStream(stream.Size());

    // Write beside the target and rename, so the target is either the old
    // file or the complete new one, never a part.
    std::string::size_type slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (base.empty()) return tarn::Status::Error(path + ": no file name");
    std::string temp;
    tarn::Status st =
        tarn::CreateUniqueFile(folder, "." + base + ".", ".tmp", &temp, tarn::TempAccess::kShared);
    if (!st.ok()) return st;
    // The temporary name is reopened by name: someone who can write the
    // folder may have replaced it with a link meanwhile, which must not be
    // written through. The rename replaces a link at `path` itself, never
    // the file it points to.
    tarn::OutputFile out;
    st = out.CreateNoFollow(temp);
    if (st.ok()) st = out.Write(frame.head);
    if (st.ok()) st = out.Write(stream.Bytes().data(), stream.Size());
    if (st.ok()) st = out.Write(frame.tail);
    tarn::Status closed = out.IsOpen() ? out.Close() : tarn::Status::Ok();
    if (st.ok()) st = closed;
    if (st.ok()) st = tarn::RenameFile(temp, path);
    if (!st.ok()) tarn::RemoveFile(temp);
    return st;
}

}  // namespace tarn::xls
