// The PDF object reader and the merge over arbitrary input: the bytes are
// read as the temporary form file and merged with a short text.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "overprint/FormMerge.h"
#include "overprint/OverprintExit.h"
#include "overprint/PdfDocument.h"
#include "overprint/ProgramState.h"
#include "overprint/ReaderPatterns.h"
#include "overprint/TextLayout.h"
#include "platform/File.h"

using namespace tarn;
using namespace tarn::overprint;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string folder = [] {
        std::string dir = "/tmp/overprint-reader-fuzz-" + std::to_string(getpid());
        ::mkdir(dir.c_str(), 0700);
        WriteWholeFile(dir + "/PdfFont.ext",
                       "-------Font begin-----------\n/BaseFont /X\n-------Font end-------------\n");
        return dir;
    }();
    const std::string input = folder + "/in.pdf";
    const std::string output = folder + "/out.pdf";
    WriteWholeFile(input, std::string(reinterpret_cast<const char*>(data), size));

    ResetProgramState();
    programDir = folder;
    pageForms.assign(1, input);
    PatternCache patterns;
    AddReaderPatterns(patterns);
    PdfDocument document(patterns);
    TextLayout layout(&pageForms, folder);
    layout.LayOutText(
        "one \x1b"
        "f100 two\fthree\x1b"
        "bB1 10 10 10 AB\n");
    try {
        if (document.Open(output, input)) {
            document.Read();
            MergeText(document, layout, layout.PageCount());
            document.writer().Close();
        }
    } catch (const OverprintExit&) {
        // a read or write failure ends the run; nothing to check here
    }
    return 0;
}
