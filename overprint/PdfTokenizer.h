#pragma once
// Cuts a PDF into the tokens the reader needs, one byte at a time: words of
// letters and digits, names ("/Type"), and "<<" / ">>". Blanks, line ends,
// "/" and "[" only separate; comments, literal strings and hexadecimal
// strings are skipped, so nothing inside a string becomes a token.

#include <cstdint>
#include <string>

#include "platform/InputFile.h"

namespace tarn::overprint {

struct PdfToken {
    std::string text;
    std::uint64_t position = 0;  // of its first byte (of the "/" for a name)
};

class PdfTokenizer {
  public:
    explicit PdfTokenizer(InputFile& input) : input_(input) {}

    // The next token; false at the end of the input.
    bool Next(PdfToken* token);

    // Raw access for the parts the reader reads itself (stream data,
    // cross-reference text). One byte can be pushed back.
    int ReadByte() {
        if (pushed_ >= 0) {
            int c = pushed_;
            pushed_ = -1;
            return c;
        }
        return input_.ReadByte();
    }
    void PushBack(int c) { pushed_ = c; }
    // Position of the next byte ReadByte returns.
    std::uint64_t Position() const { return input_.Position() - (pushed_ >= 0 ? 1 : 0); }

  private:
    void SkipLiteralString();
    void SkipHexString();

    InputFile& input_;
    int pushed_ = -1;
    bool nameNext_ = false;  // a "/" was seen: the next word is a name
    std::uint64_t namePosition_ = 0;
};

}  // namespace tarn::overprint
