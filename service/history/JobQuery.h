#pragma once
// Reading the job history: the latest jobs with filters, one job with its
// e-mail orders, the same as JSON, and the counts the status page shows.
// The database is opened read-only; write-ahead logging lets it be read
// while the server writes.
//
// Threading: one HistoryReader per thread (each holds its own connection).

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Status.h"

namespace tarn {

// Jobs shown when no limit is given.
inline constexpr int kDefaultJobLimit = 20;

struct JobFilter {
    std::string section;        // as sent or as used, without regard to case; empty: any
    bool failedOnly = false;    // only jobs that did not end with "ok"
    std::int64_t sinceMs = -1;  // only jobs that ended at or after this Unix time (ms); -1: any
    std::string client;         // only jobs from this client address; empty: any
    int limit = kDefaultJobLimit;
};

struct MailRow {
    std::string addresses;
    std::string subject;
    std::string outcome;
    std::string reason;
};

struct JobRow {
    std::int64_t id = 0;
    std::int64_t acceptedMs = 0;
    std::int64_t finishedMs = 0;
    std::string clientAddress;
    int clientPort = 0;
    std::string rawNameSent;
    std::string rawName;
    std::string sectionSent;
    std::string section;
    std::string outputPath;
    std::int64_t outputSize = -1;  // -1: no output file
    bool ok = false;
    std::string reply;
    bool replyDelivered = true;
    bool clientGone = false;
    std::string errorEvents;  // identifiers separated by blanks
    int mailsTotal = 0;
    int mailsSent = 0;
    std::vector<MailRow> mails;  // filled by Get only
};

// Counts for the status page.
struct HistorySummary {
    int okToday = 0;
    int failedToday = 0;
    struct Section {
        std::string name;
        int ok = 0;
        int failed = 0;
        std::int64_t lastMs = 0;
    };
    std::vector<Section> sectionsToday;
    // Jobs per hour over the last 24 hours, oldest first; hourStartMs[i]
    // is the start of hour i.
    std::int64_t firstHourMs = 0;
    int okPerHour[24] = {};
    int failedPerHour[24] = {};
};

class HistoryReader {
  public:
    HistoryReader() = default;
    ~HistoryReader();
    HistoryReader(const HistoryReader&) = delete;
    HistoryReader& operator=(const HistoryReader&) = delete;

    // Opens `path` read-only; fails with a message an operator can act on
    // when it is missing or is no job history.
    Status Open(const std::string& path);

    Status List(const JobFilter& filter, std::vector<JobRow>* rows);
    // *found is false when no job has this id.
    Status Get(std::int64_t id, JobRow* row, bool* found);
    // The same as JSON: an array of jobs, or one job with its "mails".
    Status ListJson(const JobFilter& filter, std::string* json);
    Status GetJson(std::int64_t id, std::string* json, bool* found);
    // Counts since `midnightMs` and per hour over the 24 hours before `nowMs`.
    Status Summarise(std::int64_t nowMs, std::int64_t midnightMs, HistorySummary* summary);

  private:
    Status Fail(const std::string& what);

    std::string path_;
    sqlite3* db_ = nullptr;
};

// The database named by the jobHistory setting `value`: an absolute path as
// it is, a relative one below `modulePath`.
std::string HistoryPathFor(const std::string& modulePath, const std::string& value);

// The current Unix time in milliseconds, and the last local midnight before it.
std::int64_t CurrentTimeMs();
std::int64_t LocalMidnightMs(std::int64_t nowMs);
// Reads a --since value: "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS]" (or with a
// "T"), "HH:MM" (today), or an age "30m", "12h", "7d". False when it is none.
bool ParseSince(const std::string& text, std::int64_t nowMs, std::int64_t* sinceMs);
// "YYYY-MM-DD HH:MM:SS" in local time.
std::string LocalTimeText(std::int64_t unixMs);

}  // namespace tarn
