// The line splitter, the command / e-mail line parsing and the reading of
// e-mail recipients on arbitrary client bytes, cut into receives of sizes
// taken from the input itself.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "service/job/EmailRecord.h"
#include "service/job/LineSplitter.h"
#include "service/job/Recipients.h"
#include "service/job/RequestLines.h"
#include "service/job/TextHelpers.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

void InspectLine(const std::string& line) {
    // Every line ends as the splitter promises, or is a bounded piece.
    bool lf = line.size() >= 1 && line.back() == '\n';
    bool ff = line.size() >= 2 && line[line.size() - 2] == '\f' && line.back() == '\r';
    Check(lf || ff || line.size() == tarn::kMaxLineBytes);
    // What reaches a log or the console holds no control byte.
    for (char c : tarn::EscapeControls(line)) Check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);

    if (tarn::StartsWith(line, tarn::kRunWord)) {
        tarn::RunCommand command = tarn::ParseRunLine(line);
        Check(command.rawName.find('\0') == std::string::npos);
        Check(command.section.find('\0') == std::string::npos);
        tarn::SectionChoice choice = tarn::ChooseSection(command.section);
        Check(choice.saveDirKey.rfind(tarn::kSaveDirKey, 0) == 0);
        if (tarn::IsUsableRawName(command.rawName)) {
            // A usable name stays inside the save folder.
            std::string path = tarn::JoinPath("/save/", command.rawName);
            Check(path.rfind("/save/", 0) == 0);
            Check(path.find('/', 6) == std::string::npos);
            Check(command.rawName != "." && command.rawName != "..");
        }
    }
    if (tarn::StartsWith(line, tarn::kEmailMarker)) {
        tarn::EmailRecord order;
        tarn::ParseEmailLine(line, &order);
        Check(order.addressList.find('\0') == std::string::npos);
        Check(order.subject.find('\0') == std::string::npos);
        Check(order.recipientName.find('\0') == std::string::npos);
        Check(order.bodyTemplate.find('\0') == std::string::npos);
        // Every address read has a local part and a domain; a list counts what it reads, or nothing.
        std::vector<std::string> addresses;
        const bool read = tarn::ReadRecipients(order.addressList, "", &addresses).ok();
        if (read) {
            for (const std::string& address : addresses) {
                std::string::size_type at = address.rfind('@');
                Check(at != std::string::npos && at > 0 && at + 1 < address.size());
            }
        }
        Check(tarn::CountRecipients(order.addressList, "") ==
              (read ? static_cast<int>(addresses.size()) : 0));
        tarn::RecipientAllowList allowed(order.subject);
        for (const std::string& address : addresses) allowed.Allows(address);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // First byte: receive size (1 to 256 bytes per block).
    std::size_t block = static_cast<std::size_t>(data[0]) + 1;
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    std::size_t left = size - 1;
    tarn::LineSplitter splitter;
    std::string line;
    while (left > 0) {
        std::size_t n = left < block ? left : block;
        splitter.Append(bytes, n);
        bytes += n;
        left -= n;
        while (splitter.TakeLine(&line)) InspectLine(line);
        Check(splitter.Pending().find_first_of("\n\f") == std::string::npos);
    }
    return 0;
}
