#pragma once
// What became of one job, noted by the conversation and the pipeline as the
// job runs and handed to the job history when it ends. Plain data: one
// job's thread fills it, nothing else touches it until the job has ended.

#include <cstdint>
#include <string>
#include <vector>

#include "service/job/EmailRecord.h"

namespace tarn {

// What became of one e-mail order handed to the mail step.
enum class MailResult { kSent, kFailed, kNotAllowed };

struct JobRecord {
    // The connection (filled by the connection handler).
    std::int64_t acceptedMs = 0;  // Unix time in milliseconds
    std::int64_t finishedMs = 0;
    std::string clientAddress;
    int clientPort = 0;

    // The command line, as sent: the raw name before it is cut to its last
    // path component, and the section before the workbook rule.
    std::string rawNameSent;
    std::string sectionSent;
    std::string rawName;  // the name the raw file was given
    std::string section;  // the section looked up
    // What the service sent after the acknowledgement, and whether every
    // byte of it reached the client's side.
    std::string reply;
    bool replyDelivered = true;
    // The client closed the connection before the end of its text.
    bool clientGone = false;
    // The file delivered (or expected) at the end of the pipeline.
    std::string outputPath;
    std::int64_t outputSize = -1;  // -1: no such file when the job ended
    // Error events the job raised, in order.
    std::vector<std::uint32_t> errorEvents;

    // E-mail: the orders of the job, the results of those handed to the
    // mailer (in order), and why the others were not.
    std::vector<EmailRecord> emailOrders;
    bool sendEmail = false;
    std::vector<MailResult> mailResults;
    std::string mailRefusal;

    // The job succeeded: its reply was "ok".
    bool Succeeded() const;
    // Notes `bytes` sent to the client; the greeting and the acknowledgement
    // are not part of the reply.
    void NoteSent(const std::string& bytes, bool delivered);
    // Notes the command line `line` (a `_RUN_` line as received) and the
    // raw name and section taken from it.
    void NoteCommand(const std::string& line, const std::string& usedRawName, const std::string& usedSection);
};

}  // namespace tarn
