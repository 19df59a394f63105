#include "service/history/StatusPage.h"

#include <httplib.h>

#include "service/history/JobMetrics.h"
#include "service/history/JobQuery.h"
#include "service/history/StatusHtml.h"

namespace tarn {
namespace {

// Requests served at once; the page is for a few operators and a scraper.
constexpr std::size_t kPageThreads = 2;
// Seconds a client may take to send its request or read the answer.
constexpr time_t kPageTimeoutSeconds = 5;
// Largest request body accepted (the page takes none).
constexpr std::size_t kMaxRequestBytes = 8192;
// Most jobs one /api/jobs answer lists.
constexpr int kMaxApiJobs = 1000;

// Nothing on the page may load or run anything: even text that escaped
// escaping could not become a script.
constexpr const char* kContentPolicy =
    "default-src 'none'; style-src 'unsafe-inline'; img-src 'none'; base-uri 'none'; form-action 'none'; "
    "frame-ancestors 'none'";

void SetCommonHeaders(httplib::Response& response) {
    response.set_header("Content-Security-Policy", kContentPolicy);
    response.set_header("X-Content-Type-Options", "nosniff");
    response.set_header("Cache-Control", "no-store");
}

void SendHtml(httplib::Response& response, int status, const std::string& html) {
    SetCommonHeaders(response);
    response.status = status;
    response.set_content(html, "text/html; charset=utf-8");
}

void SendJson(httplib::Response& response, int status, const std::string& json) {
    SetCommonHeaders(response);
    response.status = status;
    response.set_content(json, "application/json");
}

// The filters of /api/jobs, as tarn-jobs takes them. False with *error set for a bad value.
bool FilterFromQuery(const httplib::Request& request, JobFilter* filter, std::string* error) {
    if (request.has_param("section")) filter->section = request.get_param_value("section");
    if (request.has_param("client")) filter->client = request.get_param_value("client");
    if (request.has_param("failed")) {
        const std::string value = request.get_param_value("failed");
        filter->failedOnly = value.empty() || value == "1" || value == "true" || value == "yes";
    }
    if (request.has_param("since") &&
        !ParseSince(request.get_param_value("since"), CurrentTimeMs(), &filter->sinceMs)) {
        *error = "since: expected YYYY-MM-DD, YYYY-MM-DD HH:MM[:SS], HH:MM or an age such as 30m, 12h, 7d";
        return false;
    }
    if (request.has_param("limit")) {
        const std::string value = request.get_param_value("limit");
        if (value.empty() || value.size() > 6 || value.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(value) < 1 || std::stoi(value) > kMaxApiJobs) {
            *error = "limit: expected a number from 1 to " + std::to_string(kMaxApiJobs);
            return false;
        }
        filter->limit = std::stoi(value);
    }
    return true;
}

}  // namespace

StatusPage::StatusPage(std::string historyPath, const JobMetrics& metrics, const std::atomic<bool>& paused,
                       std::string version)
    : historyPath_(std::move(historyPath)),
      metrics_(metrics),
      paused_(paused),
      version_(std::move(version)),
      startMs_(CurrentTimeMs()),
      server_(std::make_unique<httplib::Server>()) {}

StatusPage::~StatusPage() { Stop(); }

Status StatusPage::Start(const std::string& address, int port) {
    server_->new_task_queue = [] { return new httplib::ThreadPool(kPageThreads); };
    server_->set_read_timeout(kPageTimeoutSeconds, 0);
    server_->set_write_timeout(kPageTimeoutSeconds, 0);
    server_->set_payload_max_length(kMaxRequestBytes);
    Route();
    if (port == 0) {
        port_ = server_->bind_to_any_port(address);
        if (port_ <= 0) return Status::Error("cannot listen on " + address + " (any port)");
    } else {
        if (!server_->bind_to_port(address, port)) {
            return Status::Error("cannot listen on " + address + " port " + std::to_string(port));
        }
        port_ = port;
    }
    return thread_.Start([this] { server_->listen_after_bind(); });
}

void StatusPage::Stop() {
    if (!thread_.Started()) return;
    server_->stop();
    thread_.Join();
}

void StatusPage::Route() {
    // A reader of its own per request: nothing is shared between requests.
    const auto openHistory = [this](HistoryReader* reader, std::string* problem) {
        if (historyPath_.empty()) {
            *problem = "The job history is off (jobHistory is empty in TARN.ini).";
            return false;
        }
        Status opened = reader->Open(historyPath_);
        if (!opened) *problem = "The job history cannot be read: " + opened.message();
        return opened.ok();
    };

    server_->Get("/", [this, openHistory](const httplib::Request&, httplib::Response& response) {
        StatusView view;
        view.paused = paused_.load();
        view.version = version_;
        view.nowMs = CurrentTimeMs();
        view.uptimeSeconds = static_cast<double>(view.nowMs - startMs_) / 1000.0;
        view.openConnections = metrics_.OpenConnections();
        HistoryReader reader;
        if (openHistory(&reader, &view.historyProblem)) {
            JobFilter latest;
            latest.limit = kStatusPageJobs;
            Status read = reader.Summarise(view.nowMs, LocalMidnightMs(view.nowMs), &view.summary);
            if (read) read = reader.List(latest, &view.latest);
            if (!read) view.historyProblem = "The job history cannot be read: " + read.message();
        }
        SendHtml(response, 200, RenderStatusPage(view));
    });

    server_->Get(
        R"(/jobs/(\d{1,18}))", [openHistory](const httplib::Request& request, httplib::Response& response) {
            HistoryReader reader;
            std::string problem;
            if (!openHistory(&reader, &problem))
                return SendHtml(response, 503, RenderMessagePage("No job history", problem));
            JobRow job;
            bool found = false;
            Status read = reader.Get(std::stoll(request.matches[1].str()), &job, &found);
            if (!read) return SendHtml(response, 503, RenderMessagePage("No job history", read.message()));
            if (!found)
                return SendHtml(response, 404, RenderMessagePage("No such job", "No job has this number."));
            SendHtml(response, 200, RenderJobPage(job));
        });

    const auto api = [openHistory](const httplib::Request& request, httplib::Response& response) {
        HistoryReader reader;
        std::string problem;
        if (!openHistory(&reader, &problem))
            return SendJson(response, 503, "{\"error\":\"no job history\"}\n");
        std::string json;
        Status read;
        if (request.matches.size() > 1 && request.matches[1].length() > 0) {
            bool found = false;
            read = reader.GetJson(std::stoll(request.matches[1].str()), &json, &found);
            if (read && !found) return SendJson(response, 404, "{\"error\":\"no such job\"}\n");
        } else {
            JobFilter filter;
            std::string error;
            if (!FilterFromQuery(request, &filter, &error)) {
                // The messages are fixed texts: nothing a client sent is echoed.
                return SendJson(response, 400, "{\"error\":\"" + error + "\"}\n");
            }
            read = reader.ListJson(filter, &json);
        }
        if (!read) return SendJson(response, 503, "{\"error\":\"the job history cannot be read\"}\n");
        SendJson(response, 200, json);
    };
    server_->Get(R"(/api/jobs(?:/(\d{1,18}))?)", api);

    server_->Get("/metrics", [this](const httplib::Request&, httplib::Response& response) {
        const double uptime = static_cast<double>(CurrentTimeMs() - startMs_) / 1000.0;
        SetCommonHeaders(response);
        response.set_content(metrics_.Exposition(paused_.load(), uptime),
                             "text/plain; version=0.0.4; charset=utf-8");
    });
}

}  // namespace tarn
