#include <gtest/gtest.h>

#include <regex>
#include <thread>

#include "service/job/ActivityLog.h"
#include "tests/service/JobTestSupport.h"

namespace tarn {
namespace {

using namespace tarn::testing;

TEST(ActivityLog, LinesByteForByte) {
    LocalDateTime t;
    t.year = 2024, t.month = 3, t.day = 5, t.hour = 14, t.minute = 7, t.second = 9;
    const std::string stamp = ActivityStamp(t);
    EXPECT_EQ(stamp, "05/03/2024 14:07:09");
    EXPECT_EQ(MailLogLine(stamp, "c:\\out\\a.pdf", "a@b.com", false),
              "05/03/2024 14:07:09 c:\\out\\a.pdf -> a@b.com succeeded\n");
    EXPECT_EQ(MailLogLine(stamp, "/out/a.pdf", "a@b.com,c@d.com", true),
              "05/03/2024 14:07:09 /out/a.pdf -> a@b.com,c@d.com failed\n");
    EXPECT_EQ(JobLogLine(stamp, "/out/a.pdf", true), "05/03/2024 14:07:09 /out/a.pdf -> all failed\n");
    // An address list cannot forge an outcome or steer the terminal.
    EXPECT_EQ(
        MailLogLine(stamp, "/out/a\tb.pdf", "x@y\r05/03/2024 a.pdf -> x succeeded\x1b[8m", true),
        "05/03/2024 14:07:09 /out/a\\x09b.pdf -> x@y\\x0d05/03/2024 a.pdf -> x succeeded\\x1b[8m failed\n");
    EXPECT_EQ(JobLogLine(stamp, "/out/\n.pdf", true), "05/03/2024 14:07:09 /out/\\x0a.pdf -> all failed\n");
}

TEST(ActivityLog, AppendsBelowModulePathOnlyWhenConfigured) {
    ScratchFolder dir;
    FakeContext context(dir.path(), "[Server]\nemlog=activity.log\n");
    ASSERT_TRUE(context.loaded());
    AppendJobLogLine(context, "/out/first.pdf", true);
    EmailRecord record;
    record.module = &context;
    record.attachment = "/out/second.pdf";
    record.addressList = "a@b.com";
    AppendMailLogLine(record, false);
    std::vector<std::string> lines = Lines(ReadFile(dir / "activity.log"));
    ASSERT_EQ(lines.size(), 2u);
    const std::regex stamp("[0-3][0-9]/[01][0-9]/[0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-6][0-9] ");
    EXPECT_TRUE(std::regex_search(lines[0], stamp));
    EXPECT_EQ(lines[0].substr(20), "/out/first.pdf -> all failed");
    EXPECT_EQ(lines[1].substr(20), "/out/second.pdf -> a@b.com succeeded");

    // No emlog: nothing anywhere, no error. A log below a missing folder: skipped.
    ScratchFolder quiet;
    FakeContext none(quiet.path(), "[Server]\nport=1\n");
    AppendJobLogLine(none, "/out/x.pdf", true);
    FakeContext missing(quiet.path(), "[Server]\nemlog=nofolder/activity.log\n");
    AppendJobLogLine(missing, "/out/x.pdf", true);
    EXPECT_EQ(FileTreeSize(quiet.path()), 1u);  // TARN.ini alone
}

TEST(ActivityLog, ParallelWritersKeepLinesWhole) {
    ScratchFolder dir;
    FakeContext context(dir.path(), "[Server]\nemlog=activity.log\n");
    constexpr int kThreads = 8;
    constexpr int kLinesEach = 300;
    const std::string longPath = "/out/" + std::string(3000, 'p') + ".pdf";
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            EmailRecord record;
            record.module = &context;
            record.attachment = longPath;
            record.addressList = "t" + std::to_string(t) + "@example.com";
            for (int i = 0; i < kLinesEach; ++i) AppendMailLogLine(record, i % 2 == 0);
        });
    }
    for (std::thread& t : threads) t.join();
    std::vector<std::string> lines = Lines(ReadFile(dir / "activity.log"));
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLinesEach));
    const std::regex whole(
        "[0-9/]{10} [0-9:]{8} /out/p{3000}\\.pdf -> t[0-7]@example\\.com (failed|succeeded)");
    for (const std::string& line : lines) ASSERT_TRUE(std::regex_match(line, whole)) << line.substr(0, 80);
}

}  // namespace
}  // namespace tarn
