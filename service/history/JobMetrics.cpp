#include "service/history/JobMetrics.h"

#include <cstdio>

#include "service/history/DisplayText.h"

namespace tarn {
namespace {

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

}  // namespace

void JobMetrics::ConnectionOpened() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++open_;
}

void JobMetrics::ConnectionClosed() {
    std::lock_guard<std::mutex> lock(mutex_);
    --open_;
}

int JobMetrics::OpenConnections() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_;
}

void JobMetrics::JobEnded(const std::string& section, bool ok, double seconds,
                          const std::vector<std::string>& mailOutcomes) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++jobs_[{section, ok ? "ok" : "failed"}];
    for (std::size_t i = 0; i < sizeof kDurationBuckets / sizeof kDurationBuckets[0]; ++i) {
        if (seconds <= kDurationBuckets[i]) ++durationCounts_[i];
    }
    ++durationTotal_;
    durationSum_ += seconds;
    for (const std::string& outcome : mailOutcomes) ++mails_[outcome];
}

void JobMetrics::JobUnrecorded() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++unrecorded_;
}

std::string JobMetrics::Exposition(bool paused, double uptimeSeconds) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::string out;
    out += "# HELP tarn_up 1 while the server accepts jobs, 0 while it is paused.\n# TYPE tarn_up gauge\n";
    out += "tarn_up " + std::string(paused ? "0" : "1") + "\n";
    out += "# HELP tarn_uptime_seconds Seconds since the server started.\n# TYPE tarn_uptime_seconds gauge\n";
    out += "tarn_uptime_seconds " + Number(uptimeSeconds) + "\n";
    out += "# HELP tarn_jobs_total Jobs ended, by section and result.\n# TYPE tarn_jobs_total counter\n";
    for (const auto& [key, count] : jobs_) {
        out += "tarn_jobs_total{section=\"" + PrometheusLabel(key.first) + "\",result=\"" + key.second +
               "\"} " + std::to_string(count) + "\n";
    }
    out +=
        "# HELP tarn_job_duration_seconds Time from the connection to the end of the job.\n"
        "# TYPE tarn_job_duration_seconds histogram\n";
    for (std::size_t i = 0; i < sizeof kDurationBuckets / sizeof kDurationBuckets[0]; ++i) {
        out += "tarn_job_duration_seconds_bucket{le=\"" + Number(kDurationBuckets[i]) + "\"} " +
               std::to_string(durationCounts_[i]) + "\n";
    }
    out += "tarn_job_duration_seconds_bucket{le=\"+Inf\"} " + std::to_string(durationTotal_) + "\n";
    out += "tarn_job_duration_seconds_sum " + Number(durationSum_) + "\n";
    out += "tarn_job_duration_seconds_count " + std::to_string(durationTotal_) + "\n";
    out += "# HELP tarn_open_connections Conversations running now.\n# TYPE tarn_open_connections gauge\n";
    out += "tarn_open_connections " + std::to_string(open_) + "\n";
    out += "# HELP tarn_mails_total E-mail orders, by result.\n# TYPE tarn_mails_total counter\n";
    for (const char* outcome : {"sent", "failed", "not sent"}) {
        auto found = mails_.find(outcome);
        std::string label = outcome;
        if (label == "not sent") label = "not_sent";
        out += "tarn_mails_total{result=\"" + label + "\"} " +
               std::to_string(found == mails_.end() ? 0 : found->second) + "\n";
    }
    out +=
        "# HELP tarn_history_unrecorded_total Jobs the job history could not record.\n"
        "# TYPE tarn_history_unrecorded_total counter\n";
    out += "tarn_history_unrecorded_total " + std::to_string(unrecorded_) + "\n";
    return out;
}

}  // namespace tarn
