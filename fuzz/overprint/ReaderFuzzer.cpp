// The PDF object reader, the form stage and the merge over arbitrary input:
// the bytes are read as the form (as they stand, not through a classic copy)
// and a short text is laid on it.
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "overprint/FormMerge.h"
#include "overprint/FormStage.h"
#include "overprint/OverprintRun.h"
#include "overprint/PdfWriter.h"
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
    WriteWholeFile(input, std::string(reinterpret_cast<const char*>(data), size));

    OverprintRun run;
    run.classicCopies = false;
    run.programDir = folder;
    run.formName = input;
    run.outputName = folder + "/out.pdf";
    run.pageForms.assign(1, input);
    AddReaderPatterns(run.patterns);
    TextLayout layout(run);
    layout.LayOutText(
        "one \x1b"
        "f100 two\fthree\x1b"
        "bB1 10 10 10 AB\n");
    PdfWriter writer;
    FormStage forms(run, writer);
    if (forms.OpenFirst() == Outcome::kOk && writer.Create(run.outputName)) {
        if (MergeText(run, layout, forms, writer) == Outcome::kOk) {
            writer.Commit();
        } else {
            writer.Discard();
        }
    }
    return 0;
}
