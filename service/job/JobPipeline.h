#pragma once
// The job pipeline: turns a complete raw job file into the job's output,
// leaves it in the save folder and hands it to the e-mail orders.
// Runs on the calling conversation's thread; keeps no state between calls.

#include <cstdint>
#include <string>

#include "service/job/JobRequest.h"

namespace tarn {

class CServiceContext;

// The output name of a raw file: its name split at '.', all fields but the
// last joined again with '.'; empty when there are fewer than two fields.
std::string JobStem(const std::string& rawName);

// The name tabulate gives the workbook of `rawName`: the name up to its last
// dot (the whole name when it has none) followed by ".xls".
std::string WorkbookName(const std::string& rawName);

// Converts and delivers one job. True when the output file exists at the
// end and, if e-mail was requested, every order was sent. Never talks to
// the client. The pipeline may set fields of the e-mail orders.
bool ProcessJob(const CServiceContext& context, JobRequest& job);

}  // namespace tarn
