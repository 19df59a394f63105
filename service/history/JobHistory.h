#pragma once
// The job history writer: every ended job becomes one row of an SQLite
// database (write-ahead logging, one short transaction per job), and rows
// older than the keep time are removed by a background thread.
//
// Faults (a file that cannot be opened, a full disk, a lock held elsewhere,
// a read-only or damaged file) are reported as error events and cost the
// job nothing but its row; a damaged file is set aside and a new one
// started. The next job tries again.
//
// Threading: Record may be called from any number of connection threads at
// once; one mutex guards the write connection. Start and the destructor are
// called by the service control only.

#include <sqlite3.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Thread.h"
#include "service/job/JobRecord.h"

namespace tarn {

class CEventReporter;

// Rows are kept this many days when the setting is missing.
inline constexpr int kDefaultHistoryDays = 90;
// The database file's name below ModulePath when the setting is missing.
inline constexpr const char* kDefaultHistoryFile = "jobs.db";

// One e-mail order as the history keeps it.
struct MailOutcome {
    std::string addresses;
    std::string subject;
    std::string outcome;  // "sent", "failed" or "not sent"
    std::string reason;   // why it was not sent
};

// The orders of `job` with what became of each.
std::vector<MailOutcome> MailOutcomesOf(const JobRecord& job);

class JobHistory {
  public:
    // `path`: the database file. `keepDays` <= 0 keeps rows for ever.
    JobHistory(std::string path, int keepDays, const CEventReporter& events);
    ~JobHistory();  // stops the background removal and closes the file
    JobHistory(const JobHistory&) = delete;
    JobHistory& operator=(const JobHistory&) = delete;

    // Opens or creates the database (faults are reported; the next job tries
    // again) and starts the background removal of old rows.
    void Start();
    // Writes one ended job and its e-mail orders in one transaction. False
    // when it could not be written (the fault has been reported).
    bool Record(const JobRecord& job);
    // Removes rows that ended before `nowMs` minus the keep time, a few at a
    // time; the number removed, -1 when the database could not be used.
    long long Prune(std::int64_t nowMs);

    const std::string& Path() const { return path_; }

  private:
    // REQUIRES: mutex_ held.
    bool OpenLocked();
    void CloseLocked();
    bool WriteLocked(const JobRecord& job, int* sqliteCode, std::string* message);
    // Moves the damaged file aside and starts a new one.
    void SetAsideLocked(const std::string& why);
    // Reports a fault, at most once a minute for the same text.
    void ReportFault(const std::string& text);
    void PruneLoop();

    const std::string path_;
    const int keepDays_;
    const CEventReporter& events_;

    std::mutex mutex_;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* insertJob_ = nullptr;
    sqlite3_stmt* insertMail_ = nullptr;
    std::chrono::steady_clock::time_point lastOpenAttempt_{};
    bool openAttempted_ = false;

    std::mutex faultMutex_;
    std::string lastFault_;
    std::chrono::steady_clock::time_point lastFaultTime_{};
    long long suppressedFaults_ = 0;

    std::mutex pruneMutex_;
    std::condition_variable pruneWake_;
    bool stopping_ = false;
    JoinableThread pruner_;
};

}  // namespace tarn
