// What the job history makes of client text and operator input: bytes
// stored as UTF-8, control characters and markup made harmless for a
// terminal, a page and a metrics label, --since values, and the reason
// recorded for an e-mail order that was not sent.

#include <gtest/gtest.h>

#include "platform/LocalTime.h"
#include "service/history/DisplayText.h"
#include "service/history/JobHistory.h"
#include "service/history/JobQuery.h"

namespace tarn {
namespace {

TEST(HistoryText, ClientBytesBecomeUtf8AndControlsBecomeEscapes) {
    EXPECT_EQ(ToUtf8("plain.txt"), "plain.txt");
    EXPECT_EQ(ToUtf8("caf\xC3\xA9"), "caf\xC3\xA9");                    // already UTF-8
    EXPECT_EQ(ToUtf8("caf\xE9 \x80"), "caf\xC3\xA9 \xE2\x82\xAC");      // Windows-1252: e acute, euro
    EXPECT_EQ(ToUtf8("a\x81z"), "a\xEF\xBF\xBDz");                      // undefined in Windows-1252
    EXPECT_EQ(ToUtf8("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xE2\x82\xAC");  // a UTF-16 surrogate is no UTF-8

    // A terminal escape, a forged line end, a C1 control introducer and a backslash.
    EXPECT_EQ(EscapeForDisplay("a\x1b[2Jb\r\nok\xC2\x9B"
                               "1m\\"),
              "a\\x1B[2Jb\\x0D\\x0Aok\\u009B1m\\\\");
    EXPECT_EQ(HtmlEscape("<img src=x onerror=alert(1)>.txt"), "&lt;img src=x onerror=alert(1)&gt;.txt");
    EXPECT_EQ(HtmlEscape("\"a\" & 'b'\x07"), "&quot;a&quot; &amp; &#39;b&#39;\\x07");
    EXPECT_EQ(PrometheusLabel("a\"b\\c\nd"), "a\\\"b\\\\c\\nd");

    EXPECT_EQ(DisplayWidth("caf\xC3\xA9"), 4u);
    EXPECT_EQ(CutToWidth("caf\xC3\xA9-au-lait", 5), "caf\xC3\xA9~");
    EXPECT_EQ(CutToWidth("short", 5), "short");
}

TEST(HistoryText, SinceTakesDatesTimesAndAges) {
    const std::int64_t now = UnixTimeOfLocal(2026, 3, 15, 14, 30, 0) * 1000;
    std::int64_t since = 0;
    ASSERT_TRUE(ParseSince("90m", now, &since));
    EXPECT_EQ(since, now - 90 * 60000);
    ASSERT_TRUE(ParseSince("2d", now, &since));
    EXPECT_EQ(since, now - 2 * 86400000LL);
    ASSERT_TRUE(ParseSince("08:15", now, &since));
    EXPECT_EQ(since, UnixTimeOfLocal(2026, 3, 15, 8, 15, 0) * 1000);
    ASSERT_TRUE(ParseSince("2026-03-01", now, &since));
    EXPECT_EQ(since, UnixTimeOfLocal(2026, 3, 1, 0, 0, 0) * 1000);
    ASSERT_TRUE(ParseSince("2026-03-01T07:05:09", now, &since));
    EXPECT_EQ(since, UnixTimeOfLocal(2026, 3, 1, 7, 5, 9) * 1000);
    ASSERT_TRUE(ParseSince("2026-03-01 07:05", now, &since));
    EXPECT_EQ(since, UnixTimeOfLocal(2026, 3, 1, 7, 5, 0) * 1000);
    for (const char* bad : {"", "yesterday", "5", "5w", "-5d", "25:00", "2026-13-01", "2026-03-01 7",
                            "2026-03-01x", "99999999999999999d", "12:30 "}) {
        EXPECT_FALSE(ParseSince(bad, now, &since)) << bad;
    }
}

TEST(HistoryText, TheDatabaseIsFoundBelowModulePathUnlessItsPathIsAbsolute) {
    EXPECT_EQ(HistoryPathFor("/opt/tarn/", "jobs.db"), "/opt/tarn/jobs.db");
    EXPECT_EQ(HistoryPathFor("/opt/tarn", "history/jobs.db"), "/opt/tarn/history/jobs.db");
    EXPECT_EQ(HistoryPathFor("/opt/tarn/", "/var/lib/tarn/jobs.db"), "/var/lib/tarn/jobs.db");
}

TEST(HistoryText, AnOrderNotSentSaysWhy) {
    JobRecord job;
    job.emailOrders.resize(3);
    job.emailOrders[0].addressList = "a@example.org";
    job.sendEmail = true;
    job.mailResults = {MailResult::kSent, MailResult::kFailed};
    std::vector<MailOutcome> mails = MailOutcomesOf(job);
    ASSERT_EQ(mails.size(), 3u);
    EXPECT_EQ(mails[0].addresses, "a@example.org");
    EXPECT_EQ(mails[0].outcome, "sent");
    EXPECT_EQ(mails[1].outcome, "failed");
    EXPECT_EQ(mails[2].outcome, "not sent");
    EXPECT_EQ(mails[2].reason, "the job ended before its output was delivered");

    job.mailResults.clear();
    job.mailRefusal = "The attachement file is too big.";
    EXPECT_EQ(MailOutcomesOf(job)[0].reason, "The attachement file is too big.");
    job.mailRefusal.clear();
    job.sendEmail = false;
    EXPECT_EQ(MailOutcomesOf(job)[0].reason, "e-mail turned off by the job's last e-mail line");
}

}  // namespace
}  // namespace tarn
