#include "xls/TextDecoder.h"

#include <cerrno>
#include <cstdint>
#include <vector>

namespace tarn::xls {
namespace {

// The Windows code page every workbook starts with.
constexpr int kDefaultCodePage = 1252;
// Windows' number for UTF-8, which iconv knows by name only.
constexpr int kCodePageUtf8 = 65001;
const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

}  // namespace

TextDecoder::TextDecoder() { SetCodePage(kDefaultCodePage); }

TextDecoder::~TextDecoder() {
    if (cd_ != kNoConverter) iconv_close(cd_);
}

bool TextDecoder::SetCodePage(int codePage) {
    if (codePage <= 0) return false;
    if (codePage == codePage_) return true;
    std::string name = codePage == kCodePageUtf8 ? std::string("UTF-8") : "CP" + std::to_string(codePage);
    iconv_t cd = iconv_open("UTF-16LE", name.c_str());
    if (cd == kNoConverter) return false;
    if (cd_ != kNoConverter) iconv_close(cd_);
    cd_ = cd;
    codePage_ = codePage;
    return true;
}

std::u16string TextDecoder::Decode(std::string_view bytes) {
    std::u16string out;
    DecodeInto(bytes, &out);
    return out;
}

void TextDecoder::DecodeInto(std::string_view bytes, std::u16string* out) {
    out->clear();
    // Windows ANSI code pages all keep ASCII as it is: skip iconv for it.
    bool ascii = true;
    for (unsigned char c : bytes) {
        if (c >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii || cd_ == kNoConverter) {
        out->resize(bytes.size());
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            (*out)[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[i]));
        }
        return;
    }

    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    buffer_.resize(bytes.size() * 4 + 16);
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* outPtr = buffer_.data();
        std::size_t outLeft = buffer_.size();
        std::size_t rc = iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
        std::size_t produced = buffer_.size() - outLeft;
        for (std::size_t i = 0; i + 1 < produced; i += 2) {
            out->push_back(static_cast<char16_t>(static_cast<unsigned char>(buffer_[i]) |
                                                 (static_cast<unsigned char>(buffer_[i + 1]) << 8)));
        }
        if (rc != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) continue;
        // Undefined or incomplete byte: keep it as the code point of its value.
        out->push_back(static_cast<char16_t>(static_cast<unsigned char>(*in)));
        ++in;
        --inLeft;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
}

}  // namespace tarn::xls
