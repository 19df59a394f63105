#include <gtest/gtest.h>

#include "PdfTestSupport.h"
#include "overprint/PatternCache.h"
#include "overprint/PdfTokenizer.h"
#include "overprint/ReaderPatterns.h"
#include "overprint/TokenClassifier.h"

namespace tarn::overprint {
namespace {

using testing::ScratchDir;

// Every token of `bytes` as "text@position".
std::vector<std::string> Tokens(const std::string& bytes) {
    ScratchDir dir;
    testing::WriteFile(dir / "t.pdf", bytes);
    InputFile input;
    EXPECT_TRUE(input.Open(dir / "t.pdf").ok());
    PdfTokenizer tokenizer(input);
    std::vector<std::string> tokens;
    PdfToken token;
    while (tokenizer.Next(&token)) tokens.push_back(token.text + "@" + std::to_string(token.position));
    return tokens;
}

using List = std::vector<std::string>;

TEST(PdfTokenizerTest, WordsNamesAndDictionaryBrackets) {
    EXPECT_EQ((List{"3@0", "0@2", "obj@4", "<<@8", "/Type@10", "/Page@15", "/Kids@20", "4@27", "0@29", "R@31",
                    ">>@33", "endobj@36"}),
              Tokens("3 0 obj\n<</Type/Page/Kids [4 0 R]>>\nendobj"));
}

TEST(PdfTokenizerTest, StringsAndCommentsYieldNoTokens) {
    // Nested and escaped parentheses, an R inside a string, a hex string
    // (which takes the byte after its ">" with it) and a comment.
    EXPECT_EQ((List{"/T@0", "5@22", "0@24", "R@26", "/N@28", "1@38", "/X@40"}),
              Tokens("/T (a (b 3 0 R) \\) c) 5 0 R /N <4142> 1 /X % 7 0 R\n"));
}

TEST(PdfTokenizerTest, WordEndsBeforeBracketsAndAtOtherBytes) {
    // "<" and ">" start tokens of their own; other ending bytes are consumed;
    // a lone ">" is dropped; "-" and "." are words of their own kind.
    EXPECT_EQ((List{"/Count@0", "1@7", ">>@8", "595@12", "28@16", "-5@19"}),
              Tokens("/Count 1>> [595.28 -5]"));
}

TEST(PdfTokenizerTest, NameDirectlyBeforeLiteralStringSkipsTheString) {
    EXPECT_EQ((List{"/Title@0", "/Next@14"}), Tokens("/Title(4 0 R) /Next"));
}

TEST(PdfTokenizerTest, ClassesFollowTheLastMatchingPatternInKeyOrder) {
    PatternCache patterns;
    AddReaderPatterns(patterns);
    TokenClassifier classifier(patterns);
    EXPECT_EQ(TokenClass::kRoot, classifier.Classify("/Root"));
    EXPECT_EQ(TokenClass::kPrev, classifier.Classify("/Prev"));
    EXPECT_EQ(TokenClass::kType, classifier.Classify("/Type"));
    EXPECT_EQ(TokenClass::kParam, classifier.Classify("/Pages"));
    EXPECT_EQ(TokenClass::kParam, classifier.Classify("/Info"));
    EXPECT_EQ(TokenClass::kParam, classifier.Classify("/Catalog"));
    EXPECT_EQ(TokenClass::kR, classifier.Classify("R"));
    EXPECT_EQ(TokenClass::kObj, classifier.Classify("obj"));
    EXPECT_EQ(TokenClass::kEndobj, classifier.Classify("endobj"));
    EXPECT_EQ(TokenClass::kStream, classifier.Classify("stream"));
    EXPECT_EQ(TokenClass::kEndstream, classifier.Classify("endstream"));
    EXPECT_EQ(TokenClass::kXref, classifier.Classify("xref"));
    EXPECT_EQ(TokenClass::kStartxref, classifier.Classify("startxref"));
    EXPECT_EQ(TokenClass::kTrailer, classifier.Classify("trailer"));
    EXPECT_EQ(TokenClass::kNone, classifier.Classify("612"));
}

}  // namespace
}  // namespace tarn::overprint
