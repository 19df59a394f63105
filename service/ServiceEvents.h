#pragma once
// Event types and identifiers of the service's event report. The two high
// bits of an identifier give its severity (0x4... information, 0xC... error);
// the type reported with an identifier always matches it.

#include <cstdint>

#include "platform/EventSink.h"

namespace tarn {

using EventId = std::uint32_t;

// A fixed sentence (success or information type).
inline constexpr EventId kEvtGeneric = 0x00000000;
// "ROGER_CMD": the command line was acknowledged.
inline constexpr EventId kEvtCommandAcknowledged = 0x40000001;
// A line received before the command line.
inline constexpr EventId kEvtLineReceived = 0x40000101;
// The section name of a job.
inline constexpr EventId kEvtSection = 0x40000102;
// The raw file name, later the raw file path.
inline constexpr EventId kEvtRawFile = 0x40000103;
// The save folder of a job.
inline constexpr EventId kEvtSaveFolder = 0x40000104;
// The raw file path.
inline constexpr EventId kEvtRawPath = 0x40000105;
// The raw file name (trace).
inline constexpr EventId kEvtRawNameTrace = 0x40000106;
// The path of a program about to be run.
inline constexpr EventId kEvtProgramPath = 0x40000107;
// The template path.
inline constexpr EventId kEvtTemplatePath = 0x40000108;
// The raw file name as the pipeline takes it up.
inline constexpr EventId kEvtPipelineRawName = 0x40000109;
// The command line of a program about to be run.
inline constexpr EventId kEvtCommandLine = 0x4000010A;
// A merge file.
inline constexpr EventId kEvtMergeFile = 0x4000010B;
// The output file of a job.
inline constexpr EventId kEvtOutputFile = 0x4000010C;

// A host failure, a configuration load failure or an unexpected failure in a conversion.
inline constexpr EventId kEvtHostFailure = 0xC0000003;
// The section that does not exist.
inline constexpr EventId kEvtNoSection = 0xC0000201;
// The save folder that does not exist.
inline constexpr EventId kEvtNoSaveFolder = 0xC0000202;
// The raw file error text.
inline constexpr EventId kEvtRawFileError = 0xC0000203;
// The raw file path, unreadable after writing.
inline constexpr EventId kEvtRawFileUnreadable = 0xC0000205;
// The pipeline failed (empty text).
inline constexpr EventId kEvtJobFailed = 0xC0000206;
// The path of a program that cannot be opened.
inline constexpr EventId kEvtProgramMissing = 0xC0000207;
// A template path that cannot be opened.
inline constexpr EventId kEvtTemplateMissing = 0xC0000208;
// The command line of a program that failed to start or (mailer) failed.
inline constexpr EventId kEvtProgramFailed = 0xC0000209;
// A merge file or an e-mail body template that cannot be opened.
inline constexpr EventId kEvtMergeFileMissing = 0xC000020A;
// The output file that is missing or cannot be measured.
inline constexpr EventId kEvtOutputMissing = 0xC000020B;
// The temporary e-mail body file that cannot be written.
inline constexpr EventId kEvtBodyFileError = 0xC000020C;
// Why e-mail was refused (size limit).
inline constexpr EventId kEvtEmailRefused = 0xC000020D;

}  // namespace tarn
