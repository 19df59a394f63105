#include "service/history/JobQuery.h"

#include <chrono>
#include <cstdio>

#include "platform/File.h"
#include "platform/LocalTime.h"
#include "platform/Paths.h"

namespace tarn {
namespace {

// How long a read waits for a moment when the file is being set up.
constexpr int kBusyTimeoutMs = 1000;
constexpr std::int64_t kMsPerHour = 60LL * 60 * 1000;
constexpr int kHoursShown = 24;

// The filters, each a bound parameter (?1 to ?5).
constexpr const char* kWhere =
    " WHERE (?1 IS NULL OR section = ?1 COLLATE NOCASE OR section_sent = ?1 COLLATE NOCASE)"
    " AND (?2 = 0 OR result = 'failed') AND (?3 IS NULL OR finished >= ?3)"
    " AND (?4 IS NULL OR client_address = ?4) ORDER BY id DESC LIMIT ?5";

constexpr const char* kRowColumns =
    "SELECT id, accepted, finished, client_address, client_port, raw_name_sent, raw_name, section_sent,"
    " section, output_path, output_size, result, reply, reply_delivered, client_gone,"
    " (SELECT group_concat(value, ' ') FROM json_each(error_events)),"
    " (SELECT count(*) FROM mails WHERE job_id = jobs.id),"
    " (SELECT count(*) FROM mails WHERE job_id = jobs.id AND outcome = 'sent') FROM jobs";

constexpr const char* kJsonColumns =
    "SELECT json_object('id', id,"
    " 'accepted', strftime('%Y-%m-%dT%H:%M:%fZ', accepted / 1000.0, 'unixepoch'),"
    " 'finished', strftime('%Y-%m-%dT%H:%M:%fZ', finished / 1000.0, 'unixepoch'),"
    " 'duration_ms', finished - accepted, 'client_address', client_address, 'client_port', client_port,"
    " 'raw_name', raw_name, 'raw_name_sent', raw_name_sent, 'section', section, 'section_sent', section_sent,"
    " 'output_path', output_path, 'output_size', output_size, 'result', result, 'reply', reply,"
    " 'reply_delivered', json(CASE WHEN reply_delivered THEN 'true' ELSE 'false' END),"
    " 'client_gone', json(CASE WHEN client_gone THEN 'true' ELSE 'false' END),"
    " 'error_events', json(error_events),"
    " 'mails', (SELECT json_group_array(json_object('addresses', addresses, 'subject', subject,"
    " 'outcome', outcome, 'reason', reason)) FROM (SELECT * FROM mails WHERE job_id = jobs.id ORDER BY seq)))"
    " FROM jobs";

std::string ColumnText(sqlite3_stmt* s, int column) {
    const unsigned char* text = sqlite3_column_text(s, column);
    return text == nullptr ? std::string()
                           : std::string(reinterpret_cast<const char*>(text),
                                         static_cast<std::size_t>(sqlite3_column_bytes(s, column)));
}

// Finalizes a statement however the function ends.
class Statement {
  public:
    Statement(sqlite3* db, const char* sql, int* rc) { *rc = sqlite3_prepare_v2(db, sql, -1, &s_, nullptr); }
    ~Statement() { sqlite3_finalize(s_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return s_; }

  private:
    sqlite3_stmt* s_ = nullptr;
};

void BindFilter(sqlite3_stmt* s, const JobFilter& filter) {
    if (!filter.section.empty()) {
        sqlite3_bind_text(s, 1, filter.section.data(), static_cast<int>(filter.section.size()),
                          SQLITE_TRANSIENT);
    }
    sqlite3_bind_int(s, 2, filter.failedOnly ? 1 : 0);
    if (filter.sinceMs >= 0) sqlite3_bind_int64(s, 3, filter.sinceMs);
    if (!filter.client.empty()) {
        sqlite3_bind_text(s, 4, filter.client.data(), static_cast<int>(filter.client.size()),
                          SQLITE_TRANSIENT);
    }
    sqlite3_bind_int(s, 5, filter.limit);
}

JobRow ReadRow(sqlite3_stmt* s) {
    JobRow row;
    row.id = sqlite3_column_int64(s, 0);
    row.acceptedMs = sqlite3_column_int64(s, 1);
    row.finishedMs = sqlite3_column_int64(s, 2);
    row.clientAddress = ColumnText(s, 3);
    row.clientPort = sqlite3_column_int(s, 4);
    row.rawNameSent = ColumnText(s, 5);
    row.rawName = ColumnText(s, 6);
    row.sectionSent = ColumnText(s, 7);
    row.section = ColumnText(s, 8);
    row.outputPath = ColumnText(s, 9);
    row.outputSize = sqlite3_column_type(s, 10) == SQLITE_NULL ? -1 : sqlite3_column_int64(s, 10);
    row.ok = ColumnText(s, 11) == "ok";
    row.reply = ColumnText(s, 12);
    row.replyDelivered = sqlite3_column_int(s, 13) != 0;
    row.clientGone = sqlite3_column_int(s, 14) != 0;
    row.errorEvents = ColumnText(s, 15);
    row.mailsTotal = sqlite3_column_int(s, 16);
    row.mailsSent = sqlite3_column_int(s, 17);
    return row;
}

}  // namespace

HistoryReader::~HistoryReader() {
    if (db_ != nullptr) sqlite3_close_v2(db_);
}

Status HistoryReader::Fail(const std::string& what) {
    return Status::Error("job history " + path_ + ": " + what + " (" + sqlite3_errmsg(db_) + ")");
}

Status HistoryReader::Open(const std::string& path) {
    path_ = path;
    if (!PathExists(path)) return Status::Error("job history " + path + " does not exist");
    if (IsDirectory(path)) return Status::Error("job history " + path + " is a folder, not a database");
    int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) return Fail("cannot be opened");
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    Statement check(
        db_, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN ('jobs', 'mails')", &rc);
    if (rc != SQLITE_OK) return Fail("cannot be read");
    rc = sqlite3_step(check.get());
    if (rc != SQLITE_ROW) return Fail("cannot be read");
    if (sqlite3_column_int(check.get(), 0) != 2)
        return Status::Error("job history " + path + " holds no job history");
    return Status::Ok();
}

Status HistoryReader::List(const JobFilter& filter, std::vector<JobRow>* rows) {
    int rc = SQLITE_OK;
    Statement query(db_, (std::string(kRowColumns) + kWhere).c_str(), &rc);
    if (rc != SQLITE_OK) return Fail("cannot be read");
    BindFilter(query.get(), filter);
    while ((rc = sqlite3_step(query.get())) == SQLITE_ROW) rows->push_back(ReadRow(query.get()));
    return rc == SQLITE_DONE ? Status::Ok() : Fail("cannot be read");
}

Status HistoryReader::Get(std::int64_t id, JobRow* row, bool* found) {
    int rc = SQLITE_OK;
    Statement query(db_, (std::string(kRowColumns) + " WHERE id = ?1").c_str(), &rc);
    if (rc != SQLITE_OK) return Fail("cannot be read");
    sqlite3_bind_int64(query.get(), 1, id);
    rc = sqlite3_step(query.get());
    *found = rc == SQLITE_ROW;
    if (rc == SQLITE_DONE) return Status::Ok();
    if (rc != SQLITE_ROW) return Fail("cannot be read");
    *row = ReadRow(query.get());
    Statement mails(
        db_, "SELECT addresses, subject, outcome, reason FROM mails WHERE job_id = ?1 ORDER BY seq", &rc);
    if (rc != SQLITE_OK) return Fail("cannot be read");
    sqlite3_bind_int64(mails.get(), 1, id);
    while ((rc = sqlite3_step(mails.get())) == SQLITE_ROW) {
        row->mails.push_back({ColumnText(mails.get(), 0), ColumnText(mails.get(), 1),
                              ColumnText(mails.get(), 2), ColumnText(mails.get(), 3)});
    }
    return rc == SQLITE_DONE ? Status::Ok() : Fail("cannot be read");
}

Status HistoryReader::ListJson(const JobFilter& filter, std::string* json) {
    int rc = SQLITE_OK;
    Statement query(db_, (std::string(kJsonColumns) + kWhere).c_str(), &rc);
    if (rc != SQLITE_OK) return Fail("cannot be read");
    BindFilter(query.get(), filter);
    *json = "[";
    bool first = true;
    while ((rc = sqlite3_step(query.get())) == SQLITE_ROW) {
        *json += (first ? "\n" : ",\n") + ColumnText(query.get(), 0);
        first = false;
    }
    *json += first ? "]\n" : "\n]\n";
    return rc == SQLITE_DONE ? Status::Ok() : Fail("cannot be read");
}

Status HistoryReader::GetJson(std::int64_t id, std::string* json, bool* found) {
    int rc = SQLITE_OK;
    Statement query(db_, (std::string(kJsonColumns) + " WHERE id = ?1").c_str(), &rc);
    if (rc != SQLITE_OK) return Fail("cannot be read");
    sqlite3_bind_int64(query.get(), 1, id);
    rc = sqlite3_step(query.get());
    *found = rc == SQLITE_ROW;
    if (rc == SQLITE_ROW) *json = ColumnText(query.get(), 0) + "\n";
    return rc == SQLITE_ROW || rc == SQLITE_DONE ? Status::Ok() : Fail("cannot be read");
}

Status HistoryReader::Summarise(std::int64_t nowMs, std::int64_t midnightMs, HistorySummary* summary) {
    int rc = SQLITE_OK;
    {
        Statement query(db_,
                        "SELECT section, sum(result = 'ok'), sum(result = 'failed'), max(finished) FROM jobs"
                        " WHERE finished >= ?1 GROUP BY section ORDER BY section",
                        &rc);
        if (rc != SQLITE_OK) return Fail("cannot be read");
        sqlite3_bind_int64(query.get(), 1, midnightMs);
        while ((rc = sqlite3_step(query.get())) == SQLITE_ROW) {
            HistorySummary::Section section;
            section.name = ColumnText(query.get(), 0);
            section.ok = sqlite3_column_int(query.get(), 1);
            section.failed = sqlite3_column_int(query.get(), 2);
            section.lastMs = sqlite3_column_int64(query.get(), 3);
            summary->okToday += section.ok;
            summary->failedToday += section.failed;
            summary->sectionsToday.push_back(std::move(section));
        }
        if (rc != SQLITE_DONE) return Fail("cannot be read");
    }
    // The current hour is the last bar.
    summary->firstHourMs = (nowMs / kMsPerHour - (kHoursShown - 1)) * kMsPerHour;
    Statement hours(db_,
                    "SELECT (finished - ?1) / ?2, sum(result = 'ok'), sum(result = 'failed') FROM jobs"
                    " WHERE finished >= ?1 GROUP BY 1",
                    &rc);
    if (rc != SQLITE_OK) return Fail("cannot be read");
    sqlite3_bind_int64(hours.get(), 1, summary->firstHourMs);
    sqlite3_bind_int64(hours.get(), 2, kMsPerHour);
    while ((rc = sqlite3_step(hours.get())) == SQLITE_ROW) {
        std::int64_t hour = sqlite3_column_int64(hours.get(), 0);
        if (hour < 0 || hour >= kHoursShown) continue;
        summary->okPerHour[hour] = sqlite3_column_int(hours.get(), 1);
        summary->failedPerHour[hour] = sqlite3_column_int(hours.get(), 2);
    }
    return rc == SQLITE_DONE ? Status::Ok() : Fail("cannot be read");
}

std::string HistoryPathFor(const std::string& modulePath, const std::string& value) {
    if (!value.empty() && value[0] == kPathSeparator) return value;
    if (modulePath.empty() || modulePath.back() == kPathSeparator) return modulePath + value;
    return modulePath + kPathSeparator + value;
}

std::int64_t CurrentTimeMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::int64_t LocalMidnightMs(std::int64_t nowMs) {
    LocalDateTime t = LocalTimeAt(nowMs / 1000);
    return UnixTimeOfLocal(t.year, t.month, t.day, 0, 0, 0) * 1000;
}

bool ParseSince(const std::string& text, std::int64_t nowMs, std::int64_t* sinceMs) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    char unit = 0;
    long long amount = 0;
    int used = 0;
    const int length = static_cast<int>(text.size());
    // An age: a number and a unit.
    if (std::sscanf(text.c_str(), "%lld%c%n", &amount, &unit, &used) == 2 && used == length && amount >= 0) {
        const std::int64_t unitMs = unit == 'm'   ? 60000LL
                                    : unit == 'h' ? kMsPerHour
                                    : unit == 'd' ? 24 * kMsPerHour
                                                  : 0;
        if (unitMs == 0 || amount > nowMs / unitMs) return false;
        *sinceMs = nowMs - amount * unitMs;
        return true;
    }
    // A time of today.
    used = 0;
    if (std::sscanf(text.c_str(), "%2d:%2d%n", &hour, &minute, &used) == 2 && used == length) {
        LocalDateTime today = LocalTimeAt(nowMs / 1000);
        if (hour > 23 || minute > 59 || hour < 0 || minute < 0) return false;
        *sinceMs = UnixTimeOfLocal(today.year, today.month, today.day, hour, minute, 0) * 1000;
        return true;
    }
    // A date, with or without a time.
    used = 0;
    hour = minute = second = 0;
    int fields = std::sscanf(text.c_str(), "%4d-%2d-%2d%n", &year, &month, &day, &used);
    if (fields != 3) return false;
    if (used < length) {
        const char separator = text[static_cast<std::size_t>(used)];
        if (separator != ' ' && separator != 'T') return false;
        const std::string rest = text.substr(static_cast<std::size_t>(used) + 1);
        int restUsed = 0;
        if (std::sscanf(rest.c_str(), "%2d:%2d:%2d%n", &hour, &minute, &second, &restUsed) != 3 ||
            restUsed != static_cast<int>(rest.size())) {
            second = 0;
            restUsed = 0;
            if (std::sscanf(rest.c_str(), "%2d:%2d%n", &hour, &minute, &restUsed) != 2 ||
                restUsed != static_cast<int>(rest.size())) {
                return false;
            }
        }
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 59) {
        return false;
    }
    *sinceMs = UnixTimeOfLocal(year, month, day, hour, minute, second) * 1000;
    return true;
}

std::string LocalTimeText(std::int64_t unixMs) {
    LocalDateTime t = LocalTimeAt(unixMs / 1000);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return text;
}

}  // namespace tarn
