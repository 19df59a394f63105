#pragma once
// Counters of the running server for the Prometheus text format: jobs by
// section and result, the job duration histogram, the open connections and
// the e-mails by result. Kept in memory from the server's start, whether
// or not the job history is on.
//
// Threading: every method may be called from any thread; one mutex guards
// the counters.

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace tarn {

// Upper bounds (seconds) of the job duration histogram's buckets.
inline constexpr double kDurationBuckets[] = {0.01, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10, 30, 60, 300};

class JobMetrics {
  public:
    void ConnectionOpened();
    void ConnectionClosed();
    int OpenConnections() const;
    // One ended job. `section`: the section as the server knows it.
    // `mailOutcomes`: "sent", "failed" or "not sent", one per order.
    void JobEnded(const std::string& section, bool ok, double seconds,
                  const std::vector<std::string>& mailOutcomes);
    // One ended job the job history could not record.
    void JobUnrecorded();

    // The Prometheus text exposition of every counter.
    std::string Exposition(bool paused, double uptimeSeconds) const;

  private:
    mutable std::mutex mutex_;
    int open_ = 0;
    std::map<std::pair<std::string, std::string>, long long> jobs_;  // (section, result) -> jobs
    long long durationCounts_[sizeof kDurationBuckets / sizeof kDurationBuckets[0]] = {};
    long long durationTotal_ = 0;
    double durationSum_ = 0;
    std::map<std::string, long long> mails_;  // outcome -> mails
    long long unrecorded_ = 0;
};

}  // namespace tarn
