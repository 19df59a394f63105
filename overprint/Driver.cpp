#include "overprint/Driver.h"

#include "overprint/FormMerge.h"
#include "overprint/FormStage.h"
#include "overprint/Messages.h"
#include "overprint/Options.h"
#include "overprint/PdfWriter.h"
#include "overprint/ReaderPatterns.h"
#include "overprint/StreamInput.h"
#include "overprint/TextLayout.h"
#include "platform/File.h"
#include "platform/InputFile.h"
#include "platform/Paths.h"
#include "platform/StandardStreams.h"
#include "platform/TempFile.h"

#ifndef OVERPRINT_VERSION
#define OVERPRINT_VERSION "0"
#endif

namespace tarn::overprint {
namespace {

// Prefix of stream mode's result file when the job names none.
constexpr const char* kStreamResultPrefix = "~~TmpPdfOut";
// Bytes read from standard input, and from the result, at a time.
constexpr std::size_t kCopyChunk = 64 * 1024;

// The form name with everything from its last ".pdf" removed, then "_fill".
std::string DefaultOutputBase(const std::string& form) {
    std::string::size_type dot = form.rfind(".pdf");
    return (dot == std::string::npos ? form : form.substr(0, dot)) + "_fill";
}

// The folder of the program path; without one, the running program's own
// folder, else the current folder.
std::string ProgramFolderOf(const std::string& programPath) {
    std::string::size_type slash = programPath.rfind(kPathSeparator);
    if (slash != std::string::npos) return programPath.substr(0, slash);
    std::string own = ProgramDir();
    if (!own.empty()) return own.substr(0, own.size() - 1);
    return ".";
}

std::string ReadAllStandardInput() {
    std::string bytes;
    char buffer[kCopyChunk];
    for (;;) {
        std::size_t count = 0;
        if (!ReadStandardInput(buffer, sizeof buffer, &count).ok() || count == 0) break;
        bytes.append(buffer, count);
    }
    return bytes;
}

// Copies the finished result to standard output; false when it cannot be read.
bool CopyToStandardOutput(const std::string& path) {
    InputFile result;
    if (!result.Open(path).ok()) return false;
    std::string chunk;
    for (int c; (c = result.ReadByte()) >= 0;) {
        chunk += static_cast<char>(c);
        if (chunk.size() == kCopyChunk) {
            if (!WriteStandardOutput(chunk).ok()) return false;
            chunk.clear();
        }
    }
    return result.error().ok() && WriteStandardOutput(chunk).ok();
}

// Stream mode without an output name: a private result file, so that
// concurrent jobs never share ".pdf".
Outcome NamePrivateResult(OverprintRun& run) {
    if (!CreateUniqueFile(TempFolder(), kStreamResultPrefix, ".pdf", &run.outputName).ok()) {
        PrintErr("*** ERROR *** Result file name not create \n");
        return Outcome::kOpenFailed;
    }
    run.AddTemporary(run.outputName);
    return Outcome::kOk;
}

Outcome CreateOutput(const OverprintRun& run, PdfWriter& writer) {
    if (writer.Create(run.outputName)) return Outcome::kOk;
    PrintOut("*** Error open output pdf file " + run.outputName + "***\n");
    return Outcome::kOpenFailed;
}

Outcome LayOutText(const OverprintRun& run, TextLayout& layout) {
    return layout.LayOut(run.textFile) ? Outcome::kOk : Outcome::kTextUnreadable;
}

Outcome Deliver(const OverprintRun& run) {
    if (!run.streamMode || CopyToStandardOutput(run.outputName)) return Outcome::kOk;
    PrintErr("*** Error open result pdf file " + run.outputName + "***\n");
    return Outcome::kResultReopen;
}

// The conversion after the command line: each step prints its own failure.
Outcome MakePdf(OverprintRun& run) {
    PdfWriter writer;
    FormStage forms(run, writer);
    Outcome outcome = forms.OpenFirst();
    if (outcome == Outcome::kOk) outcome = CreateOutput(run, writer);
    TextLayout layout(run);
    if (outcome == Outcome::kOk) outcome = LayOutText(run, layout);
    if (outcome == Outcome::kOk) outcome = MergeText(run, layout, forms, writer);
    if (outcome != Outcome::kOk) {
        writer.Discard();
        return outcome;
    }
    if (!writer.Commit()) return Outcome::kWriteFailed;
    return Deliver(run);
}

}  // namespace

Outcome TakeCommandLine(const std::vector<std::string>& args, OverprintRun& run) {
    run.programDir = ProgramFolderOf(args.empty() ? std::string() : args[0]);
    std::vector<std::string> options;
    std::string outputBase;
    if (args.size() == 2 && args[1] == "-r") {
        run.streamMode = true;
        StreamInput input = SplitStreamInput(ReadAllStandardInput(), run);
        // The first part is the report text; the second names the form.
        run.textFile = run.streamParts.empty() ? std::string() : run.streamParts[0].second;
        run.formName = input.formName;
        options = std::move(input.options);
    } else if (args.size() < 3) {
        PrintOut(std::string("overprint ") + OVERPRINT_VERSION + " (" + __DATE__ + ")\n");
        return Outcome::kTooFewArguments;
    } else {
        run.formName = args[1];
        run.textFile = args[2];
        outputBase = DefaultOutputBase(args[1]);
        options.assign(args.begin() + 3, args.end());
        if (options.size() > kMaxOptionStrings) options.resize(kMaxOptionStrings);
    }
    if (!ProcessOptions(options, &run.settings, &outputBase, &run.formsDir)) return Outcome::kUnknownOption;
    run.pageForms.assign(1, run.formName);
    if (run.streamMode && outputBase.empty()) return NamePrivateResult(run);
    run.outputName = outputBase + ".pdf";
    return Outcome::kOk;
}

int RunOverprint(const std::vector<std::string>& args) {
    OverprintRun run;
    Outcome outcome = TakeCommandLine(args, run);
    if (outcome == Outcome::kOk) {
        AddReaderPatterns(run.patterns);
        outcome = MakePdf(run);
    }
    run.RemoveTemporaries();
    return ExitStatusOf(outcome);
}

}  // namespace tarn::overprint
