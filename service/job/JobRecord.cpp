#include "service/job/JobRecord.h"

#include "service/job/TextHelpers.h"

namespace tarn {
namespace {

// What the conversation sends before the job's own reply.
constexpr const char* kGreeting = "Hi\n";
constexpr const char* kAcknowledge = "ROGER_CMD\n";
// The reply of a job that succeeded.
constexpr const char* kOkReply = "ok\n";
// Field separator of the command line.
constexpr const char* kFieldSeparator = "\x02";

// `field` without the line end that the last field of a line carries.
std::string WithoutLineEnd(std::string field) {
    while (!field.empty() && (field.back() == '\n' || field.back() == '\r')) field.pop_back();
    return field;
}

}  // namespace

bool JobRecord::Succeeded() const { return reply.rfind(kOkReply, 0) == 0; }

void JobRecord::NoteSent(const std::string& bytes, bool delivered) {
    if (reply.empty() && (bytes == kGreeting || bytes == kAcknowledge)) return;
    reply += bytes;
    replyDelivered = replyDelivered && delivered;
}

void JobRecord::NoteCommand(const std::string& line, const std::string& usedRawName,
                            const std::string& usedSection) {
    std::vector<std::string> fields = Tokenize(line, kFieldSeparator);
    rawNameSent = fields.size() > 1 ? WithoutLineEnd(fields[1]) : std::string();
    sectionSent = fields.size() > 2 ? WithoutLineEnd(fields[2]) : std::string();
    rawName = usedRawName;
    section = usedSection;
}

}  // namespace tarn
