#pragma once
// A stretch of one output line drawn with one set of text attributes.

#include <cstdint>
#include <string>

namespace tarn::overprint {

struct TextRun {
    std::int16_t lineNo = 1;  // output line within its page, from 1
    std::int16_t fontNumber = 0;
    std::int16_t fontSize = 0;
    std::int16_t lineSpace = 0;  // step down before this line
    std::int16_t renderMode = 0;
    std::int16_t rise = 0;
    std::int16_t scale = 100;
    std::string colour;  // fill-colour operator text ("r g b rg ...\n")
    std::int16_t x = 0;  // explicit line position; 0 and 0 when none
    std::int16_t y = 0;
    std::string text;  // already escaped for a PDF literal string
};

}  // namespace tarn::overprint
