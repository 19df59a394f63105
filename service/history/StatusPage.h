#pragma once
// The status page: a small read-only HTTP server inside TARNSvr (on
// cpp-httplib) with the front page, one page per job, the jobs as JSON and
// the Prometheus metrics. It reads the job history through read-only
// connections of its own, so it never holds up a job, and it keeps
// answering while the job port is paused.
//
// Threading: Start and Stop are called by the service control; requests
// are served on the page's own small thread pool.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/Status.h"
#include "platform/Thread.h"

namespace httplib {
class Server;
}

namespace tarn {

class JobMetrics;

class StatusPage {
  public:
    // `historyPath` empty: the history is off. `metrics` and `paused` outlive the page.
    StatusPage(std::string historyPath, const JobMetrics& metrics, const std::atomic<bool>& paused,
               std::string version);
    ~StatusPage();  // stops
    StatusPage(const StatusPage&) = delete;
    StatusPage& operator=(const StatusPage&) = delete;

    // Listens on `address` and `port` (0: a free port) and starts serving.
    Status Start(const std::string& address, int port);
    void Stop();
    int Port() const { return port_; }

  private:
    void Route();

    const std::string historyPath_;
    const JobMetrics& metrics_;
    const std::atomic<bool>& paused_;
    const std::string version_;
    const std::int64_t startMs_;
    std::unique_ptr<httplib::Server> server_;
    JoinableThread thread_;
    int port_ = 0;
};

}  // namespace tarn
