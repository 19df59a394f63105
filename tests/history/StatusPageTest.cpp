// The status page of the real TARNSvr over HTTP (libcurl) and in a real
// browser (headless Chromium): the front page, one job, the jobs as JSON,
// the Prometheus metrics, a pause that stops the job port but not the page,
// and text a client sent shown as text.

#include <gtest/gtest.h>
#include <signal.h>

#include "tests/history/HistoryTestSupport.h"

namespace tarn {
namespace {

using namespace tarn::testing;

// The raw name the browser test sends: markup that would run a script if
// the page let it through.
constexpr const char* kHostileName = "<img src=x onerror=alert(1)>.txt";
constexpr const char* kHostileSection = "<script>document.title='pwned'</script>";

TEST(StatusPage, ServesThePageOneJobTheJobsAsJsonAndTheMetrics) {
    HistoryServer h;
    ASSERT_TRUE(h.Start("statusPort=0\n")) << h.server.Console();
    ASSERT_GT(h.statusPort, 0) << h.server.Console();
    ASSERT_EQ(h.Job("good.txt", "PLAIN", "g\r\n_EOF_\r\n"), kOkBye);
    ASSERT_EQ(h.Job("bad.txt", "PDF", "b\r\n_EOF_\r\n"), kFailedBye);
    h.Job("x.txt", kHostileSection, "");
    ASSERT_EQ(h.WaitForRows(3).size(), 3u);

    HttpAnswer page = Fetch(h.statusPort, "/");
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.contentType, "text/html; charset=utf-8");
    EXPECT_NE(page.body.find("class=\"state-running\">running</strong>"), std::string::npos);
    EXPECT_NE(
        page.body.find("<span id=\"ok-today\">1</span> succeeded, <span id=\"failed-today\">2</span> failed"),
        std::string::npos)
        << page.body;
    EXPECT_NE(page.body.find("<svg id=\"chart\""), std::string::npos);
    EXPECT_EQ(page.body.find("<script"), std::string::npos);
    EXPECT_NE(page.body.find("&lt;script&gt;document.title=&#39;pwned&#39;&lt;/script&gt;"),
              std::string::npos);
    EXPECT_EQ(page.body.find("http"), std::string::npos) << "the page must load nothing from elsewhere";

    HttpAnswer list = Fetch(h.statusPort, "/api/jobs?failed=1&section=pdf&limit=5");
    EXPECT_EQ(list.status, 200);
    EXPECT_EQ(list.contentType, "application/json");
    std::string summary;
    ASSERT_TRUE(ReadJson(list.body, "[(j['raw_name'], j['result'], j['error_events']) for j in v]",
                         h.dir.path(), &summary))
        << list.body;
    EXPECT_EQ(summary, "[('bad.txt', 'failed', ['0xC0000207', '0xC0000206'])]\n");
    ASSERT_TRUE(ReadJson(Fetch(h.statusPort, "/api/jobs?since=1h").body, "len(v)", h.dir.path(), &summary));
    EXPECT_EQ(summary, "3\n");
    EXPECT_EQ(Fetch(h.statusPort, "/api/jobs?limit=0").status, 400);
    EXPECT_EQ(Fetch(h.statusPort, "/api/jobs?since=soon").status, 400);

    // Rows are written as jobs end, not necessarily in the order they came.
    const std::vector<JobRow> rows = h.WaitForRows(3);
    ASSERT_NE(ByName(rows, "bad.txt"), nullptr);
    const std::int64_t badId = ByName(rows, "bad.txt")->id;
    HttpAnswer job = Fetch(h.statusPort, "/jobs/" + std::to_string(badId));
    EXPECT_EQ(job.status, 200);
    EXPECT_NE(job.body.find("bad.txt"), std::string::npos);
    EXPECT_NE(job.body.find("&#x2717; failed"), std::string::npos);
    EXPECT_EQ(Fetch(h.statusPort, "/jobs/424242").status, 404);
    EXPECT_EQ(Fetch(h.statusPort, "/jobs/abc").status, 404);

