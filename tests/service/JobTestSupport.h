#pragma once
// Helpers for the job pipeline and e-mail tests: a service context that
// collects events over a configuration loaded from a TARN.ini written by
// the test.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "service/job/EmailRecord.h"
#include "service/job/ServiceConfig.h"
#include "service/job/ServiceContext.h"
#include "tests/stubs/StandIn.h"

namespace tarn::testing {

struct RecordedEvent {
    EventType type;
    EventId id;
    std::string text;
    bool operator==(const RecordedEvent& o) const { return type == o.type && id == o.id && text == o.text; }
};

inline std::ostream& operator<<(std::ostream& out, const RecordedEvent& e) {
    return out << static_cast<int>(e.type) << " 0x" << std::hex << e.id << std::dec << " \"" << e.text
               << "\"";
}

inline RecordedEvent Info(EventId id, const std::string& text) { return {EventType::kInformation, id, text}; }
inline RecordedEvent Error(EventId id, const std::string& text) { return {EventType::kError, id, text}; }

class FakeContext : public CServiceContext {
  public:
    // Loads `ini` written to `folder`/TARN.ini; `folder` is the program folder.
    FakeContext(const std::string& folder, const std::string& ini) {
        WriteFile(folder + "TARN.ini", ini);
        config_ = CServiceConfig::Create(folder + "TARN.ini", folder, *this);
    }
    bool loaded() const { return config_ != nullptr; }
    const CServiceConfig& Config() const override { return *config_; }
    void ReportServiceEvent(EventType type, EventId id, const std::string& text) const override {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back({type, id, text});
    }
    std::vector<RecordedEvent> Events() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    std::vector<RecordedEvent> Errors() const {
        std::vector<RecordedEvent> errors;
        for (const RecordedEvent& e : Events()) {
            if (e.type == EventType::kError) errors.push_back(e);
        }
        return errors;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.clear();
    }

  private:
    std::unique_ptr<CServiceConfig> config_;
    mutable std::mutex mutex_;
    mutable std::vector<RecordedEvent> events_;
};

// Number of regular files below `folder`.
inline std::size_t FileTreeSize(const std::string& folder) {
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        count += entry.is_regular_file();
    return count;
}

// The lines of a text file.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    for (std::string::size_type end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

}  // namespace tarn::testing
