#include "overprint/Options.h"

#include <cstdint>

#include "common/Text.h"
#include "overprint/Messages.h"

namespace tarn::overprint {
namespace {

bool HasPrefix(const std::string& text, const char* prefix) {
    return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

}  // namespace

bool ProcessOptions(const std::vector<std::string>& options, LayoutSettings* settings,
                    std::string* outputBase, std::string* formsDir) {
    static const struct {
        const char* prefix;
        std::int32_t LayoutSettings::*field;
    } kNumeric[] = {
        {"-t", &LayoutSettings::marginTop},  {"-l", &LayoutSettings::marginLeft},
        {"-s", &LayoutSettings::lineSpace},  {"-f", &LayoutSettings::fontSize},
        {"-n", &LayoutSettings::fontNumber}, {"-z", &LayoutSettings::scale},
    };
    const std::size_t count = options.size() < kMaxOptionStrings ? options.size() : kMaxOptionStrings;
    for (std::size_t i = 0; i < count && !options[i].empty(); i += 2) {
        const std::string& option = options[i];
        const std::string value = i + 1 < count ? options[i + 1] : std::string();
        bool known = false;
        for (const auto& numeric : kNumeric) {
            if (HasPrefix(option, numeric.prefix)) {
                settings->*numeric.field = AtoiLike(value);
                known = true;
                break;
            }
        }
        if (known) continue;
        if (HasPrefix(option, "-o")) {
            *outputBase = value;
            continue;
        }
        if (HasPrefix(option, "-d")) {
            *formsDir = value;
            continue;
        }
        PrintOut("*** Unknown option " + option + "\n");
        PrintOut("Usage: overprint namepdf_file name_txtfile -t XXX -l XXX -s XXX -f XXX -o output_name\n");
        PrintOut(
            "  -t XXX - margintop\n  -l XXX  - marginleft\n  -s XXX  - linespace\n"
            "  -f XXX  - fontsize\n  -n XXX  - font number\n  -z XXX  - scale\n"
            "  -o output_name - output pdf file name (without extention)\n"
            "  where XXX is digit value\n");
        return false;
    }
    return true;
}

}  // namespace tarn::overprint
