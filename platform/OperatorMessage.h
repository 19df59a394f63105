#pragma once
// Messages for the person who runs a program by hand, in place of message
// boxes: one line "<caption>: <text>" on standard error, written at once.

#include <string>

namespace tarn {

void ShowOperatorMessage(const std::string& caption, const std::string& text);

}  // namespace tarn
