#pragma once
// The shared string table: every distinct cell text once, referred to by
// index from LABELSST cells. Written as one SST record continued in CONTINUE
// records (MS-XLS 2.4.265, 2.4.58), followed by the EXTSST index that lets
// readers find a string without reading all before it (MS-XLS 2.4.107).

#include <array>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "xls/RecordStream.h"

namespace tarn::xls {

class SharedStrings {
  public:
    // Index of `text` in the table, adding it when new.
    std::uint32_t Intern(const std::u16string& text);
    std::size_t Count() const { return strings_.size(); }

    // SST and its CONTINUE records, then EXTSST. `references` is the number
    // of cells that use the table. The records' positions in `out` are their
    // positions in the workbook stream.
    void WriteRecords(RecordStream& out, std::uint32_t references) const;

  private:
    // Texts recently interned, checked before the table: report columns
    // repeat a text over neighbouring rows, and the table's lookups miss
    // the processor's caches once it is large.
    static constexpr std::size_t kRecent = 8;

    std::vector<const std::u16string*> strings_;
    std::unordered_map<std::u16string, std::uint32_t> index_;
    std::array<std::uint32_t, kRecent> recent_{};
    std::size_t recentCount_ = 0;
    std::size_t recentNext_ = 0;
};

}  // namespace tarn::xls
