#pragma once
// The workbook's number formats: the built-in ids below 164 and the custom
// ones, numbered from 164 in the order they are added; the same text always
// gets the same id. Each custom format becomes one FORMAT record
// (MS-XLS 2.4.126).

#include <string>
#include <unordered_map>
#include <vector>

#include "xls/RecordStream.h"

namespace tarn::xls {

class NumberFormats {
  public:
    // Id of the format `text` (its bytes as given, `decoded` as stored); 0
    // when the text is empty, too long or no id is left.
    int Add(const std::string& text, const std::u16string& decoded);
    // The text of a custom or built-in id, empty when unknown.
    std::string Text(int id) const;
    // One FORMAT record per custom format.
    void WriteRecords(RecordStream& out) const;

  private:
    struct Custom {
        std::string text;
        std::u16string decoded;
    };
    std::vector<Custom> custom_;
    std::unordered_map<std::string, int> ids_;
};

}  // namespace tarn::xls
