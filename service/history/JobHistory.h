#pragma once
// The job history writer: every ended job becomes one row of an SQLite
// database (write-ahead logging). The jobs hand their records to the
// history's own thread, which writes them, copies the log into the database
// (the only step that waits for the disk) and removes rows older than the
// keep time; a job never waits for the database.
//
// Group commit: the thread is woken by the first job that waits, lets
// further jobs gather for at most kGatherTime (50 ms) or until kMaxBatch
// (200) wait, and writes them in one transaction, each job inside a
// savepoint of its own. A job is thus still all or nothing (its row and its
// e-mail orders, never part of them), a job the database refuses costs only
// its own row, and a transaction holds the write lock for at most 200 short
// jobs (a few milliseconds). One commit and one wake-up for many jobs is
// what keeps the history's cost per job small; a job can be read at most
// 50 ms plus the write after it ended.
//
// Faults (a file that cannot be opened, a full disk, a lock held elsewhere,
// a read-only or damaged file) are reported as error events and cost the
// jobs nothing but their rows; a damaged file is set aside and a new one
// started. The next jobs try again.
//
// Threading: Record may be called from any number of connection threads at
// once (one mutex guards the queue, another the write connection). Start
// and the destructor are called by the service control only.

#include <sqlite3.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
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
    // `onUnrecorded` is called for every job that could not be recorded.
    JobHistory(std::string path, int keepDays, const CEventReporter& events,
               std::function<void()> onUnrecorded = {});
    ~JobHistory();  // writes the jobs still waiting, stops the thread, closes the file
    JobHistory(const JobHistory&) = delete;
    JobHistory& operator=(const JobHistory&) = delete;

    // Opens or creates the database (faults are reported; the next job tries
    // again) and starts the history's own thread.
    void Start();
    // Hands one ended job to the history's thread, which writes it and its
    // e-mail orders together with the other jobs waiting then. False when
    // too many jobs are waiting already (the job is not recorded; reported).
    bool Record(JobRecord job);
    // Removes rows that ended before `nowMs` minus the keep time, a few at a
    // time; the number removed, -1 when the database could not be used.
    long long Prune(std::int64_t nowMs);

    const std::string& Path() const { return path_; }

  private:
    // Writes `jobs` now, in one transaction; the number written. Each job
    // that could not be written is reported and counted as unrecorded.
    std::size_t Write(const std::deque<JobRecord>& jobs);
    // REQUIRES: mutex_ held.
    bool OpenLocked();
    void CloseLocked();
    // One transaction for `jobs`, a savepoint for each: sets (*written)[i]
    // for the jobs it holds and returns SQLITE_OK once it has committed;
    // otherwise the code and *message of the fault that ended it (nothing
    // of `jobs` is then in the database). A job the database refuses is
    // reported here and left out.
    int WriteLocked(const std::deque<JobRecord>& jobs, std::vector<bool>* written, std::string* message);
    // One job's rows, inside the open transaction.
    int InsertLocked(const JobRecord& job);
    // Moves the damaged file aside and starts a new one.
    void SetAsideLocked(const std::string& why);
    // Reports a fault, at most once a minute for the same text.
    void ReportFault(const std::string& text);
    // Copies the log into the database (a passive checkpoint).
    void Checkpoint();
    // The history's thread: the jobs handed over, in groups, a checkpoint
    // every second, old rows every hour.
    void WriterLoop();

    const std::string path_;
    const int keepDays_;
    const CEventReporter& events_;

    std::mutex mutex_;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* begin_ = nullptr;
    sqlite3_stmt* commit_ = nullptr;
    sqlite3_stmt* savepoint_ = nullptr;
    sqlite3_stmt* release_ = nullptr;
    sqlite3_stmt* rollbackTo_ = nullptr;
    sqlite3_stmt* insertJob_ = nullptr;
    sqlite3_stmt* insertMail_ = nullptr;
    std::chrono::steady_clock::time_point lastOpenAttempt_{};
    bool openAttempted_ = false;

    std::mutex faultMutex_;
    std::string lastFault_;
    std::chrono::steady_clock::time_point lastFaultTime_{};
    long long suppressedFaults_ = 0;

    const std::function<void()> onUnrecorded_;

    std::mutex queueMutex_;
    std::condition_variable queueWake_;
    std::deque<JobRecord> queue_;  // guarded by queueMutex_
    // When queue_ last stopped being empty: no job in it has waited longer.
    std::chrono::steady_clock::time_point firstQueued_{};  // guarded by queueMutex_
    bool stopping_ = false;                                // guarded by queueMutex_
    JoinableThread writer_;
};

}  // namespace tarn
