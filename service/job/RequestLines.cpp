#include "service/job/RequestLines.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "service/job/TextHelpers.h"

namespace tarn {
namespace {

// Field positions (0-based) of the command line and the e-mail line.
constexpr std::size_t kRunRawNameField = 1;
constexpr std::size_t kRunSectionField = 2;
constexpr std::size_t kEmailAddressField = 0;
constexpr std::size_t kEmailSubjectField = 1;
constexpr std::size_t kEmailNameField = 2;
constexpr std::size_t kEmailBodyField = 3;
// Length of the "xls" prefix.
constexpr std::size_t kXlsPrefixLength = 3;

std::string Field(const std::vector<std::string>& fields, std::size_t index) {
    return index < fields.size() ? StripControls(fields[index]) : std::string();
}

}  // namespace

bool Contains(const std::string& text, const char* word) { return text.find(word) != std::string::npos; }

RunCommand ParseRunLine(const std::string& line) {
    std::vector<std::string> fields = Tokenize(line, kRunFieldSeparator);
    RunCommand command;
    // The last path component is taken before the name is cut at its first
    // NUL, so a control byte in a folder part cannot become the name.
    command.rawName = CutAtNul(BaseName(Field(fields, kRunRawNameField)));
    command.section = CutAtNul(Field(fields, kRunSectionField));
    return command;
}

bool ParseEmailLine(const std::string& line, EmailRecord* order) {
    std::string rest = line.substr(std::min(line.size(), std::strlen(kEmailMarker)));
    std::vector<std::string> fields = Tokenize(rest, kEmailFieldSeparator);
    std::string address = Field(fields, kEmailAddressField);
    std::string name = Field(fields, kEmailNameField);
    order->addressList = CutAtNul(address);
    order->subject = CutAtNul(Field(fields, kEmailSubjectField));
    order->recipientName = CutAtNul(name);
    order->bodyTemplate = CutAtNul(Field(fields, kEmailBodyField));
    // A field of control bytes only counts as present here.
    return !address.empty() && !name.empty();
}

SectionChoice ChooseSection(const std::string& sentSection) {
    if (StartsWithNoCase(sentSection, kXlsSection))
        return SectionChoice{sentSection.substr(0, kXlsPrefixLength),
                             kSaveDirKey + sentSection.substr(kXlsPrefixLength)};
    return SectionChoice{sentSection, kSaveDirKey};
}

bool IsUsableRawName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (char c : name) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) return false;
        if (std::strchr("\"<>|*?/\\", c) != nullptr) return false;
    }
    return true;
}

}  // namespace tarn
