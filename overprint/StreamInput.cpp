#include "overprint/StreamInput.h"

#include "overprint/Messages.h"
#include "overprint/Options.h"
#include "platform/OutputFile.h"
#include "platform/TempFile.h"

namespace tarn::overprint {
namespace {

// Prefix of the temporary file of each part.
constexpr const char* kPartPrefix = "~~TmpPdf";

bool EndsLine(char c) { return c == 0x08 || c == 0x0A || c == 0x0C; }

// The part files, one open at a time.
class PartWriter {
  public:
    explicit PartWriter(OverprintRun& run) : run_(run) {}
    void Begin(const std::string& keyLine) {
        End();
        std::string name;
        if (!CreateUniqueFile(TempFolder(), kPartPrefix, "", &name).ok()) {
            PrintErr("*** ERROR *** Temp file name not create \n");
            return;
        }
        if (!file_.Create(name).ok()) {
            PrintErr("Cannot open temp temp file" + name + "\n");
            return;
        }
        run_.streamParts.emplace_back(keyLine, name);
    }
    void Write(const std::string& line) {
        if (file_.IsOpen() && !file_.Write(line).ok()) {
            PrintErr("*** ERROR *** Temp pdf file " + file_.path() + " could not be written \n");
            file_.Abandon();
        }
    }
    void End() {
        if (file_.IsOpen() && !file_.Close().ok()) {
            PrintErr("*** ERROR *** Temp pdf file " + file_.path() + " could not be written \n");
        }
    }

  private:
    OverprintRun& run_;
    OutputFile file_;
};

// The option line cut at blanks; its line-end bytes (the ending byte and a
// CR before it) belong to no option, so "-o result" names "result".
std::vector<std::string> SplitOptionLine(std::string line) {
    while (!line.empty() && (EndsLine(line.back()) || line.back() == '\r')) line.pop_back();
    std::vector<std::string> fields;
    std::size_t pos = 0;
    while (fields.size() < kMaxOptionStrings) {
        pos = line.find_first_not_of(' ', pos);
        if (pos == std::string::npos) break;
        std::size_t stop = line.find(' ', pos);
        if (stop == std::string::npos) stop = line.size();
        fields.push_back(line.substr(pos, stop - pos));
        pos = stop;
    }
    return fields;
}

}  // namespace

StreamInput SplitStreamInput(const std::string& bytes, OverprintRun& run) {
    StreamInput input;
    PartWriter parts(run);
    std::string separator;
    std::size_t lineNumber = 0;
    std::size_t keyLines = 0;
    bool keyLineNext = false;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t stop = start;
        while (stop < bytes.size() && !EndsLine(bytes[stop])) ++stop;
        if (stop < bytes.size()) ++stop;
        const std::string line = bytes.substr(start, stop - start);
        start = stop;
        ++lineNumber;
        if (lineNumber == 1) {
            separator = line;
        } else if (lineNumber == 2 || keyLineNext) {
            keyLineNext = false;
            if (++keyLines == 2) input.formName = line;
            parts.Begin(line);
        } else if (lineNumber == 3) {
            input.options = SplitOptionLine(line);
        } else if (line.compare(0, separator.size(), separator) == 0) {
            keyLineNext = true;
        } else {
            parts.Write(line);
        }
    }
    parts.End();
    return input;
}

}  // namespace tarn::overprint
