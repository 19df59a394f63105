// The event writers: verbatim texts, the cuts, console versus system events.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/host/EventWriters.h"

namespace tarn {
namespace {

class RecordingSink : public EventSink {
  public:
    void WriteConsoleLine(const std::string& text) override { console.push_back(text); }
    void WriteSystemEvent(EventType type, std::uint32_t id, const std::string& text) override {
        system.push_back(FormatSystemEvent(id, text));
        types.push_back(type);
    }
    std::vector<std::string> console;
    std::vector<std::string> system;
    std::vector<EventType> types;
};

TEST(ReportServiceEvent, ConsoleModeWritesTheTextVerbatimAndNoSystemEvent) {
    RecordingSink sink;
    ReportServiceEvent(sink, false, EventType::kError, kEvtNoSaveFolder, "/srv/%s%n%d/");
    EXPECT_EQ(sink.console, std::vector<std::string>{"/srv/%s%n%d/"});
    EXPECT_TRUE(sink.system.empty());
}

TEST(ReportServiceEvent, ServiceModeWritesOneSystemEventWithHexIdentifier) {
    RecordingSink sink;
    ReportServiceEvent(sink, true, EventType::kError, kEvtNoSection, "a %s b");
    EXPECT_TRUE(sink.console.empty());
    EXPECT_EQ(sink.system, std::vector<std::string>{"0xC0000201 a %s b"});
    EXPECT_EQ(sink.types, std::vector<EventType>{EventType::kError});
}

TEST(ReportServiceEvent, LongTextIsCutAt4095AndEndsAtNul) {
    RecordingSink sink;
    ReportServiceEvent(sink, false, EventType::kInformation, kEvtCommandLine, std::string(5000, 'c'));
    ReportServiceEvent(sink, false, EventType::kInformation, kEvtSection, std::string("sec\0tail", 8));
    ASSERT_EQ(sink.console.size(), 2u);
    EXPECT_EQ(sink.console[0], std::string(kMaxEventText, 'c'));
    EXPECT_EQ(sink.console[1], "sec");
}

TEST(ReportServiceEvent, ControlBytesAreEscapedOnTheConsoleAndInSystemEvents) {
    RecordingSink sink;
    const std::string forged = "x\x1b[2J\r\nok\x7f";
    ReportServiceEvent(sink, false, EventType::kError, kEvtNoSection, forged);
    ReportServiceEvent(sink, true, EventType::kError, kEvtNoSection, forged);
    LogEvent(sink, false, forged);
    const std::string escaped = "x\\x1b[2J\\x0d\\x0aok\\x7f";
    EXPECT_EQ(sink.console, (std::vector<std::string>{escaped, escaped}));
    EXPECT_EQ(sink.system, (std::vector<std::string>{"0xC0000201 " + escaped, "0x00000000 " + escaped}));
}

TEST(LogEvent, WritesToConsoleInConsoleModeAndAlwaysASystemEventCutAt255) {
    RecordingSink sink;
    LogEvent(sink, false, std::string(300, 'l'));
    EXPECT_EQ(sink.console, std::vector<std::string>{std::string(255, 'l')});
    ASSERT_EQ(sink.system.size(), 1u);
    EXPECT_EQ(sink.system[0], "0x00000000 " + std::string(255, 'l'));
    EXPECT_EQ(sink.types[0], EventType::kInformation);

    RecordingSink service;
    LogEvent(service, true, "Service started");
    EXPECT_TRUE(service.console.empty());
    EXPECT_EQ(service.system, std::vector<std::string>{"0x00000000 Service started"});
}

}  // namespace
}  // namespace tarn