    HttpAnswer metrics = Fetch(h.statusPort, "/metrics");
    EXPECT_EQ(metrics.status, 200);
    for (const char* line : {"tarn_up 1\n", "tarn_jobs_total{section=\"PLAIN\",result=\"ok\"} 1\n",
                             "tarn_jobs_total{section=\"PDF\",result=\"failed\"} 1\n",
                             "tarn_jobs_total{section=\"(unknown)\",result=\"failed\"} 1\n",
                             "tarn_job_duration_seconds_bucket{le=\"+Inf\"} 3\n", "tarn_open_connections 0\n",
                             "tarn_mails_total{result=\"sent\"} 0\n"}) {
        EXPECT_NE(metrics.body.find(line), std::string::npos) << line << metrics.body;
    }
}

TEST(StatusPage, APauseStopsTheJobPortButNotThePage) {
    HistoryServer h;
    // Service mode (pause and continue are service controls), events to a
    // socket nobody reads.
    const std::string key =
        h.dir.path().substr(0, h.dir.path().size() - 1) + ".registry/HKEY_CLASSES_ROOT/AppID/" + kAppIdGuid;
    std::filesystem::create_directories(key);
    WriteFile(key + "/LocalService", "TARNSvr");
    ::setenv("TARN_SYSLOG_SOCKET", (h.dir / "log").c_str(), 1);
    ::setenv("TARN_PID_FILE", (h.dir / "TARNSvr.pid").c_str(), 1);
    h.jobPort = UnusedPort();  // the same port again after the continue
    ASSERT_TRUE(h.Start("statusPort=0\n")) << h.server.Console();
    ::unsetenv("TARN_SYSLOG_SOCKET");
    ::unsetenv("TARN_PID_FILE");
    ASSERT_EQ(h.Job("before.txt", "PLAIN", "b\r\n_EOF_\r\n"), kOkBye);
    ASSERT_EQ(h.WaitForRows(1).size(), 1u);  // rows are written after the reply

    ::kill(h.server.pid(), SIGUSR1);
    bool refused = false;
    for (int i = 0; i < 500 && !refused; ++i) {
        refused = !TestClient(h.server.port()).connected();
        if (!refused) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(refused);
    // The pause completes once the conversations it waits for have ended.
    HttpAnswer page;
    for (int i = 0; i < 1500 && page.body.find("state-paused") == std::string::npos; ++i) {
        if (i > 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        page = Fetch(h.statusPort, "/");
    }
    EXPECT_NE(page.body.find("class=\"state-paused\">paused</strong>"), std::string::npos)
        << h.server.Console();
    EXPECT_NE(Fetch(h.statusPort, "/metrics").body.find("tarn_up 0\n"), std::string::npos);
    EXPECT_NE(Fetch(h.statusPort, "/api/jobs").body.find("before.txt"), std::string::npos);

    ::kill(h.server.pid(), SIGUSR2);
    std::string reply;
    for (int i = 0; i < 500 && reply != kOkBye; ++i) {
        reply = h.Job("after.txt", "PLAIN", "a\r\n_EOF_\r\n");
        if (reply != kOkBye) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(reply, kOkBye);
    EXPECT_NE(Fetch(h.statusPort, "/").body.find("state-running"), std::string::npos);
}

TEST(StatusPage, WithTheHistoryOffNoDatabaseIsWrittenAndThePageSaysSo) {
    HistoryServer h;
    ASSERT_TRUE(h.Start("jobHistory=\nstatusPort=0\n")) << h.server.Console();
    ASSERT_EQ(h.Job("a.txt", "PLAIN", "a\r\n_EOF_\r\n"), kOkBye);
    EXPECT_NE(Fetch(h.statusPort, "/").body.find("The job history is off"), std::string::npos);
    EXPECT_EQ(Fetch(h.statusPort, "/api/jobs").status, 503);
    std::string metrics;
    for (int i = 0;
         i < 200 && metrics.find("tarn_jobs_total{section=\"PLAIN\",result=\"ok\"} 1\n") == std::string::npos;
         ++i) {
        metrics = Fetch(h.statusPort, "/metrics").body;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_NE(metrics.find("tarn_jobs_total{section=\"PLAIN\",result=\"ok\"} 1\n"), std::string::npos)
        << metrics;
    EXPECT_FALSE(Exists(h.dir / "jobs.db"));
    ProgramRun jobs = h.Jobs({"--config", h.dir / "TARN.ini"});
    EXPECT_EQ(jobs.exitCode, 1);
    EXPECT_NE(jobs.err.find("the job history is off"), std::string::npos) << jobs.err;
}

// Headless Chromium loads the page after a few jobs, one failing and one
// whose raw name is markup; the DOM it built shows the jobs, the failure
// mark and the name as text, and holds no element a client made.
TEST(StatusPage, InABrowserClientTextStaysTextAndNoScriptRuns) {
    const std::string chromium = "/usr/bin/chromium";
    if (!Exists(chromium)) GTEST_SKIP() << "chromium is not installed";
    HistoryServer h;
    ASSERT_TRUE(h.Start("statusPort=0\n")) << h.server.Console();
    ASSERT_EQ(h.Job("invoice-1001.txt", "PLAIN", "a\r\n_EOF_\r\n"), kOkBye);
    ASSERT_EQ(h.Job("statement-77.txt", "PDF", "b\r\n_EOF_\r\n"), kFailedBye);
    // The server will not make a file of that name: the job ends without a reply.
    ASSERT_EQ(h.Job(kHostileName, "PLAIN", "c\r\n_EOF_\r\n"), "Hi\nROGER_CMD\n");
    ASSERT_EQ(h.Job("report.txt", kHostileSection, ""), "Hi\nROGER_CMD\nERROR:section " +
                                                            std::string(kHostileSection) +
                                                            " does not exist in ini file /n Bye \n");
    ASSERT_EQ(h.WaitForRows(4).size(), 4u);

    const std::string url = "http://127.0.0.1:" + std::to_string(h.statusPort) + "/";
    const std::vector<std::string> flags = {chromium,
                                            "--headless",
                                            "--no-sandbox",
                                            "--disable-gpu",
                                            "--disable-quic",
                                            "--no-first-run",
                                            "--disable-background-networking",
                                            "--disable-component-update",
                                            "--disable-sync",
                                            "--user-data-dir=" + h.dir / "profile",
                                            "--window-size=1200,1100"};
    std::vector<std::string> dump = flags;
    dump.insert(dump.end(), {"--dump-dom", url});
    ProgramRun dom = RunAndCapture(dump, h.dir.path());
    ASSERT_EQ(dom.exitCode, 0) << dom.err;
    const std::string& html = dom.out;
    EXPECT_NE(html.find("<title>TARN status</title>"), std::string::npos) << "a script changed the title";
    EXPECT_NE(html.find("invoice-1001.txt"), std::string::npos);
    EXPECT_NE(html.find("statement-77.txt"), std::string::npos);
    // The failed job's row is marked.
    const std::string::size_type failedRow = html.find("<tr class=\"failed\">");
    ASSERT_NE(failedRow, std::string::npos);
    EXPECT_NE(html.find("\u2717 failed", failedRow), std::string::npos);
    // The names a client sent are text in the DOM, not elements.
    EXPECT_NE(html.find("&lt;img src=x onerror=alert(1)&gt;.txt"), std::string::npos) << html;
    EXPECT_NE(html.find("&lt;script&gt;document.title='pwned'&lt;/script&gt;"), std::string::npos) << html;
    EXPECT_EQ(html.find("<img"), std::string::npos);
    EXPECT_EQ(html.find("<script"), std::string::npos);

    std::vector<std::string> shot = flags;
    shot.insert(shot.end(), {"--hide-scrollbars", "--screenshot=" + h.dir / "status-page.png", url});
    ProgramRun screenshot = RunAndCapture(shot, h.dir.path());
    ASSERT_EQ(screenshot.exitCode, 0) << screenshot.err;
    const std::string png = ReadFile(h.dir / "status-page.png");
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    // Kept beside the tests for the README's picture.
    std::filesystem::copy_file(h.dir / "status-page.png", std::string(TARN_BIN_DIR) + "/../status-page.png",
                               std::filesystem::copy_options::overwrite_existing);
}

}  // namespace
}  // namespace tarn
