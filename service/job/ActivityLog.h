#pragma once
// The activity log: one text line per e-mail outcome and per job whose
// e-mail was refused, appended to the file `emlog` below ModulePath.
// Every line is built whole in memory and appended with one write to a file
// opened for that line alone, so lines from conversations that run at the
// same time stay whole and no lock is needed. Nothing is written when
// `emlog` is empty; a file that cannot be opened is skipped silently.

#include <string>

#include "platform/LocalTime.h"

namespace tarn {

class CServiceContext;
struct EmailRecord;

// "dd/mm/yyyy hh:mm:ss", day first.
std::string ActivityStamp(const LocalDateTime& time);

// A job line: stamp, " ", text, " -> all", " failed" or " succeeded", line end.
std::string JobLogLine(const std::string& stamp, const std::string& text, bool failed);
// An e-mail line: stamp, " ", attachment, " -> ", address list, outcome, line end.
std::string MailLogLine(const std::string& stamp, const std::string& attachment, const std::string& addresses,
                        bool failed);

// Appends one line (already ended) to the log `emlog` below `modulePath`.
void AppendActivityLine(const std::string& modulePath, const std::string& emlog, const std::string& line);

// The job line for the output file `text`, stamped now.
void AppendJobLogLine(const CServiceContext& module, const std::string& text, bool failed);
// The e-mail line for the record's attachment and address list, stamped now.
void AppendMailLogLine(const EmailRecord& record, bool failed);

}  // namespace tarn
