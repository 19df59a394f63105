#include <gtest/gtest.h>

#include "PdfTestSupport.h"
#include "overprint/PdfDocument.h"
#include "overprint/ReaderPatterns.h"

namespace tarn::overprint {
namespace {

using testing::Fixture;
using testing::ReadFile;
using testing::ScratchDir;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

class PdfDocumentTest : public ::testing::Test {
  protected:
    PdfDocumentTest() { AddReaderPatterns(patterns_); }

    // Reads `path`; returns what the reader printed.
    std::string ReadPdf(const std::string& path) {
        CaptureStdout();
        EXPECT_TRUE(document_.Open(path));
        document_.Read();
        return GetCapturedStdout();
    }
    std::string ReadBytes(const std::string& bytes) {
        testing::WriteFile(dir_ / "in.pdf", bytes);
        return ReadPdf(dir_ / "in.pdf");
    }
    std::vector<std::string> Keys(int number) {
        std::vector<std::string> keys;
        for (const auto& reference : document_.FindObject(number)->references) {
            keys.push_back(reference.key + ":" + std::to_string(reference.number));
        }
        return keys;
    }

    ScratchDir dir_;
    PatternCache patterns_;
    PdfDocument document_{patterns_};
};

TEST_F(PdfDocumentTest, RealProducersGiveObjectsWhereTheirCrossReferenceSaysTheyAre) {
    for (const char* name : {"form_ps.pdf", "form_odt.pdf", "form_qdf.pdf", "plain.pdf"}) {
        SCOPED_TRACE(name);
        const std::string bytes = ReadFile(Fixture(name));
        EXPECT_EQ("", ReadPdf(Fixture(name)));
        ASSERT_GT(document_.objectCount(), 3);
        EXPECT_NE(0, document_.root());
        EXPECT_NE(0, document_.pagesRoot());
        EXPECT_EQ("/Pages", document_.FindObject(document_.pagesRoot())->type);
        EXPECT_EQ("%PDF-1.", bytes.substr(0, 7));
        EXPECT_EQ(bytes.find(" 0 obj"),
                  document_.firstObject() + std::to_string(document_.objects()[0].number).size());
        for (const auto& object : document_.objects()) {
            const std::string head = std::to_string(object.number) + " 0 obj";
            ASSERT_EQ(1u, document_.xrefOffsets().count(object.number));
            EXPECT_EQ(head, bytes.substr(document_.xrefOffsets().at(object.number), head.size()));
            EXPECT_EQ("obj", bytes.substr(object.start, 3));
            EXPECT_EQ("endobj", bytes.substr(object.end, 6));
            for (const auto& reference : object.references) {
                const std::string text = bytes.substr(reference.position, reference.length);
                EXPECT_EQ(0u, text.find(std::to_string(reference.number) + " ")) << text;
                EXPECT_EQ('R', text.back()) << text;
            }
        }
        int highest = 0;
        for (const auto& object : document_.objects()) highest = std::max(highest, object.number);
        EXPECT_EQ(highest, document_.highestObject());
    }
}

TEST_F(PdfDocumentTest, OnlyTheFirstReferenceOfAnArrayCarriesTheKey) {
    ReadPdf(Fixture("nested_pages.pdf"));
    EXPECT_EQ((std::vector<std::string>{"/Kids:3", ":4"}), Keys(2));
    EXPECT_EQ((std::vector<std::string>{"/Parent:2", "/Kids:6", ":7"}), Keys(3));
    EXPECT_EQ(1, document_.root());
    EXPECT_EQ(2, document_.pagesRoot());
}

TEST_F(PdfDocumentTest, ReferencesInsideLiteralStringsAreNotReferences) {
    ReadPdf(Fixture("literal_string.pdf"));
    EXPECT_EQ((std::vector<std::string>{"/Parent:2", "/Contents:4", "/F1:5", "/Ref:5"}), Keys(3));
}

TEST_F(PdfDocumentTest, IncrementalUpdateTakesTheNewerRootAndObjects) {
    ReadPdf(Fixture("incremental.pdf"));
    ASSERT_EQ(2u, document_.trailers().size());
    EXPECT_EQ(6, document_.root());
    EXPECT_EQ(2, document_.pagesRoot());
    EXPECT_NE(std::string::npos, document_.ObjectText(4).find("(UPDATED)"));

    // A newer section without /Root keeps the older section's root.
    std::string bytes = ReadFile(Fixture("incremental.pdf"));
    std::size_t root = bytes.rfind("/Root 6 0 R");
    bytes.replace(root, 11, std::string(11, ' '));
    ReadBytes(bytes);
    EXPECT_EQ(1, document_.root());
}

TEST_F(PdfDocumentTest, EndstreamAndEndobjOnOneLineSwallowTheFollowingObjects) {
    ReadPdf(Fixture("endstream_endobj.pdf"));
    // The stream of object 4 runs on to the next line that reads endstream
    // (object 6's); objects 5 and 6 are lost, object 7 is found again.
    EXPECT_EQ(nullptr, document_.FindObject(5));
    EXPECT_EQ(nullptr, document_.FindObject(6));
    ASSERT_NE(nullptr, document_.FindObject(7));
    EXPECT_EQ(1, document_.root());
}

TEST_F(PdfDocumentTest, StreamWithoutEndstreamLineSwallowsTheRest) {
    EXPECT_EQ("**Error no root object find\n** Error finding pages number in catalog **\n",
              ReadBytes("%PDF-1.4\n1 0 obj\n<< /Length 9 >>\nstream\nendstreamX\nendobj\n"
                        "2 0 obj << /Type /Catalog /Pages 3 0 R >> endobj\n"));
    EXPECT_EQ(0, document_.objectCount());
}

TEST_F(PdfDocumentTest, CrossReferenceEntriesEndingInCarriageReturnLineFeed) {
    std::string bytes = ReadFile(Fixture("plain.pdf"));
    std::size_t xref = bytes.find("xref\n");
    for (std::size_t at = bytes.find(" \n", xref); at != std::string::npos && at < bytes.find("trailer");
         at = bytes.find(" \n", at)) {
        bytes.replace(at, 2, "\r\n");
    }
    ReadBytes(bytes);
    ASSERT_EQ(5u, document_.xrefOffsets().size());
    EXPECT_EQ("3 0 obj", bytes.substr(document_.xrefOffsets().at(3), 7));
    EXPECT_EQ("5 0 obj", bytes.substr(document_.xrefOffsets().at(5), 7));
    EXPECT_EQ(1, document_.root());
}

TEST_F(PdfDocumentTest, BrokenCrossReferencesAreReportedAndTheCatalogStillFound) {
    EXPECT_EQ("*** error not found trailer after xref *****Error no root object find\n",
              ReadBytes("%PDF-1.4\n1 0 obj <</Type /Catalog /Pages 2 0 R>> endobj\n"
                        "2 0 obj <</Type /Pages /Kids [] /Count 0>> endobj\nxref\n0 3\n"));
    EXPECT_EQ(2, document_.pagesRoot());

    EXPECT_EQ("** Error: incorrect Xref in file \n**Error no root object find\n",
              ReadBytes("%PDF-1.4\n1 0 obj <</Type /Catalog /Pages 2 0 R>> endobj\n"
                        "xref\n0 1\n0000000000 65535 f \ntrailer << /Root 1 0 R /Prev 5000 >>\n"
                        "startxref\n60\n%%EOF\n"));
}

TEST_F(PdfDocumentTest, CatalogNotNamedByRootIsFoundByItsType) {
    ReadBytes(
        "%PDF-1.4\n1 0 obj <</Type/Pages/Kids[3 0 R]/Count 1>> endobj\n"
        "2 0 obj <</Type/Catalog/Pages 1 0 R>> endobj\n"
        "xref\n0 1\n0000000000 65535 f \ntrailer << /Root 1 0 R >>\nstartxref\n99\n%%EOF\n");
    EXPECT_EQ(1, document_.root());
    EXPECT_EQ(1, document_.pagesRoot());
    EXPECT_EQ("/Catalog", document_.FindObject(2)->type);
}

TEST_F(PdfDocumentTest, TypeIsThatOfTheObjectsOwnDictionary) {
    // As cairo writes a page: a comment after the type, a transparency group inside.
    ReadBytes(
        "%PDF-1.5\n2 0 obj\n<< /Type /Page % 1\n   /Parent 1 0 R\n   /Group <<\n      /Type /Group\n"
        "      /S /Transparency\n   >>\n   /Resources << /XObject << /X1 << /Type /XObject >> >> >>\n>>\n"
        "endobj\n");
    ASSERT_NE(nullptr, document_.FindObject(2));
    EXPECT_EQ("/Page", document_.FindObject(2)->type);
}

TEST_F(PdfDocumentTest, ObjectNumberUsedTwiceIsTheOneTheCrossReferenceNames) {
    // An incremental save replaced object 3 by "3 1 obj"; the stale
    // generation 0 copy stands later in the file, as some tools leave it.
    std::string body = "%PDF-1.4\n";
    const std::size_t live = body.size();
    body += "3 1 obj\n(live)\nendobj\n";
    body += "3 0 obj\n(stale)\nendobj\n";
    char entry[64];
    std::snprintf(entry, sizeof entry, "%010zu 00001 n \n", live);
    const std::size_t xref = body.size();
    body += "xref\n3 1\n" + std::string(entry) + "trailer\n<< /Size 4 >>\nstartxref\n" +
            std::to_string(xref) + "\n%%EOF\n";
    ReadBytes(body);
    ASSERT_NE(nullptr, document_.FindObject(3));
    EXPECT_EQ(1, document_.FindObject(3)->generation);
    EXPECT_NE(std::string::npos, document_.ObjectText(3).find("(live)"));
}

TEST_F(PdfDocumentTest, CrossReferenceCountsAreNotTakenAsWritten) {
    // A subsection that claims two billion entries, and one beyond the
    // largest object number PDF allows: only the lines that are there count.
    ReadBytes(
        "%PDF-1.4\n1 0 obj <</Type /Catalog /Pages 2 0 R>> endobj\nxref\n0 2000000000\n"
        "0000000000 65535 f \n0000000009 00000 n \n2147483000 3\n0000000009 00000 n \n"
        "trailer << /Root 1 0 R /Size 2000000000 >>\nstartxref\n60\n%%EOF\n");
    EXPECT_EQ(1u, document_.xrefOffsets().size());
    EXPECT_EQ(1, document_.root());
}

}  // namespace
}  // namespace tarn::overprint
