// The byte-level rules of job handling: path joining, tokenizing, base
// names, control stripping, the line splitter, the command/e-mail lines and
// the recipients of e-mail orders.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/job/LineSplitter.h"
#include "service/job/Recipients.h"
#include "service/job/RequestLines.h"
#include "service/job/TextHelpers.h"

namespace tarn {
namespace {

using Fields = std::vector<std::string>;

TEST(JoinPath, AddsExactlyOneSeparatorAndNothingElse) {
    EXPECT_EQ(JoinPath("", "name"), "name");
    EXPECT_EQ(JoinPath("/out", ""), "/out");
    EXPECT_EQ(JoinPath("/out", "a.txt"), "/out/a.txt");
    EXPECT_EQ(JoinPath("/out/", "/a.txt"), "/out/a.txt");
    EXPECT_EQ(JoinPath("/out/", "a.txt"), "/out/a.txt");
    EXPECT_EQ(JoinPath("/out", "/a.txt"), "/out/a.txt");
    EXPECT_EQ(JoinPath("/out//", "a/../b"), "/out//a/../b");
}

TEST(Tokenize, DropsEmptyFieldsAndSeparatorsAtEitherEnd) {
    EXPECT_EQ(Tokenize("", "^"), Fields{});
    EXPECT_EQ(Tokenize("^^^", "^"), Fields{});
    EXPECT_EQ(Tokenize("^a^^b^", "^"), (Fields{"a", "b"}));
    EXPECT_EQ(Tokenize("a.b.txt", "."), (Fields{"a", "b", "txt"}));
    EXPECT_EQ(Tokenize("x\x02y;z", "\x02;"), (Fields{"x", "y", "z"}));
}

TEST(BaseName, CutsAtLastSpaceBackslashOrSlashUnlessItIsLast) {
    EXPECT_EQ(BaseName("C:\\jobs\\inv42.txt"), "inv42.txt");
    EXPECT_EQ(BaseName("/srv/out/a.txt"), "a.txt");
    EXPECT_EQ(BaseName("my report.txt"), "report.txt");
    EXPECT_EQ(BaseName("plain.txt"), "plain.txt");
    EXPECT_EQ(BaseName("folder/"), "folder/");
    EXPECT_EQ(BaseName(""), "");
}

TEST(StripControls, TurnsBytesBelowTwentyIntoNulAndKeepsLength) {
    std::string stripped = StripControls(std::string("a\x01\x13\x14z\r\n", 7));
    EXPECT_EQ(stripped, std::string("a\0\0\x14z\0\0", 7));
    EXPECT_EQ(CutAtNul(stripped), "a");
    EXPECT_EQ(StripControls("\xE4\xF6\xFC"), "\xE4\xF6\xFC");
}

TEST(EscapeControls, EveryControlByteAndDeleteBecomeHexEscapes) {
    EXPECT_EQ(EscapeControls(std::string("a\x1b[2J\r\n\0\x14\x1f\x7f ~\xe4", 14)),
              "a\\x1b[2J\\x0d\\x0a\\x00\\x14\\x1f\\x7f ~\xe4");
    EXPECT_EQ(EscapeControls("C:\\out\\a.pdf"), "C:\\out\\a.pdf");
}

std::vector<std::string> Split(const std::vector<std::string>& blocks) {
    LineSplitter splitter;
    std::vector<std::string> lines;
    for (const std::string& block : blocks) {
        splitter.Append(block.data(), block.size());
        std::string line;
        while (splitter.TakeLine(&line)) lines.push_back(line);
    }
    return lines;
}

TEST(LineSplitter, LineEndsAndPageBreaks) {
    EXPECT_EQ(Split({"abc\n"}), Fields{"abc\r\n"});
    EXPECT_EQ(Split({"abc\r\n"}), Fields{"abc\r\n"});
    EXPECT_EQ(Split({"before\fafter\n"}), (Fields{"before\f\r", "after\r\n"}));
    EXPECT_EQ(Split({"\f\f"}), (Fields{"\f\r", "\f\r"}));
    // A CR inside the line (overprint) keeps the line end as sent.
    EXPECT_EQ(Split({"a\rb\n"}), Fields{"a\rb\n"});
    // Empty lines stay lines.
    EXPECT_EQ(Split({"\n\r\n"}), (Fields{"\r\n", "\r\n"}));
}

TEST(LineSplitter, ResultDoesNotDependOnHowBytesArrive) {
    Fields whole = Split({"lf\ncrlf\r\nff\fend\n"});
    EXPECT_EQ(whole, (Fields{"lf\r\n", "crlf\r\n", "ff\f\r", "end\r\n"}));
    EXPECT_EQ(Split({"l", "f\ncr", "lf\r", "\nff\f", "end\n"}), whole);
}

TEST(LineSplitter, PartialLineWaitsAndBytesAfterNulInABlockAreDropped) {
    LineSplitter splitter;
    std::string line;
    splitter.Append("par", 3);
    EXPECT_FALSE(splitter.TakeLine(&line));
    std::string block("tial\nkept\0dropped\n", 18);
    splitter.Append(block.data(), block.size());
    ASSERT_TRUE(splitter.TakeLine(&line));
    EXPECT_EQ(line, "partial\r\n");
    EXPECT_FALSE(splitter.TakeLine(&line));
    EXPECT_EQ(splitter.Pending(), "kept");
    splitter.Append("more\n", 5);
    ASSERT_TRUE(splitter.TakeLine(&line));
    EXPECT_EQ(line, "keptmore\r\n");
}

TEST(LineSplitter, OverlongLineIsHandedOutInBoundedPiecesWithoutLoss) {
    LineSplitter splitter;
    const std::string big(kMaxLineBytes * 2 + 100, 'x');
    std::string joined;
    std::string line;
    size_t largest = 0;
    for (size_t pos = 0; pos < big.size(); pos += 4096) {
        std::string block = big.substr(pos, 4096);
        splitter.Append(block.data(), block.size());
        while (splitter.TakeLine(&line)) {
            joined += line;
            largest = std::max(largest, line.size());
        }
        EXPECT_LE(splitter.Pending().size(), kMaxLineBytes);
    }
    splitter.Append("\n", 1);
    while (splitter.TakeLine(&line)) joined += line;
    EXPECT_EQ(largest, kMaxLineBytes);
    EXPECT_EQ(joined, big + "\r\n");
}

TEST(RunLine, FieldsNamesAndPaths) {
    RunCommand c = ParseRunLine(
        "_RUN_\x02"
        "C:\\jobs\\inv42.txt\x02INVOICE\r\n");
    EXPECT_EQ(c.rawName, "inv42.txt");
    EXPECT_EQ(c.section, "INVOICE");  // CR LF became NUL and end the name

    c = ParseRunLine(
        "_RUN_\x02\x02\x02"
        "a.txt\x02\x02raw\x02ignored\r\n");
    EXPECT_EQ(c.rawName, "a.txt");
    EXPECT_EQ(c.section, "raw");

    // A control byte in a folder part: the last component is taken first.
    c = ParseRunLine(
        "_RUN_\x02"
        "dir\tx/z9.txt\x02raw\r\n");
    EXPECT_EQ(c.rawName, "z9.txt");
    c = ParseRunLine(
        "_RUN_\x02"
        "dir/z9\x01.txt\x02raw\r\n");
    EXPECT_EQ(c.rawName, "z9");

    c = ParseRunLine("_RUN_\x02only.txt\r\n");  // two fields: no section
    EXPECT_EQ(c.rawName, "only.txt");
    EXPECT_EQ(c.section, "");
}

TEST(EmailLine, FieldsShiftWhenOneIsEmptyAndAcceptanceNeedsAddressAndName) {
    EmailRecord order;
    EXPECT_TRUE(
        ParseEmailLine("\x02"
                       "email:a@x.org;b@x.org^Invoice^Ann^body.txt\r\n",
                       &order));
    EXPECT_EQ(order.addressList, "a@x.org;b@x.org");
    EXPECT_EQ(order.subject, "Invoice");
    EXPECT_EQ(order.recipientName, "Ann");
    EXPECT_EQ(order.bodyTemplate, "body.txt");

    // Empty subject: the name moves up to the subject, the body to the name.
    order = EmailRecord();
    EXPECT_TRUE(
        ParseEmailLine("\x02"
                       "email:a@x.org^^Ann^body.txt\r\n",
                       &order));
    EXPECT_EQ(order.subject, "Ann");
    EXPECT_EQ(order.recipientName, "body.txt");
    EXPECT_EQ(order.bodyTemplate, "");

    order = EmailRecord();
    EXPECT_FALSE(
        ParseEmailLine("\x02"
                       "email:a@x.org^Invoice\r\n",
                       &order));
    // A name of control bytes only still counts as given.
    EXPECT_TRUE(
        ParseEmailLine("\x02"
                       "email:a@x.org^s^\x01\r\n",
                       &order));
    EXPECT_EQ(order.recipientName, "");
}

TEST(ChooseSection, XlsPrefixSelectsSharedSectionAndSuffixedKey) {
    SectionChoice c = ChooseSection("XLSbranch");
    EXPECT_EQ(c.section, "XLS");
    EXPECT_EQ(c.saveDirKey, "saveDirbranch");
    EXPECT_EQ(c.keySuffix, "branch");
    c = ChooseSection("xls");
    EXPECT_EQ(c.section, "xls");
    EXPECT_EQ(c.saveDirKey, "saveDir");
    c = ChooseSection("invoice");
    EXPECT_EQ(c.section, "invoice");
    EXPECT_EQ(c.saveDirKey, "saveDir");
    EXPECT_EQ(c.keySuffix, "");
}

TEST(RawName, OnlyPlainFileNamesAreUsable) {
    EXPECT_TRUE(IsUsableRawName("inv42.txt"));
    EXPECT_TRUE(IsUsableRawName("%s.txt"));
    EXPECT_TRUE(IsUsableRawName("\xE4nderung.txt"));
    for (const char* bad : {"", ".", "..", "a\"b", "a<b", "a>b", "a|b", "a*b", "a?b", "a/b", "a\\b",
                            "a\x15"
                            "b",
                            "a\x7F"})
        EXPECT_FALSE(IsUsableRawName(bad)) << bad;
}

TEST(Recipients, ListsReadWholeOrNotAtAll) {
    std::vector<std::string> addresses;
    ASSERT_TRUE(
        ReadRecipients("\"Doe, John\" <j@x.example>, k@Y.example (a, b@c.example)", "", &addresses).ok());
    EXPECT_EQ(addresses, (Fields{"j@x.example", "k@Y.example"}));
    ASSERT_TRUE(ReadRecipients("team: a@x.example, b@y.example;", "", &addresses).ok());
    EXPECT_EQ(addresses, (Fields{"a@x.example", "b@y.example"}));
    // Cut lists, addresses without a domain, a display name hiding an address.
    for (const char* bad :
         {"a@x.example;b@y.example", "root, a@x.example", "x@y@z.example", "garbage<e@z.example", "",
          "Just A Name", "a@x.example>", "Ann <a@x.example>> b@y.example", "a@x.example<c",
          "Ann <a@x.example", "<<a@x.example>>", "a@x.example <b@y.example>"})
        EXPECT_FALSE(ReadRecipients(bad, "", &addresses).ok()) << bad;
    EXPECT_FALSE(ReadRecipients("a@x.example", "no-such-charset", &addresses).ok());

    // A list blat refuses sends to nobody, so it counts nobody.
    EXPECT_EQ(CountRecipients("\"Doe, John\" <j@x.example>, k@y.example", ""), 2);
    EXPECT_EQ(CountRecipients("a@x.example;b@y.example;c@z.example", ""), 0);
    EXPECT_EQ(CountRecipients("nobody", ""), 0);
}

TEST(Recipients, ReadInTheMailersCharsetAsBlatReadsThem) {
    // In Shift_JIS 0x95 0x5C is one letter; read as bytes, the 0x5C escapes
    // the ')' and hides the next two addresses in a comment, which is how the
    // server once counted one recipient and allowed a list blat sent to three.
    const std::string list = "a@example.com (\x95\x5C), evil@x.example, \"x)\" <b@example.com>";
    std::vector<std::string> addresses;
    ASSERT_TRUE(ReadRecipients(list, "shift_jis", &addresses).ok());
    EXPECT_EQ(addresses, (Fields{"a@example.com", "evil@x.example", "b@example.com"}));
    EXPECT_EQ(CountRecipients(list, "shift_jis"), 3);
    EXPECT_FALSE(ReadRecipients(list, "", &addresses).ok());  // windows-1252: an unclosed quote
}

TEST(Recipients, AllowListComparesAddressesAndDomainsOnTheDomainWithoutCase) {
    EXPECT_TRUE(RecipientAllowList(" ").Allows("anyone@anywhere.example"));
    RecipientAllowList allowed("boss@Corp.example, @Branch.example;clerk@x.example");
    EXPECT_TRUE(allowed.Allows("boss@corp.EXAMPLE"));
    EXPECT_TRUE(allowed.Allows("anyone@branch.example"));
    EXPECT_TRUE(allowed.Allows("clerk@X.example"));
    EXPECT_FALSE(allowed.Allows("Boss@corp.example"));  // the local part is compared as written
    EXPECT_FALSE(allowed.Allows("other@corp.example"));
    EXPECT_FALSE(allowed.Allows("a@sub.branch.example"));
    EXPECT_FALSE(allowed.Allows("a@evilbranch.example"));
    EXPECT_FALSE(allowed.Allows("branch.example"));
}

}  // namespace
}  // namespace tarn
