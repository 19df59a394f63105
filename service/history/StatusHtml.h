#pragma once
// The status page's HTML: one self-contained document (inline style and
// inline SVG, no script, nothing fetched from elsewhere). Every text that
// came from a client is escaped.

#include <cstdint>
#include <string>
#include <vector>

#include "service/history/JobQuery.h"

namespace tarn {

// Jobs listed on the front page.
inline constexpr int kStatusPageJobs = 50;

struct StatusView {
    bool paused = false;
    std::string version;
    double uptimeSeconds = 0;
    int openConnections = 0;
    std::int64_t nowMs = 0;
    // Why there are no job figures ("the job history is off", a fault); empty when there are.
    std::string historyProblem;
    HistorySummary summary;
    std::vector<JobRow> latest;
};

std::string RenderStatusPage(const StatusView& view);
std::string RenderJobPage(const JobRow& job);
// A page for a job that does not exist or a history that cannot be read.
std::string RenderMessagePage(const std::string& title, const std::string& message);

// "3 d 4 h", "2 h 5 min", "42 s".
std::string UptimeText(double seconds);

}  // namespace tarn
