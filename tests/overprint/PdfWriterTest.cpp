#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "PdfTestSupport.h"
#include "overprint/PdfDocument.h"
#include "overprint/PdfWriter.h"
#include "overprint/ReaderPatterns.h"

namespace tarn::overprint {
namespace {

using testing::ReadFile;
using testing::ScratchDir;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

std::string Entry(unsigned offset) {
    char text[32];
    std::snprintf(text, sizeof text, "%010u 00000 n \n", offset);
    return text;
}

TEST(PdfWriterTest, NumbersNeverWrittenStayFreeInAChain) {
    ScratchDir dir;
    PdfWriter writer;
    ASSERT_TRUE(writer.Create(dir / "out.pdf"));
    writer.WriteRaw("%PDF-1.4\n");
    EXPECT_EQ(1, writer.ReserveNumbers(4));
    EXPECT_EQ(5, writer.TakeObjectNumber());
    writer.WriteObject(5, "obj\n<< >>\n");
    writer.WriteObject(2, "obj\n<< >>\n");
    writer.WriteCrossReference(5);
    ASSERT_TRUE(writer.Commit());
    EXPECT_EQ(
        "%PDF-1.4\n5 0 obj\n<< >>\nendobj\n2 0 obj\n<< >>\nendobj\n"
        "xref\n0 6\n0000000001 65535 f \n0000000003 00001 f \n" +
            Entry(30) + "0000000004 00001 f \n0000000000 00001 f \n" + Entry(9) +
            "trailer\n<< /Size 6\n/Root 5 0 R\n>>\nstartxref\n51\n%%EOF\n",
        ReadFile(dir / "out.pdf"));
    std::string listing;
    testing::RunShell("ls -A '" + dir.path() + "'", &listing);
    EXPECT_EQ("out.pdf\n", listing);
}

TEST(PdfWriterTest, CopiedObjectsAreRenumberedWithGenerationZero) {
    ScratchDir dir;
    testing::WriteFile(dir / "in.pdf",
                       "%PDF-1.4\n7 2 obj\n<< /Ref 3 1 R /Kids [3 0 R 12 0 R] (9 0 R) >>\nendobj\n");
    PatternCache patterns;
    AddReaderPatterns(patterns);
    PdfDocument document(patterns);
    ASSERT_TRUE(document.Open(dir / "in.pdf"));
    CaptureStdout();
    document.Read();
    GetCapturedStdout();
    PdfWriter writer;
    ASSERT_TRUE(writer.Create(dir / "out.pdf"));
    writer.WriteRaw(document.Header());
    // 3 becomes 13; 12 names no object of the output and reads as null.
    auto renumber = [](int n) { return n == 3 ? 13 : 0; };
    EXPECT_TRUE(document.CopyObject(7, 17, renumber, writer));
    EXPECT_FALSE(document.CopyObject(8, 18, renumber, writer));
    ASSERT_TRUE(writer.Commit());
    EXPECT_EQ(
        "%PDF-1.4\n"
        "17 0 obj\n<< /Ref  13 0 R /Kids [ 13 0 R  null] (9 0 R) >>\nendobj\n",
        ReadFile(dir / "out.pdf"));
    EXPECT_TRUE(writer.IsWritten(17));
    EXPECT_FALSE(writer.IsWritten(18));
}

TEST(PdfWriterTest, CompressedStreamsInflateToTheirBytes) {
    ScratchDir dir;
    PdfWriter writer;
    ASSERT_TRUE(writer.Create(dir / "out.pdf"));
    writer.WriteRaw("%PDF-1.4\n");
    const std::string text = "BT\n/FilL0 10 Tf 0 Tw 0 Tr 0 Ts 100 Tz\n0.0 0.0 0.0 rg\n20 782 Td\n(x)Tj\nET\n";
    const int content = writer.TakeObjectNumber();
    writer.WriteStream(content, text, true);
    const int page = writer.TakeObjectNumber();
    const int pages = writer.TakeObjectNumber();
    const int catalog = writer.TakeObjectNumber();
    writer.WriteObject(page, "obj\n<< /Type /Page /Parent 3 0 R /Contents 1 0 R >>\n");
    writer.WriteObject(pages, "obj\n<< /Type /Pages /Kids [2 0 R] /Count 1 >>\n");
    writer.WriteObject(catalog, "obj\n<< /Type /Catalog /Pages 3 0 R >>\n");
    writer.WriteCrossReference(catalog);
    ASSERT_TRUE(writer.Commit());
    std::string report;
    EXPECT_TRUE(testing::QpdfCheckPasses(dir / "out.pdf", &report)) << report;
    std::string shown;
    testing::RunShell("qpdf --show-object=1 --filtered-stream-data '" + (dir / "out.pdf") + "'", &shown);
    EXPECT_EQ(text, shown);
}

// Runs `body` in a child whose files may not grow past 4 KB; returns what
// it printed and its exit status.
int WithSmallFileLimit(const std::string& printedTo, void (*body)()) {
    pid_t pid = ::fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        if (std::freopen(printedTo.c_str(), "w", stdout) == nullptr) ::_exit(127);
        body();
        std::fflush(stdout);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string g_failingOutput;

TEST(PdfWriterTest, FailedWriteIsReportedOnceAndLeavesNoFile) {
    ScratchDir dir;
    g_failingOutput = dir / "big.pdf";
    ASSERT_EQ(0, WithSmallFileLimit(dir / "printed", [] {
                  PdfWriter writer;
                  if (!writer.Create(g_failingOutput)) ::_exit(3);
                  for (int i = 0; i < 100; ++i)
                      writer.WriteObject(i + 1, "obj\n" + std::string(1000, 'x') + "\n");
                  if (!writer.failed()) ::_exit(4);
                  writer.WriteCrossReference(1);
                  if (writer.Commit()) ::_exit(5);
              }));
    EXPECT_EQ("***01 Error write into file: " + g_failingOutput, ReadFile(dir / "printed"));
    std::string listing;
    testing::RunShell("ls -A '" + dir.path() + "'", &listing);
    EXPECT_EQ("printed\n", listing);
}

TEST(PdfWriterTest, LinkPlantedUnderTheOutputNameIsReplacedNotFollowed) {
    ScratchDir dir;
    testing::WriteFile(dir / "victim", "keep me");
    ASSERT_EQ(0, ::symlink((dir / "victim").c_str(), (dir / "out.pdf").c_str()));
    PdfWriter writer;
    ASSERT_TRUE(writer.Create(dir / "out.pdf"));
    writer.WriteRaw("%PDF-1.4\n");
    writer.WriteCrossReference(0);
    ASSERT_TRUE(writer.Commit());
    EXPECT_EQ("keep me", ReadFile(dir / "victim"));
    EXPECT_NE(0, testing::RunShell("test -L '" + (dir / "out.pdf") + "'"));
    EXPECT_EQ(0u, ReadFile(dir / "out.pdf").find("%PDF-1.4\nxref"));
}

}  // namespace
}  // namespace tarn::overprint
