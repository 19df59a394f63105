// The control actions of the service module in-process: which controls do
// something, the status block, and pause and stop without a listener.

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "service/host/TARNSvrModule.h"

namespace tarn {
namespace {

class EventLog : public EventSink {
  public:
    void WriteConsoleLine(const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        lines.push_back("console " + text);
    }
    void WriteSystemEvent(EventType type, std::uint32_t id, const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        lines.push_back("event " + std::to_string(static_cast<int>(type)) + " " + std::to_string(id) + " " +
                        text);
    }
    std::vector<std::string> lines;

  private:
    std::mutex mutex_;
};

TEST(ServiceControlTest, StatusBlockStartsStoppedAcceptingStopAndPauseContinue) {
    EventLog log;
    CTARNSvrModule module(log);
    EXPECT_EQ(module.StatusBlock().serviceType, 0x10u);
    EXPECT_EQ(module.StatusBlock().currentState, 1u);
    EXPECT_EQ(module.StatusBlock().controlsAccepted, 3u);
    EXPECT_TRUE(module.RunningAsService());
}

TEST(ServiceControlTest, InterrogateAndShutdownDoNothingOtherNumbersAreBadRequests) {
    EventLog log;
    CTARNSvrModule module(log);
    module.ControlHandler(kControlInterrogate);
    module.ControlHandler(kControlShutdown);
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(module.StatusBlock().currentState, kServiceStopped);
    module.ControlHandler(128);
    EXPECT_EQ(log.lines, std::vector<std::string>{"event 4 0 Bad service request"});
}

TEST(ServiceControlTest, PauseThenStopWithoutAListenerReleaseEverything) {
    EventLog log;
    CTARNSvrModule module(log);
    module.ControlHandler(kControlPause);
    EXPECT_EQ(module.StatusBlock().currentState, kServicePaused);
    EXPECT_EQ(log.lines, std::vector<std::string>{"event 0 0 Service paused."});
    module.ControlHandler(kControlStop);
    EXPECT_EQ(module.StatusBlock().currentState, kServiceStopPending);
    EXPECT_FALSE(module.HasConfig());
    EXPECT_EQ(log.lines.size(), 1u);  // the stop itself writes nothing; ServiceMain does
}

}  // namespace
}  // namespace tarn
