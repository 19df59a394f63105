#include "service/history/JobHistory.h"

#include <algorithm>
#include <cstdio>

#include "platform/File.h"
#include "platform/LocalTime.h"
#include "service/history/DisplayText.h"
#include "service/history/HistoryEvents.h"
#include "service/history/HistorySchema.h"
#include "service/job/ServiceContext.h"
#include "service/job/TextHelpers.h"

namespace tarn {
namespace {

// How long a write waits for a lock held by another connection.
constexpr int kBusyTimeoutMs = 1000;
// After a failed open, the next job tries again only after this pause, so
// that a missing folder costs the jobs nothing.
constexpr auto kReopenInterval = std::chrono::seconds(2);
// The same fault is reported at most this often.
constexpr auto kFaultReportInterval = std::chrono::seconds(60);
// Old rows are looked for this often, and removed this many per transaction.
constexpr auto kPruneInterval = std::chrono::hours(1);
// The log is copied into the database this often by the background thread,
// never by a job: a copy ends with a flush to disk.
constexpr auto kCheckpointInterval = std::chrono::seconds(1);
// Should the background copies stop (the file cannot be opened by them),
// the writer copies the log itself once it holds this many pages.
constexpr int kFallbackCheckpointPages = 20000;
// Jobs waiting to be written at most; more are not recorded (and reported),
// so that a database that stays locked cannot fill the memory.
constexpr std::size_t kMaxQueuedJobs = 10000;
constexpr int kPruneBatch = 500;
constexpr std::int64_t kMsPerDay = 24LL * 60 * 60 * 1000;

constexpr const char* kInsertJob =
    "INSERT INTO jobs (accepted, finished, client_address, client_port, raw_name_sent, raw_name,"
    " section_sent, section, output_path, output_size, result, reply, reply_delivered, client_gone,"
    " error_events) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15)";
constexpr const char* kInsertMail =
    "INSERT INTO mails (job_id, seq, addresses, subject, outcome, reason) VALUES (?1, ?2, ?3, ?4, ?5, ?6)";
constexpr const char* kPruneRows =
    "DELETE FROM jobs WHERE id IN (SELECT id FROM jobs WHERE finished < ?1 ORDER BY finished LIMIT ?2)";

bool IsDamage(int code) {
    int primary = code & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

void BindText(sqlite3_stmt* statement, int index, const std::string& text) {
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

std::string EventList(const std::vector<std::uint32_t>& ids) {
    std::string json = "[";
    for (std::size_t i = 0; i < ids.size(); ++i) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "\"0x%08X\"", static_cast<unsigned>(ids[i]));
        json += (i > 0 ? "," : "") + std::string(buffer);
    }
    return json + "]";
}

// Runs `sql` (no results wanted); the SQLite result code.
int Execute(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

std::int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// A name beside `path` for a damaged file, not in use yet.
std::string SetAsideName(const std::string& path) {
    LocalDateTime now = CurrentLocalTime();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", now.year, now.month, now.day, now.hour,
                  now.minute, now.second);
    std::string base = path + ".damaged-" + stamp;
    std::string name = base;
    for (int n = 2; PathExists(name); ++n) name = base + "-" + std::to_string(n);
    return name;
}

}  // namespace

std::vector<MailOutcome> MailOutcomesOf(const JobRecord& job) {
    std::vector<MailOutcome> outcomes;
    for (std::size_t i = 0; i < job.emailOrders.size(); ++i) {
        MailOutcome mail;
        mail.addresses = job.emailOrders[i].addressList;
        mail.subject = job.emailOrders[i].subject;
        if (i < job.mailResults.size() && job.mailResults[i] == MailResult::kNotAllowed) {
            mail.outcome = "not sent";
            mail.reason = "an address the emallow setting does not allow";
        } else if (i < job.mailResults.size()) {
            mail.outcome = job.mailResults[i] == MailResult::kSent ? "sent" : "failed";
        } else {
            mail.outcome = "not sent";
            if (!job.mailRefusal.empty()) {
                mail.reason = job.mailRefusal;
            } else if (!job.sendEmail) {
                mail.reason = "e-mail turned off by the job's last e-mail line";
            } else {
                mail.reason = "the job ended before its output was delivered";
            }
        }
        outcomes.push_back(std::move(mail));
    }
    return outcomes;
}

JobHistory::JobHistory(std::string path, int keepDays, const CEventReporter& events,
                       std::function<void()> onUnrecorded)
    : path_(std::move(path)), keepDays_(keepDays), events_(events), onUnrecorded_(std::move(onUnrecorded)) {}

JobHistory::~JobHistory() {
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        stopping_ = true;
    }
    queueWake_.notify_all();
    writer_.Join();
    std::lock_guard<std::mutex> lock(mutex_);
    CloseLocked();
}

