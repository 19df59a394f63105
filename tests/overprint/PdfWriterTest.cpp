#include <gtest/gtest.h>

#include "PdfTestSupport.h"
#include "overprint/ExitStatus.h"
#include "overprint/OverprintExit.h"
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

TEST(PdfWriterTest, ObjectsNeverWrittenAreListedWithOffsetZero) {
    ScratchDir dir;
    PdfWriter writer;
    ASSERT_TRUE(writer.Open(dir / "out.pdf"));
    writer.Write("%PDF-1.4\n", "");
    writer.WriteObject(5, "obj\n<< >>\n");
    writer.counter = 6;
    writer.root = 1;
    writer.WriteCrossReference();
    ASSERT_TRUE(writer.Close());
    EXPECT_EQ(6u, writer.offsets().size());
    EXPECT_EQ(
        "%PDF-1.4\n5 0 obj\n<< >>\nendobj\n"
        "xref\n0 6\n0000000000 65535 f \n" +
            Entry(0) + Entry(0) + Entry(0) + Entry(0) + Entry(9) +
            "trailer\n<< /Size 6\n/Root 1 0 R\n>>\nstartxref\n30\n%%EOF\n",
        ReadFile(dir / "out.pdf"));
}

TEST(PdfWriterTest, TableSizeIsCounterPlusShiftWithTwentyByteEntries) {
    ScratchDir dir;
    PdfWriter writer;
    ASSERT_TRUE(writer.Open(dir / "out.pdf"));
    writer.counter = 11;
    writer.shift = 10;
    writer.root = 1;
    writer.WriteCrossReference();
    ASSERT_TRUE(writer.Close());
    const std::string bytes = ReadFile(dir / "out.pdf");
    const std::string head = "xref\n0 21\n";
    const std::string tail = "trailer\n<< /Size 21\n/Root 1 0 R\n>>\nstartxref\n0\n%%EOF\n";
    ASSERT_EQ(head.size() + 21 * 20 + tail.size(), bytes.size());
    EXPECT_EQ(head, bytes.substr(0, head.size()));
    EXPECT_EQ(tail, bytes.substr(bytes.size() - tail.size()));
}

TEST(PdfWriterTest, CopiedObjectsAreRenumberedWithGenerationZero) {
    ScratchDir dir;
    testing::WriteFile(dir / "in.pdf",
                       "%PDF-1.4\n7 2 obj\n<< /Ref 3 0 R /Kids [3 0 R 12 0 R] (9 0 R) >>\nendobj\n");
    PatternCache patterns;
    AddReaderPatterns(patterns);
    PdfDocument document(patterns);
    ASSERT_TRUE(document.Open(dir / "out.pdf", dir / "in.pdf"));
    CaptureStdout();
    document.Read();
    GetCapturedStdout();
    document.CopyHeader();
    EXPECT_TRUE(document.CopyObject(7));
    document.writer().shift = 10;
    EXPECT_TRUE(document.CopyObject(7));
    EXPECT_FALSE(document.CopyObject(8));
    ASSERT_TRUE(document.writer().Close());
    EXPECT_EQ(
        "%PDF-1.4\n"
        "7 0 obj\n<< /Ref  3 0 R /Kids [ 3 0 R  12 0 R] (9 0 R) >>\nendobj\n"
        "17 0 obj\n<< /Ref  13 0 R /Kids [ 13 0 R  22 0 R] (9 0 R) >>\nendobj\n",
        ReadFile(dir / "out.pdf"));
    EXPECT_EQ(9u, document.writer().offsets()[7]);
    EXPECT_TRUE(document.writer().IsWritten(17));
    EXPECT_FALSE(document.writer().IsWritten(8));
}

TEST(PdfWriterTest, WriteFailureEndsTheRunWithAFailureStatus) {
    PdfWriter writer;
    ASSERT_TRUE(writer.Open("/dev/full"));
    // Small writes fail only when the buffer goes out, at the latest on Close.
    writer.WriteObject(1, "obj\n<< >>\n");
    CaptureStdout();
    EXPECT_FALSE(writer.Close());
    EXPECT_EQ("***01 Error write into file: /dev/full", GetCapturedStdout());

    ASSERT_TRUE(writer.Open("/dev/full"));
    CaptureStdout();
    try {
        writer.Write(std::string(1 << 20, 'x'), "***02 Error write into file: ");
        ADD_FAILURE() << "no failure reported";
    } catch (const OverprintExit& exit) {
        EXPECT_EQ(kExitWriteFailed, exit.status());
    }
    EXPECT_EQ("***02 Error write into file: /dev/full", GetCapturedStdout());
    writer.Abandon();
}

}  // namespace
}  // namespace tarn::overprint
