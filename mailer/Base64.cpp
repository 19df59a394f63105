#include "mailer/Base64.h"

namespace tarn::mailer {

std::string EncodeBase64(const std::string& data, std::size_t lineLength) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string flat;
    flat.reserve((data.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= data.size(); i += 3) {
        unsigned v = (static_cast<unsigned char>(data[i]) << 16) |
                     (static_cast<unsigned char>(data[i + 1]) << 8) | static_cast<unsigned char>(data[i + 2]);
        flat += kAlphabet[(v >> 18) & 63];
        flat += kAlphabet[(v >> 12) & 63];
        flat += kAlphabet[(v >> 6) & 63];
        flat += kAlphabet[v & 63];
    }
    if (i < data.size()) {
        unsigned v = static_cast<unsigned char>(data[i]) << 16;
        bool two = i + 1 < data.size();
        if (two) v |= static_cast<unsigned char>(data[i + 1]) << 8;
        flat += kAlphabet[(v >> 18) & 63];
        flat += kAlphabet[(v >> 12) & 63];
        flat += two ? kAlphabet[(v >> 6) & 63] : '=';
        flat += '=';
    }
    if (lineLength == 0) return flat;
    std::string lines;
    lines.reserve(flat.size() + flat.size() / lineLength * 2 + 2);
    for (std::size_t pos = 0; pos < flat.size(); pos += lineLength) {
        lines.append(flat, pos, lineLength);
        lines += "\r\n";
    }
    return lines;
}

}  // namespace tarn::mailer