void JobHistory::Start() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        OpenLocked();
    }
    if (!writer_.Started()) {
        Status started = writer_.Start([this] { WriterLoop(); });
        if (!started)
            ReportFault("cannot start its writer thread (" + started.message() +
                        "); jobs write it themselves");
    }
}

bool JobHistory::OpenLocked() {
    if (db_ != nullptr) return true;
    lastOpenAttempt_ = std::chrono::steady_clock::now();
    openAttempted_ = true;
    for (int attempt = 0; attempt < 2; ++attempt) {
        int rc = sqlite3_open_v2(path_.c_str(), &db_,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc == SQLITE_OK) {
            sqlite3_busy_timeout(db_, kBusyTimeoutMs);
            sqlite3_extended_result_codes(db_, 1);
            const std::string pragmas =
                "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;"
                " PRAGMA wal_autocheckpoint=" +
                std::to_string(kFallbackCheckpointPages) + ";";
            rc = Execute(db_, pragmas.c_str());
        }
        if (rc == SQLITE_OK) {
            // The tables, created once; a newer layout is left alone.
            sqlite3_stmt* version = nullptr;
            rc = sqlite3_prepare_v2(db_, "PRAGMA user_version", -1, &version, nullptr);
            int stored = 0;
            if (rc == SQLITE_OK && (rc = sqlite3_step(version)) == SQLITE_ROW) {
                stored = sqlite3_column_int(version, 0);
                rc = SQLITE_OK;
            }
            sqlite3_finalize(version);
            if (rc == SQLITE_OK && stored > kHistorySchemaVersion) {
                CloseLocked();
                ReportFault("cannot be opened (written by a newer TARNSvr, layout " + std::to_string(stored) +
                            ")");
                return false;
            }
            if (rc == SQLITE_OK && stored < kHistorySchemaVersion) {
                std::string create = std::string("BEGIN IMMEDIATE;") + kHistorySchema +
                                     "PRAGMA user_version=" + std::to_string(kHistorySchemaVersion) +
                                     ";COMMIT;";
                rc = Execute(db_, create.c_str());
                if (rc != SQLITE_OK) Execute(db_, "ROLLBACK");
            }
        }
        if (rc == SQLITE_OK) rc = sqlite3_prepare_v2(db_, "BEGIN IMMEDIATE", -1, &begin_, nullptr);
        if (rc == SQLITE_OK) rc = sqlite3_prepare_v2(db_, "COMMIT", -1, &commit_, nullptr);
        if (rc == SQLITE_OK) rc = sqlite3_prepare_v2(db_, kInsertJob, -1, &insertJob_, nullptr);
        if (rc == SQLITE_OK) rc = sqlite3_prepare_v2(db_, kInsertMail, -1, &insertMail_, nullptr);
        if (rc == SQLITE_OK) return true;

        std::string message = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        if (db_ != nullptr) rc = sqlite3_extended_errcode(db_);
        CloseLocked();
        if (attempt == 0 && IsDamage(rc)) {
            SetAsideLocked(message);
            continue;
        }
        ReportFault("cannot be opened (" + message + ")");
        return false;
    }
    return false;
}

void JobHistory::CloseLocked() {
    for (sqlite3_stmt** statement : {&begin_, &commit_, &insertJob_, &insertMail_}) {
        sqlite3_finalize(*statement);
        *statement = nullptr;
    }
    if (db_ != nullptr) sqlite3_close_v2(db_);
    db_ = nullptr;
}

