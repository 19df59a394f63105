#include "platform/Locale.h"

#include <clocale>

namespace tarn {

MonetarySeparators UserMonetarySeparators() {
    MonetarySeparators result;
    const char* current = std::setlocale(LC_ALL, nullptr);
    const std::string saved = current != nullptr ? current : "C";
    if (std::setlocale(LC_ALL, "") != nullptr) {
        const std::lconv* conv = std::localeconv();
        if (conv != nullptr) {
            if (conv->mon_decimal_point != nullptr) result.decimal = conv->mon_decimal_point;
            if (conv->mon_thousands_sep != nullptr) result.thousands = conv->mon_thousands_sep;
        }
    }
    std::setlocale(LC_ALL, saved.c_str());
    if (result.decimal.empty()) result.decimal = ".";
    if (result.thousands.empty()) result.thousands = ",";
    return result;
}

}  // namespace tarn
