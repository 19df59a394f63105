#pragma once
// The converter's exit statuses; the caller only checks that the output exists,
// operators read these.

namespace tarn::overprint {

constexpr int kExitSuccess = 0;
// Temporary form name not made; input or output PDF not opened.
constexpr int kExitOpenFailed = 1;
// A write or read error while the writer produced a PDF; the partial file is removed.
constexpr int kExitWriteFailed = 2;
// Form stage: the first form, the temporary form file, a later form not opened.
constexpr int kExitFirstFormOpen = 20;
constexpr int kExitTempFormOpen = 21;
constexpr int kExitLaterFormOpen = 22;
// Stream mode: the finished result could not be opened again for reading.
constexpr int kExitResultReopen = 30;
constexpr int kExitUnknownOption = 101;
constexpr int kExitTooFewArguments = 201;

}  // namespace tarn::overprint
