#pragma once
// Turns text bytes in a Windows code page into UTF-16 with iconv. A byte the
// code page leaves undefined becomes the code point of the same value, as
// Windows itself maps them, so no byte of a report is ever dropped.

#include <iconv.h>

#include <string>
#include <string_view>
#include <vector>

namespace tarn::xls {

class TextDecoder {
  public:
    TextDecoder();
    ~TextDecoder();
    TextDecoder(const TextDecoder&) = delete;
    TextDecoder& operator=(const TextDecoder&) = delete;

    // Switches to Windows code page `codePage` (1252, 1251, ...); false and the
    // previous setting kept when the system knows no such code page.
    bool SetCodePage(int codePage);
    int CodePage() const { return codePage_; }

    std::u16string Decode(std::string_view bytes);
    // The same into *out, whose room is reused from call to call.
    void DecodeInto(std::string_view bytes, std::u16string* out);

  private:
    std::vector<char> buffer_;  // iconv's output
    int codePage_ = 0;
    iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
};

}  // namespace tarn::xls
