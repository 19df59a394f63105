#pragma once
// The job history database: its tables, shared by the server that writes it
// and the readers (tarn-jobs, the status page).
//
// jobs   one row per ended job; times are Unix milliseconds (UTC); texts a
//        client sent are stored as UTF-8 (bytes that are not UTF-8 are read
//        as Windows-1252); error_events is a JSON array of "0x..." strings.
// mails  one row per e-mail order of a job, in arrival order; outcome is
//        "sent", "failed" or "not sent" (then reason says why).

namespace tarn {

// Version stored in the database's user_version.
inline constexpr int kHistorySchemaVersion = 1;

inline constexpr const char* kHistorySchema = R"SQL(
CREATE TABLE IF NOT EXISTS jobs (
  id INTEGER PRIMARY KEY,
  accepted INTEGER NOT NULL,
  finished INTEGER NOT NULL,
  client_address TEXT NOT NULL,
  client_port INTEGER NOT NULL,
  raw_name_sent TEXT NOT NULL,
  raw_name TEXT NOT NULL,
  section_sent TEXT NOT NULL,
  section TEXT NOT NULL,
  output_path TEXT NOT NULL,
  output_size INTEGER,
  result TEXT NOT NULL CHECK (result IN ('ok', 'failed')),
  reply TEXT NOT NULL,
  reply_delivered INTEGER NOT NULL,
  client_gone INTEGER NOT NULL,
  error_events TEXT NOT NULL
);
CREATE INDEX IF NOT EXISTS jobs_finished ON jobs (finished);
CREATE TABLE IF NOT EXISTS mails (
  job_id INTEGER NOT NULL REFERENCES jobs (id) ON DELETE CASCADE,
  seq INTEGER NOT NULL,
  addresses TEXT NOT NULL,
  subject TEXT NOT NULL,
  outcome TEXT NOT NULL CHECK (outcome IN ('sent', 'failed', 'not sent')),
  reason TEXT NOT NULL,
  PRIMARY KEY (job_id, seq)
) WITHOUT ROWID;
)SQL";

}  // namespace tarn
