#include "overprint/Driver.h"

#include "overprint/ExitStatus.h"
#include "overprint/FormStage.h"
#include "overprint/Messages.h"
#include "overprint/Options.h"
#include "overprint/OverprintExit.h"
#include "overprint/PatternCache.h"
#include "overprint/PdfDocument.h"
#include "overprint/ProgramState.h"
#include "overprint/ReaderPatterns.h"
#include "overprint/StreamInput.h"
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

// Prefixes of the temporary form file and, in stream mode, of the result
// file when the job names none.
constexpr const char* kTempFormPrefix = "~~TmpPdfForm";
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

void RemoveTemporaryFiles(const std::string& tempForm) {
    for (const auto& part : streamParts) {
        if (!RemoveFile(part.second).ok()) {
            PrintErr("*** ERROR *** Temp pdf file " + part.second + " could not be delete \n");
        }
    }
    if (!RemoveFile(tempForm).ok()) {
        PrintErr("*** ERROR *** Temp text file " + tempForm + "could not be delete \n");
    }
}

// One conversion after the command line has been taken apart.
class Run {
  public:
    Run(TextStages& stages, bool streamMode)
        : stages_(stages), streamMode_(streamMode), document_(patterns_) {}

    int Convert(const std::string& form, const std::string& textFile, const std::vector<std::string>& options,
                std::string outputBase, const std::string& programPath) {
        if (!ProcessOptions(options, &settings_, &outputBase)) return kExitUnknownOption;
        std::string output = outputBase + ".pdf";
        if (streamMode_ && outputBase.empty()) {
            // Without a name of its own, a stream-mode result gets a private
            // file, so that concurrent jobs never share ".pdf".
            if (!CreateUniqueFile(TempFolder(), kStreamResultPrefix, ".pdf", &output).ok()) {
                PrintErr("*** ERROR *** Result file name not create \n");
                return kExitOpenFailed;
            }
            privateResult_ = true;
        }
        programDir = ProgramFolderOf(programPath);
        AddReaderPatterns(patterns_);
        if (!CreateUniqueFile(TempFolder(), kTempFormPrefix, "", &tempForm_).ok()) {
            PrintErr("*** ERROR *** Form file name not create \n");
            return kExitOpenFailed;
        }
        try {
            return Stages(form, textFile, output);
        } catch (const OverprintExit& exit) {
            if (exit.status() == kExitWriteFailed) {
                // Never leave a truncated PDF behind that looks finished.
                document_.writer().Abandon();
                RemoveFile(document_.writer().outputName());
            }
            return exit.status();
        }
    }

  private:
    int Stages(const std::string& form, const std::string& textFile, const std::string& output) {
        pageForms.assign(1, form);
        if (!document_.Open(tempForm_, FormFileOf(form))) return kExitOpenFailed;
        stages_.LayOut(settings_, textFile);
        RunFormStage(document_, tempForm_);
        if (!document_.Open(output, tempForm_)) return kExitOpenFailed;
        document_.Read();
        stages_.Merge(document_, stages_.PageCount());
        if (!document_.writer().Close()) throw OverprintExit(kExitWriteFailed);
        if (streamMode_) {
            bool copied = CopyToStandardOutput(output);
            if (privateResult_) RemoveFile(output);
            if (!copied) {
                PrintErr("*** Error open result pdf file " + output + "***\n");
                return kExitResultReopen;
            }
        }
        document_.CloseInput();
        RemoveTemporaryFiles(tempForm_);
        return kExitSuccess;
    }

    TextStages& stages_;
    bool streamMode_;
    PatternCache patterns_;
    PdfDocument document_;
    LayoutSettings settings_;
    std::string tempForm_;
    bool privateResult_ = false;
};

}  // namespace

int RunOverprint(const std::vector<std::string>& args, TextStages& stages) {
    ResetProgramState();
    const std::string programPath = args.empty() ? std::string() : args[0];
    if (args.size() == 2 && args[1] == "-r") {
        StreamInput input = SplitStreamInput(ReadAllStandardInput());
        // The first part is the report text; the second names the form.
        std::string textFile = streamParts.empty() ? std::string() : streamParts[0].second;
        return Run(stages, true).Convert(input.formName, textFile, input.options, std::string(), programPath);
    }
    if (args.size() < 3) {
        PrintOut(std::string("overprint ") + OVERPRINT_VERSION + " (" + __DATE__ + ")\n");
        return kExitTooFewArguments;
    }
    std::vector<std::string> options(args.begin() + 3, args.end());
    if (options.size() > kMaxOptionStrings) options.resize(kMaxOptionStrings);
    return Run(stages, false).Convert(args[1], args[2], options, DefaultOutputBase(args[1]), programPath);
}

}  // namespace tarn::overprint
