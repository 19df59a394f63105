#include "overprint/PdfTokenizer.h"

namespace tarn::overprint {
namespace {

bool IsAlnum(int c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

void PdfTokenizer::SkipLiteralString() {
    int depth = 1;
    for (;;) {
        int c = ReadByte();
        if (c < 0) return;
        if (c == '\\') {
            if (ReadByte() < 0) return;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            if (--depth == 0) return;
        }
    }
}

void PdfTokenizer::SkipHexString() {
    for (;;) {
        int c = ReadByte();
        if (c < 0) return;
        if (c == '>') {
            ReadByte();  // the byte after the closing ">" goes with it
            return;
        }
    }
}

bool PdfTokenizer::Next(PdfToken* token) {
    for (;;) {
        std::uint64_t position = Position();
        int c = ReadByte();
        if (c < 0) return false;
        switch (c) {
        case '\n':
        case '\r':
        case ' ':
        case '[':
            continue;
        case '/':
            nameNext_ = true;
            namePosition_ = position;
            continue;
        case '%':
            do {
                c = ReadByte();
            } while (c >= 0 && c != '\n' && c != '\r');
            continue;
        case '(':
            SkipLiteralString();
            continue;
        case '<': {
            int d = ReadByte();
            if (d == '<') {
                token->text = "<<";
                token->position = position;
                nameNext_ = false;
                return true;
            }
            if (d >= 0) PushBack(d);
            SkipHexString();
            continue;
        }
        case '>': {
            int d = ReadByte();
            if (d == '>') {
                token->text = ">>";
                token->position = position;
                nameNext_ = false;
                return true;
            }
            if (d >= 0) PushBack(d);  // a single ">" is dropped
            continue;
        }
        default:
            break;
        }
        // A word: this byte and the letters and digits that follow it.
        token->text.clear();
        if (nameNext_) {
            token->text += '/';
            token->position = namePosition_;
            nameNext_ = false;
        } else {
            token->position = position;
        }
        token->text += static_cast<char>(c);
        for (;;) {
            int d = ReadByte();
            if (IsAlnum(d)) {
                token->text += static_cast<char>(d);
                continue;
            }
            // The ending byte is consumed, except where it begins a token or
            // a string of its own; a "/" still makes the next word a name
            // ("/Type/Page" is two names).
            if (d == '<' || d == '>' || d == '(') {
                PushBack(d);
            } else if (d == '/') {
                nameNext_ = true;
                namePosition_ = Position() - 1;
            }
            break;
        }
        return true;
    }
}

}  // namespace tarn::overprint
