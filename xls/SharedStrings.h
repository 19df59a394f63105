#pragma once
// The shared string table: every distinct cell text once, referred to by
// index from LABELSST cells. Written as one SST record continued in CONTINUE
// records (MS-XLS 2.4.265, 2.4.58), followed by the EXTSST index that lets
// readers find a string without reading all before it (MS-XLS 2.4.107).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "xls/RecordStream.h"

namespace tarn::xls {

class SharedStrings {
  public:
    // Index of `text` in the table, adding it when new.
    std::uint32_t Intern(std::u16string_view text);
    std::size_t Count() const { return hashes_.size(); }
    // Characters of all texts together.
    std::size_t CharCount() const { return chars_.size(); }
    std::u16string_view Text(std::uint32_t index) const {
        return std::u16string_view(chars_).substr(starts_[index], starts_[index + 1] - starts_[index]);
    }

    // SST and its CONTINUE records, then EXTSST. `references` is the number
    // of cells that use the table. The records' positions in `out` are their
    // positions in the workbook stream.
    void WriteRecords(RecordStream& out, std::uint32_t references) const;

  private:
    // A slot of the index that holds no text.
    static constexpr std::uint32_t kEmptySlot = 0;

    // The index of the slot where `text` (of hash `hash`) is, or where it
    // would go.
    std::size_t FindSlot(std::u16string_view text, std::size_t hash) const;
    // Doubles the index and places every text again.
    void GrowIndex();

    // All texts one after another: text i is chars_[starts_[i], starts_[i + 1]).
    std::u16string chars_;
    std::vector<std::size_t> starts_{0};
    std::vector<std::size_t> hashes_;  // the hash of each text
    // Open addressing with linear probing: text index + 1, or kEmptySlot.
    // Its size is a power of two, kept at least twice the number of texts.
    std::vector<std::uint32_t> slots_;
};

}  // namespace tarn::xls