void JobHistory::SetAsideLocked(const std::string& why) {
    CloseLocked();
    const std::string aside = SetAsideName(path_);
    Status moved = RenameFile(path_, aside);
    // The log belongs to the damaged file; the index of shared memory is rebuilt.
    RenameFile(path_ + "-wal", aside + "-wal");
    RemoveFile(path_ + "-shm");
    std::string text = "Job history " + path_ + " is damaged (" + why + "); ";
    text += moved ? "set aside as " + aside + ", a new one is started"
                  : "it could not be set aside (" + moved.message() + ")";
    events_.ReportServiceEvent(EventType::kError, kEvtHistorySetAside, text);
}

bool JobHistory::WriteLocked(const JobRecord& job, int* sqliteCode, std::string* message) {
    const bool succeeded = job.Succeeded();
    sqlite3_reset(begin_);
    int rc = sqlite3_step(begin_);
    rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
    if (rc == SQLITE_OK) {
        sqlite3_stmt* s = insertJob_;
        sqlite3_reset(s);
        sqlite3_bind_int64(s, 1, job.acceptedMs);
        sqlite3_bind_int64(s, 2, job.finishedMs);
        BindText(s, 3, job.clientAddress);
        sqlite3_bind_int(s, 4, job.clientPort);
        BindText(s, 5, ToUtf8(job.rawNameSent));
        BindText(s, 6, ToUtf8(CutAtNul(job.rawName)));
        BindText(s, 7, ToUtf8(job.sectionSent));
        BindText(s, 8, ToUtf8(CutAtNul(job.section)));
        BindText(s, 9, ToUtf8(job.outputPath));
        if (job.outputSize >= 0) {
            sqlite3_bind_int64(s, 10, job.outputSize);
        } else {
            sqlite3_bind_null(s, 10);
        }
        BindText(s, 11, succeeded ? "ok" : "failed");
        BindText(s, 12, ToUtf8(job.reply));
        sqlite3_bind_int(s, 13, job.replyDelivered ? 1 : 0);
        sqlite3_bind_int(s, 14, job.clientGone ? 1 : 0);
        BindText(s, 15, EventList(job.errorEvents));
        rc = sqlite3_step(s);
        rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
    }
    const sqlite3_int64 id = sqlite3_last_insert_rowid(db_);
    const std::vector<MailOutcome> mails = MailOutcomesOf(job);
    for (std::size_t i = 0; rc == SQLITE_OK && i < mails.size(); ++i) {
        sqlite3_stmt* s = insertMail_;
        sqlite3_reset(s);
        sqlite3_bind_int64(s, 1, id);
        sqlite3_bind_int(s, 2, static_cast<int>(i + 1));
        BindText(s, 3, ToUtf8(CutAtNul(mails[i].addresses)));
        BindText(s, 4, ToUtf8(CutAtNul(mails[i].subject)));
        BindText(s, 5, mails[i].outcome);
        BindText(s, 6, ToUtf8(mails[i].reason));
        rc = sqlite3_step(s);
        rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
    }
    if (rc == SQLITE_OK) {
        sqlite3_reset(commit_);
        rc = sqlite3_step(commit_);
        rc = rc == SQLITE_DONE ? SQLITE_OK : rc;
    }
    if (rc == SQLITE_OK) return true;
    *sqliteCode = sqlite3_extended_errcode(db_);
    *message = sqlite3_errmsg(db_);
    Execute(db_, "ROLLBACK");
    return false;
}

bool JobHistory::Record(JobRecord job) {
    if (!writer_.Started()) return Write(job);
    {
        std::lock_guard<std::mutex> lock(queueMutex_);
        if (queue_.size() < kMaxQueuedJobs) {
            queue_.push_back(std::move(job));
            queueWake_.notify_one();
            return true;
        }
    }
    ReportFault("has " + std::to_string(kMaxQueuedJobs) +
                " jobs waiting to be written; the job is not recorded");
    if (onUnrecorded_) onUnrecorded_();
    return false;
}

