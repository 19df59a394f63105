#pragma once
// Helpers for the job history tests: TARNSvr started with a job history and
// a status page on free ports, jobs sent to it, its database read back,
// tarn-jobs run, and pages fetched over HTTP with libcurl.

#include <curl/curl.h>

#include <mutex>
#include <regex>
#include <string>
#include <vector>

#include "service/history/JobQuery.h"
#include "service/job/ServiceContext.h"
#include "tests/mailer/SmtpTestServer.h"
#include "tests/service/JobTestSupport.h"
#include "tests/service/ServerTestSupport.h"

namespace tarn::testing {

constexpr const char* kOkBye = "Hi\nROGER_CMD\nok\nBye\n";
constexpr const char* kFailedBye = "Hi\nROGER_CMD\nProblem handlingRequest\nBye\n";

// An event reporter that drops every event.
class NullReporter : public CEventReporter {
  public:
    void ReportServiceEvent(EventType, EventId, const std::string&) const override {}
};

// An event reporter that keeps the texts of the events (from any thread).
class KeptEvents : public CEventReporter {
  public:
    void ReportServiceEvent(EventType, EventId, const std::string& text) const override {
        std::lock_guard<std::mutex> lock(mutex_);
        texts_.push_back(text);
    }
    std::vector<std::string> Texts() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return texts_;
    }

  private:
    mutable std::mutex mutex_;
    mutable std::vector<std::string> texts_;
};

struct HttpAnswer {
    long status = 0;
    std::string contentType;
    std::string body;
};

// GET http://127.0.0.1:`port``path` with a bounded wait.
inline HttpAnswer Fetch(int port, const std::string& path) {
    HttpAnswer answer;
    CURL* curl = curl_easy_init();
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + path;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer.body);
    curl_easy_setopt(
        curl, CURLOPT_WRITEFUNCTION, +[](char* data, size_t size, size_t count, void* out) {
            static_cast<std::string*>(out)->append(data, size * count);
            return size * count;
        });
    if (curl_easy_perform(curl) == CURLE_OK) {
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.status);
        char* type = nullptr;
        curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &type);
        if (type != nullptr) answer.contentType = type;
    }
    curl_easy_cleanup(curl);
    return answer;
}

// True when python3's json module reads `text`, and *summary holds what the
// script printed for it (`expression` over the parsed value `v`).
inline bool ReadJson(const std::string& text, const std::string& expression, const std::string& scratch,
                     std::string* summary) {
    WriteFile(scratch + "doc.json", text);
    ProgramRun run = RunAndCapture(
        {"/usr/bin/python3", "-c",
         "import json,sys\nv=json.load(open(sys.argv[1]))\nprint(" + expression + ")", scratch + "doc.json"},
        scratch);
    *summary = run.out;
    return run.exitCode == 0;
}

// The row of the job whose raw file was `rawName`; null when none.
inline const JobRow* ByName(const std::vector<JobRow>& rows, const std::string& rawName) {
    for (const JobRow& row : rows) {
        if (row.rawName == rawName) return &row;
    }
    return nullptr;
}

// A TARNSvr in a scratch folder with sections PLAIN (raw text), PDF (a form
// but no converter: the job fails) and NOFOLDER (a missing save folder).
class HistoryServer {
  public:
    // `serverKeys`: further lines of section Server.
    bool Start(const std::string& serverKeys, const std::vector<std::string>& launcher = {}) {
        const std::string& root = dir.path();
        std::filesystem::create_directories(dir / "out");
        std::filesystem::create_directories(dir / "tools");
        std::filesystem::create_directories(dir / "forms");
        WriteFile(dir / "forms/form.pdf", MakePdf(1));
        const std::string ini = "[Server]\nport=" + std::to_string(jobPort) +
                                "\nhome=tools\nsender=tarn@example.org\nemlsrv=127.0.0.1\n" + serverKeys +
                                "[PLAIN]\nsaveDir=" + root + "out\n[PDF]\nsaveDir=" + root +
                                "out\ntemplate=forms/form.pdf\n[NOFOLDER]\nsaveDir=" + root + "missing\n";
        if (!server.Start(root.substr(0, root.size() - 1), ini, 0, launcher)) return false;
        std::smatch match;
        if (server.WaitForConsole(std::regex("Status page: http://127.0.0.1:([0-9]+)/"), &match,
                                  std::chrono::milliseconds(2000))) {
            statusPort = std::stoi(match[1].str());
        }
        return true;
    }

    // One job; everything the server sent.
    std::string Job(const std::string& rawName, const std::string& section, const std::string& body) {
        return SendJob(server.port(), rawName, section, body, std::chrono::seconds(30));
    }

    // The jobs recorded, newest first, once there are `count` of them
    // (records are written after the reply); fewer when time runs out.
    std::vector<JobRow> WaitForRows(std::size_t count, const std::string& db = "") {
        std::vector<JobRow> rows;
        auto deadline = Clock::now() + std::chrono::seconds(20);
        do {
            rows.clear();
            HistoryReader reader;
            JobFilter all;
            all.limit = 100000;
            if (reader.Open(db.empty() ? dir / "jobs.db" : db) && reader.List(all, &rows) &&
                rows.size() >= count) {
                for (JobRow& row : rows) {
                    bool found = false;
                    reader.Get(row.id, &row, &found);
                }
                return rows;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        } while (Clock::now() < deadline);
        return rows;
    }

    // Runs tarn-jobs with `args`.
    ProgramRun Jobs(std::vector<std::string> args) {
        args.insert(args.begin(), TARN_BIN_DIR "/tarn-jobs");
        return RunAndCapture(args, dir.path());
    }

    ScratchFolder dir;
    ServerProcess server;
    int jobPort = 0;  // 0: a free port, a new one after each continue
    int statusPort = 0;
};

}  // namespace tarn::testing
