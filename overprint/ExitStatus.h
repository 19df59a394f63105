#pragma once
// How a run of the converter ends. The steps return an Outcome after printing
// their own message; the driver alone turns it into the exit status. The
// caller only checks that the output exists; operators read the statuses.

namespace tarn::overprint {

enum class Outcome {
    kOk,
    // Input or output PDF not opened, or no name for a private result file.
    kOpenFailed,
    // A write or read error while the PDF was made; no output is left.
    kWriteFailed,
    // The text file cannot be read: there is no text to lay.
    kTextUnreadable,
    // The external font file PdfFont.ext cannot be read.
    kFontFileMissing,
    // A form named for later pages (escape command n) cannot be opened or is refused.
    kLaterFormOpen,
    // A form is no usable PDF (not a PDF, damaged beyond repair, protected by a password).
    kFormUnusable,
    // A form has no page to lay the text on.
    kNoPage,
    // Stream mode: the finished result could not be read back.
    kResultReopen,
    kUnknownOption,
    kTooFewArguments,
};

constexpr int ExitStatusOf(Outcome outcome) {
    switch (outcome) {
    case Outcome::kOk:
        return 0;
    case Outcome::kOpenFailed:
        return 1;
    case Outcome::kWriteFailed:
        return 2;
    case Outcome::kTextUnreadable:
        return 3;
    case Outcome::kFontFileMissing:
        return 8;
    case Outcome::kLaterFormOpen:
        return 22;
    case Outcome::kFormUnusable:
        return 23;
    case Outcome::kNoPage:
        return 24;
    case Outcome::kResultReopen:
        return 30;
    case Outcome::kUnknownOption:
        return 101;
    case Outcome::kTooFewArguments:
        return 201;
    }
    return 2;
}

}  // namespace tarn::overprint