bool JobHistory::Write(const JobRecord& job) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (db_ == nullptr && openAttempted_ &&
        std::chrono::steady_clock::now() - lastOpenAttempt_ < kReopenInterval) {
        ReportFault("cannot be opened; the job is not recorded");
        return false;
    }
    if (!OpenLocked()) return false;
    int code = SQLITE_OK;
    std::string message;
    if (WriteLocked(job, &code, &message)) return true;
    if (IsDamage(code)) {
        SetAsideLocked(message);
        if (OpenLocked() && WriteLocked(job, &code, &message)) return true;
    }
    ReportFault("cannot be written (" + message + "); the job is not recorded");
    if ((code & 0xFF) == SQLITE_READONLY || (code & 0xFF) == SQLITE_IOERR) CloseLocked();
    return false;
}

void JobHistory::ReportFault(const std::string& text) {
    std::lock_guard<std::mutex> lock(faultMutex_);
    const auto now = std::chrono::steady_clock::now();
    if (text == lastFault_ && now - lastFaultTime_ < kFaultReportInterval) {
        ++suppressedFaults_;
        return;
    }
    std::string report = "Job history " + path_ + " " + text;
    if (suppressedFaults_ > 0) {
        report += " (" + std::to_string(suppressedFaults_) + " like faults since the last report)";
    }
    lastFault_ = text;
    lastFaultTime_ = now;
    suppressedFaults_ = 0;
    events_.ReportServiceEvent(EventType::kError, kEvtHistoryFault, report);
}

long long JobHistory::Prune(std::int64_t nowMs) {
    if (keepDays_ <= 0) return 0;
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    sqlite3_stmt* prune = nullptr;
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(db, kBusyTimeoutMs);
        rc = Execute(db, "PRAGMA foreign_keys=ON");
    }
    if (rc == SQLITE_OK) rc = sqlite3_prepare_v2(db, kPruneRows, -1, &prune, nullptr);
    long long removed = 0;
    // One short transaction per batch, so that jobs never wait long for the lock.
    while (rc == SQLITE_OK) {
        sqlite3_reset(prune);
        sqlite3_bind_int64(prune, 1, nowMs - keepDays_ * kMsPerDay);
        sqlite3_bind_int(prune, 2, kPruneBatch);
        rc = sqlite3_step(prune);
        if (rc != SQLITE_DONE) break;
        rc = SQLITE_OK;
        int changed = sqlite3_changes(db);
        removed += changed;
        if (changed < kPruneBatch) break;
    }
    if (rc != SQLITE_OK) {
        std::string message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        ReportFault("old rows cannot be removed (" + message + ")");
        removed = -1;
    }
    sqlite3_finalize(prune);
    if (db != nullptr) sqlite3_close_v2(db);
    return removed;
}

void JobHistory::Checkpoint() {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) ==
        SQLITE_OK) {
        sqlite3_busy_timeout(db, kBusyTimeoutMs);
        // A connection opens the log only when it first reads; until then a
        // checkpoint finds no log and copies nothing.
        Execute(db, "PRAGMA schema_version");
        // Passive: jobs keep writing while the pages are copied.
        sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    }
    sqlite3_close_v2(db);
}

void JobHistory::WriterLoop() {
    const auto now = [] { return std::chrono::steady_clock::now(); };
    auto nextCheckpoint = now() + kCheckpointInterval;
    auto nextPrune = now();
    std::unique_lock<std::mutex> lock(queueMutex_);
    for (;;) {
        queueWake_.wait_until(lock, std::min(nextCheckpoint, nextPrune),
                              [this] { return stopping_ || !queue_.empty(); });
        std::deque<JobRecord> jobs;
        jobs.swap(queue_);
        const bool stopping = stopping_;
        lock.unlock();
        // One transaction per job. When stopping, a database that cannot be
        // written does not hold the stop up for every job still waiting.
        bool failed = false;
        for (const JobRecord& job : jobs) {
            if (!(stopping && failed) && Write(job)) continue;
            failed = true;
            if (onUnrecorded_) onUnrecorded_();
        }
        if (!stopping && now() >= nextCheckpoint) {
            Checkpoint();
            nextCheckpoint = now() + kCheckpointInterval;
        }
        if (!stopping && now() >= nextPrune) {
            Prune(NowMs());
            nextPrune = now() + kPruneInterval;
        }
        lock.lock();
        if (stopping && queue_.empty()) return;
    }
}

}  // namespace tarn
