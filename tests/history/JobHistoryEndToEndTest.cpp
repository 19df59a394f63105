// The job history through the real TARNSvr: every job recorded once when it
// ends (succeeded, failed, ended early), e-mail outcomes with the real blat
// and a real SMTP server, database faults that cost a job nothing, 100
// concurrent jobs, old rows removed in the background, and tarn-jobs.

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <set>

#include "service/history/JobHistory.h"
#include "tests/history/HistoryTestSupport.h"

namespace tarn {
namespace {

using namespace tarn::testing;

std::string EmailLine(const std::string& to, const std::string& name) {
    return "\x02"
           "email:" +
           to + "^Invoice^" + name + "^\r\n";
}

TEST(JobHistoryEndToEnd, EveryJobIsRecordedOnceWithWhatBecameOfIt) {
    ScratchFolder mailDir;
    SmtpTestServer::Options refusing;
    refusing.refuse = "refused";
    SmtpTestServer smtp(mailDir.path(), refusing);
    ASSERT_TRUE(smtp.running());
    HistoryServer h;
    std::filesystem::create_directories(h.dir / "tools");
    std::filesystem::create_symlink(std::string(TARN_BIN_DIR) + "/blat", h.dir / "tools/blat");
    ASSERT_TRUE(h.Start("emport=" + std::to_string(smtp.port()) + "\n")) << h.server.Console();

    EXPECT_EQ(h.Job("C:\\jobs\\ok.txt", "plain", "hello\r\n_EOF_\r\n"), kOkBye);
    EXPECT_EQ(h.Job("fail.txt", "PDF", "x\r\n_EOF_\r\n"), kFailedBye);
    EXPECT_EQ(h.Job("nosection.txt", "NOPE", ""),
              "Hi\nROGER_CMD\nERROR:section NOPE does not exist in ini file /n Bye \n");
    EXPECT_EQ(h.Job("nofolder.txt", "NOFOLDER", ""),
              "Hi\nROGER_CMD\nERROR: " + h.dir.path() + "missing/ does not exist/n");
    // One order delivered, one refused by the mail server; then a job whose
    // last e-mail line is rejected, which turns its e-mail off.
    EXPECT_EQ(h.Job("mail.txt", "PLAIN",
                    EmailLine("ok@example.org", "Ann") + EmailLine("refused@example.org", "Bob") +
                        "text\r\n_EOF_\r\n"),
              kFailedBye);
    EXPECT_EQ(
        h.Job("off.txt", "PLAIN", EmailLine("ok@example.org", "Ann") + EmailLine("", "") + "t\r\n_EOF_\r\n"),
        kOkBye);
    {
        // A client that leaves before _EOF_: its text is still processed.
        TestClient gone(h.server.port());
        gone.ReadUntil("Hi\n");
        gone.Send(RunLine("gone.txt", "PLAIN"));
        gone.ReadUntil("ROGER_CMD\n");
        gone.Send("partial line\r\n");
    }
    {
        // A client that leaves before its command.
        TestClient silent(h.server.port());
        silent.ReadUntil("Hi\n");
    }

    const std::vector<JobRow> rows = h.WaitForRows(8);
    ASSERT_EQ(rows.size(), 8u);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(h.WaitForRows(8).size(), 8u) << "a job was recorded twice";

    const JobRow* ok = ByName(rows, "ok.txt");
    ASSERT_NE(ok, nullptr);
    EXPECT_TRUE(ok->ok);
    EXPECT_EQ(ok->rawNameSent, "C:\\jobs\\ok.txt");
    EXPECT_EQ(ok->sectionSent, "plain");
    EXPECT_EQ(ok->section, "plain");
    EXPECT_EQ(ok->clientAddress, "127.0.0.1");
    EXPECT_GT(ok->clientPort, 0);
    EXPECT_EQ(ok->outputPath, h.dir / "out/ok.txt");
    EXPECT_EQ(ok->outputSize, 7);  // "hello\r\n"
    EXPECT_EQ(ok->reply, "ok\nBye\n");
    EXPECT_TRUE(ok->errorEvents.empty());
    EXPECT_LE(ok->acceptedMs, ok->finishedMs);

    const JobRow* fail = ByName(rows, "fail.txt");
    ASSERT_NE(fail, nullptr);
    EXPECT_FALSE(fail->ok);
    EXPECT_EQ(fail->errorEvents, "0xC0000207 0xC0000206");  // converter missing, job failed

    const JobRow* nosection = ByName(rows, "nosection.txt");
    ASSERT_NE(nosection, nullptr);
    EXPECT_FALSE(nosection->ok);
    EXPECT_EQ(nosection->errorEvents, "0xC0000201");
    const JobRow* nofolder = ByName(rows, "nofolder.txt");
    ASSERT_NE(nofolder, nullptr);
    EXPECT_EQ(nofolder->errorEvents, "0xC0000202");

    const JobRow* mail = ByName(rows, "mail.txt");
    ASSERT_NE(mail, nullptr);
    ASSERT_EQ(mail->mails.size(), 2u);
    EXPECT_EQ(mail->mails[0].addresses, "ok@example.org");
    EXPECT_EQ(mail->mails[0].subject, "Invoice");
    EXPECT_EQ(mail->mails[0].outcome, "sent");
    EXPECT_EQ(mail->mails[1].outcome, "failed");
    EXPECT_EQ(mail->mailsSent, 1);
    const JobRow* off = ByName(rows, "off.txt");
    ASSERT_NE(off, nullptr);
    ASSERT_EQ(off->mails.size(), 1u);
    EXPECT_EQ(off->mails[0].outcome, "not sent");
    EXPECT_NE(off->mails[0].reason.find("turned off"), std::string::npos) << off->mails[0].reason;

    const JobRow* gone = ByName(rows, "gone.txt");
    ASSERT_NE(gone, nullptr);
    EXPECT_TRUE(gone->clientGone);
    EXPECT_TRUE(gone->ok);
    EXPECT_EQ(ReadFile(h.dir / "out/gone.txt"), "partial line\r\n");
    const JobRow* silent = ByName(rows, "");
    ASSERT_NE(silent, nullptr);
    EXPECT_TRUE(silent->clientGone);
    EXPECT_FALSE(silent->ok);
    EXPECT_EQ(silent->errorEvents, "0xC0000201");

    // tarn-jobs: the table, filters, JSON, one job, and its faults.
    const std::string db = h.dir / "jobs.db";
    ProgramRun table = h.Jobs({"--db", db});
    ASSERT_EQ(table.exitCode, 0) << table.err;
    std::vector<std::string> lines = Lines(table.out);
    ASSERT_EQ(lines.size(), 9u) << table.out;
    EXPECT_EQ(lines[0].rfind("ID", 0), 0u);
    const std::string::size_type resultColumn = lines[0].find("RESULT");
    for (std::size_t i = 1; i < lines.size(); ++i) {
        EXPECT_TRUE(lines[i].compare(resultColumn, 2, "ok") == 0 ||
                    lines[i].compare(resultColumn, 6, "FAILED") == 0)
            << "misaligned: " << lines[i];
    }
    EXPECT_EQ(Lines(h.Jobs({"--db", db, "--failed"}).out).size(), 1u + 5);
    EXPECT_EQ(Lines(h.Jobs({"--db", db, "--section", "PLAIN", "--limit", "3"}).out).size(), 1u + 3);
    EXPECT_EQ(Lines(h.Jobs({"--db", db, "--client", "127.0.0.2"}).out).size(), 1u);
    EXPECT_EQ(Lines(h.Jobs({"--db", db, "--since", "1h"}).out).size(), 1u + 8);
    EXPECT_EQ(Lines(h.Jobs({"--db", db, "--since", "2000-01-01 00:00"}).out).size(), 1u + 8);
    std::string summary;
    ProgramRun json = h.Jobs({"--db", db, "--json", "--failed"});
    ASSERT_TRUE(ReadJson(json.out, "len(v), ','.join(sorted(j['raw_name'] for j in v)), v[0]['result']",
                         h.dir.path(), &summary))
        << json.out;
    EXPECT_EQ(summary, "5 ,fail.txt,mail.txt,nofolder.txt,nosection.txt failed\n");
    ProgramRun show = h.Jobs({"--db", db, "show", std::to_string(mail->id)});
    EXPECT_EQ(show.exitCode, 0);
    EXPECT_NE(show.out.find("1. ok@example.org  subject \"Invoice\"  sent"), std::string::npos) << show.out;
    EXPECT_NE(show.out.find("2. refused@example.org  subject \"Invoice\"  failed"), std::string::npos)
        << show.out;
    ProgramRun showJson = h.Jobs({"--db", db, "--json", "show", std::to_string(mail->id)});
    ASSERT_TRUE(ReadJson(showJson.out, "[m['outcome'] for m in v['mails']]", h.dir.path(), &summary));
    EXPECT_EQ(summary, "['sent', 'failed']\n");
    // Found through TARN.ini as the server finds it.
    ProgramRun viaIni = h.Jobs({"--config", h.dir / "TARN.ini", "--limit", "1"});
    EXPECT_EQ(viaIni.exitCode, 0) << viaIni.err;
    EXPECT_EQ(Lines(viaIni.out).size(), 2u);

    ProgramRun missing = h.Jobs({"--db", h.dir / "none.db"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("none.db does not exist"), std::string::npos) << missing.err;
    WriteFile(h.dir / "garbage.db", std::string(4096, 'x'));
    ProgramRun garbage = h.Jobs({"--db", h.dir / "garbage.db"});
    EXPECT_EQ(garbage.exitCode, 1);
    EXPECT_NE(garbage.err.find("not a database"), std::string::npos) << garbage.err;
    EXPECT_EQ(h.Jobs({"--db", db, "--since", "yesterday"}).exitCode, 2);
    EXPECT_EQ(h.Jobs({"--db", db, "show", "999"}).exitCode, 1);
    EXPECT_EQ(h.Jobs({"--version"}).out, "tarn-jobs " TARN_VERSION "\n");
}

TEST(JobHistoryEndToEnd, HundredConcurrentJobsAreEachRecordedOnce) {
    HistoryServer h;
    ASSERT_TRUE(h.Start("statusPort=0\n")) << h.server.Console();
    constexpr int kJobs = 100;
    std::vector<std::string> replies(kJobs);
    std::vector<std::thread> clients;
    for (int i = 0; i < kJobs; ++i) {
        clients.emplace_back([&h, &replies, i] {
            replies[i] = h.Job("c" + std::to_string(i) + ".txt", "PLAIN",
                               "line " + std::to_string(i) + "\r\n_EOF_\r\n");
        });
    }
    for (std::thread& t : clients) t.join();
    for (int i = 0; i < kJobs; ++i) EXPECT_EQ(replies[i], kOkBye) << i;

    const std::vector<JobRow> rows = h.WaitForRows(kJobs);
    std::set<std::string> names;
    std::set<std::int64_t> ids;
    for (const JobRow& row : rows) {
        names.insert(row.rawName);
        ids.insert(row.id);
        EXPECT_TRUE(row.ok) << row.rawName;
    }
    EXPECT_EQ(rows.size(), static_cast<std::size_t>(kJobs));
    EXPECT_EQ(names.size(), static_cast<std::size_t>(kJobs));
    EXPECT_EQ(ids.size(), static_cast<std::size_t>(kJobs));
    HttpAnswer metrics = Fetch(h.statusPort, "/metrics");
    EXPECT_NE(metrics.body.find("tarn_jobs_total{section=\"PLAIN\",result=\"ok\"} 100\n"), std::string::npos)
        << metrics.body;
    EXPECT_NE(metrics.body.find("tarn_job_duration_seconds_count 100\n"), std::string::npos);
    EXPECT_NE(metrics.body.find("tarn_history_unrecorded_total 0\n"), std::string::npos);

    // The background checkpoint copies the log into the database file itself.
    const std::string db = h.dir / "jobs.db";
    auto deadline = Clock::now() + std::chrono::seconds(10);
    while (std::filesystem::file_size(db) <= 4096 && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_GT(std::filesystem::file_size(db), 4096u);
}

// Faults of the database: reported as events, never a change to a reply.
TEST(JobHistoryEndToEnd, AnUnopenableOrLockedDatabaseCostsOnlyTheRow) {
    HistoryServer h;
    ASSERT_TRUE(h.Start("jobHistory=jobs.db\n"));
    ASSERT_EQ(h.Job("one.txt", "PLAIN", "1\r\n_EOF_\r\n"), kOkBye);
    ASSERT_EQ(h.WaitForRows(1).size(), 1u);

    // Another program holds the write lock.
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open((h.dir / "jobs.db").c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    EXPECT_EQ(h.Job("two.txt", "PLAIN", "2\r\n_EOF_\r\n"), kOkBye);
    EXPECT_TRUE(h.server.WaitForConsole(
        std::regex("Job history .*jobs.db cannot be written \\(database is locked\\)")))
        << h.server.Console();
    sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(holder);
    EXPECT_EQ(h.Job("three.txt", "PLAIN", "3\r\n_EOF_\r\n"), kOkBye);
    std::vector<JobRow> rows = h.WaitForRows(2);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].rawName, "three.txt");
    EXPECT_EQ(rows[1].rawName, "one.txt");

    // A database in a folder that does not exist.
    HistoryServer missing;
    ASSERT_TRUE(missing.Start("jobHistory=nofolder/jobs.db\n"));
    EXPECT_EQ(missing.Job("x.txt", "PLAIN", "x\r\n_EOF_\r\n"), kOkBye);
    EXPECT_EQ(missing.Job("y.txt", "NOPE", ""),
              "Hi\nROGER_CMD\nERROR:section NOPE does not exist in ini file /n Bye \n");
    EXPECT_TRUE(missing.server.WaitForConsole(std::regex("Job history .*nofolder/jobs.db cannot be opened")))
        << missing.server.Console();
    EXPECT_EQ(ReadFile(missing.dir / "out/x.txt"), "x\r\n");
}

TEST(JobHistoryEndToEnd, ADamagedDatabaseIsSetAsideAndANewOneStarted) {
    HistoryServer h;
    const std::string garbage = "this is no database, it was damaged on the way " + std::string(2000, '#');
    WriteFile(h.dir / "jobs.db", garbage);
    ASSERT_TRUE(h.Start(""));
    EXPECT_TRUE(
        h.server.WaitForConsole(std::regex("jobs.db is damaged \\(.*\\); set aside as .*jobs.db.damaged-")))
        << h.server.Console();
    EXPECT_EQ(h.Job("after.txt", "PLAIN", "a\r\n_EOF_\r\n"), kOkBye);
    ASSERT_EQ(h.WaitForRows(1).size(), 1u);
    int asideFiles = 0;
    for (const auto& entry : std::filesystem::directory_iterator(h.dir.path())) {
        if (entry.path().filename().string().rfind("jobs.db.damaged-", 0) == 0) {
            ++asideFiles;
            EXPECT_EQ(ReadFile(entry.path()), garbage);
        }
    }
    EXPECT_EQ(asideFiles, 1);
}

// A full disk and a read-only file system, made for the server alone in a
// mount namespace of its own (needs root; skipped otherwise).
TEST(JobHistoryEndToEnd, AFullDiskOrAReadOnlyFileSystemCostsOnlyTheRow) {
    if (::geteuid() != 0 || RunAndCapture({"/usr/bin/unshare", "-m", "/bin/true"}, "/tmp/").exitCode != 0) {
        GTEST_SKIP() << "needs root and mount namespaces";
    }
    HistoryServer h;
    std::filesystem::create_directories(h.dir / "hist");
    const std::string hist = h.dir / "hist";
    ASSERT_TRUE(h.Start("jobHistory=hist/jobs.db\n",
                        {"/usr/bin/unshare", "-m", "--propagation", "private", "/bin/sh", "-c",
                         "mount -t tmpfs -o size=1m tmpfs " + hist + " && exec \"$0\""}))
        << h.server.Console();
    // The test sees the server's file system through its process; SQLite
    // would resolve that link into the test's own, so the rows are read
    // from a copy.
    const std::string seen = "/proc/" + std::to_string(h.server.pid()) + "/root" + hist + "/";
    const auto rowsSeen = [&](std::size_t count) {
        std::vector<JobRow> rows;
        for (int i = 0; i < 200 && rows.size() < count; ++i) {
            std::filesystem::remove_all(h.dir / "copy");
            std::filesystem::create_directories(h.dir / "copy");
            for (const char* file : {"jobs.db", "jobs.db-wal"}) {
                std::filesystem::copy_file(seen + file, h.dir / "copy/" + file);
            }
            rows = h.WaitForRows(0, h.dir / "copy/jobs.db");
            if (rows.size() < count) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return rows;
    };
    ASSERT_EQ(h.Job("before.txt", "PLAIN", "b\r\n_EOF_\r\n"), kOkBye);
    ASSERT_EQ(rowsSeen(1).size(), 1u) << h.server.Console();

    {
        std::ofstream fill(seen + "fill", std::ios::binary);
        const std::string block(65536, 'f');
        for (int i = 0; i < 64 && fill.write(block.data(), block.size()); ++i) {
        }
    }
    // The log, once copied into the database, is written again from its
    // start; jobs with long names outgrow it until the disk is full.
    const std::regex full("Job history .*cannot be written \\((database or disk is full|disk I/O error)");
    bool reported = false;
    for (int i = 0; i < 200 && !reported; ++i) {
        const std::string name = "full" + std::to_string(i) + std::string(200, 'f') + ".txt";
        EXPECT_EQ(h.Job(name, "PLAIN", "f\r\n_EOF_\r\n"), kOkBye);
        reported = h.server.WaitForConsole(full, nullptr, std::chrono::milliseconds(0));
    }
    EXPECT_TRUE(reported || h.server.WaitForConsole(full)) << h.server.Console();
    std::filesystem::remove(seen + "fill");
    EXPECT_EQ(h.Job("again.txt", "PLAIN", "a\r\n_EOF_\r\n"), kOkBye);
    std::vector<JobRow> rows;
    for (int i = 0; i < 100 && (rows.empty() || rows.front().rawName != "again.txt"); ++i) rows = rowsSeen(2);
    ASSERT_GE(rows.size(), 2u);
    EXPECT_EQ(rows.front().rawName, "again.txt");
    EXPECT_EQ(rows.back().rawName, "before.txt");

    h.server.Stop();

    // A history on a file system that is read-only from the start.
    HistoryServer ro;
    std::filesystem::create_directories(ro.dir / "hist");
    {
        NullReporter quiet;
        JobHistory seed(ro.dir / "seed.db", 0, quiet);
        seed.Start();
    }
    const std::string roHist = ro.dir / "hist";
    ASSERT_TRUE(ro.Start("jobHistory=hist/jobs.db\n",
                         {"/usr/bin/unshare", "-m", "--propagation", "private", "/bin/sh", "-c",
                          "mount -t tmpfs -o size=1m tmpfs " + roHist + " && cp " + ro.dir / "seed.db " +
                              roHist + "/jobs.db && mount -o remount,ro " + roHist + " && exec \"$0\""}))
        << ro.server.Console();
    EXPECT_EQ(ro.Job("readonly.txt", "PLAIN", "r\r\n_EOF_\r\n"), kOkBye);
    EXPECT_EQ(ro.Job("readonly2.txt", "PDF", "r\r\n_EOF_\r\n"), kFailedBye);
    EXPECT_TRUE(ro.server.WaitForConsole(std::regex("Job history .*hist/jobs.db cannot be (opened|written)")))
        << ro.server.Console();
    EXPECT_EQ(ReadFile(ro.dir / "out/readonly.txt"), "r\r\n");
}

TEST(JobHistoryEndToEnd, OldRowsAreRemovedInTheBackground) {
    HistoryServer h;
    {
        // Rows written three days ago and just now, one with an e-mail order.
        JobRecord old;
        old.finishedMs = CurrentTimeMs() - 3 * 24 * 3600 * 1000LL;
        old.acceptedMs = old.finishedMs;
        old.rawName = "old.txt";
        old.emailOrders.resize(1);
        JobRecord recent = old;
        recent.finishedMs = recent.acceptedMs = CurrentTimeMs();
        recent.rawName = "recent.txt";
        NullReporter quiet;
        JobHistory seed(h.dir / "jobs.db", 0, quiet);
        seed.Start();
        ASSERT_TRUE(seed.Record(old));
        ASSERT_TRUE(seed.Record(recent));
    }
    ASSERT_TRUE(h.Start("jobHistoryDays=2\n"));
    std::vector<JobRow> rows;
    for (int i = 0; i < 500 && (rows = h.WaitForRows(1)).size() != 1; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].rawName, "recent.txt");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2((h.dir / "jobs.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_stmt* count = nullptr;
    sqlite3_prepare_v2(db, "SELECT count(*) FROM mails", -1, &count, nullptr);
    ASSERT_EQ(sqlite3_step(count), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(count, 0), 1);  // the old job's order went with it
    sqlite3_finalize(count);
    sqlite3_close(db);
}

}  // namespace
}  // namespace tarn
