#include <gtest/gtest.h>

#include <memory>

#include "PdfTestSupport.h"
#include "overprint/PdfTokenizer.h"
#include "overprint/ReaderPatterns.h"
#include "overprint/TokenClassifier.h"

namespace tarn::overprint {
namespace {

// Every token the tokeniser cuts from `path`, stream data included (which
// gives many odd tokens of binary bytes).
std::vector<std::string> AllTokens(const std::string& path) {
    std::vector<std::string> tokens;
    InputFile input;
    if (!input.Open(path).ok()) return tokens;
    PdfTokenizer tokenizer(input);
    PdfToken token;
    while (tokenizer.Next(&token)) tokens.push_back(token.text);
    return tokens;
}

class TokenClassifierTest : public ::testing::Test {
  protected:
    TokenClassifierTest() { AddReaderPatterns(patterns_); }
    // Built after the patterns are in the cache.
    const TokenClassifier& classifier() {
        if (!classifier_) classifier_ = std::make_unique<TokenClassifier>(patterns_);
        return *classifier_;
    }

    // The direct classes equal the patterns' classes on every token.
    void ExpectSameClasses(const std::vector<std::string>& tokens, const std::string& where) {
        ASSERT_TRUE(classifier().direct());
        for (const auto& token : tokens) {
            ASSERT_EQ(classifier().ClassifyByPatterns(token), TokenClassifier::ClassifyDirectly(token))
                << where << ": token \"" << token << "\"";
        }
    }

    PatternCache patterns_;
    std::unique_ptr<TokenClassifier> classifier_;
};

TEST_F(TokenClassifierTest, DirectClassesEqualThePatternsOnEveryTokenOfRealFiles) {
    std::vector<std::string> files;
    for (const char* name : {"form_ps.pdf", "form_odt.pdf", "form_qdf.pdf", "plain.pdf", "incremental.pdf",
                             "nested_pages.pdf", "literal_string.pdf", "endstream_endobj.pdf"}) {
        files.push_back(testing::Fixture(name));
    }
    // PDFs of other producers that the system happens to hold.
    std::string found;
    testing::RunShell(
        "find /usr/share/doc /usr/lib/libreoffice -name '*.pdf' -size -4M 2>/dev/null | head -20", &found);
    for (std::size_t at = 0, end; (end = found.find('\n', at)) != std::string::npos; at = end + 1) {
        files.push_back(found.substr(at, end - at));
    }
    std::size_t total = 0;
    for (const auto& file : files) {
        const auto tokens = AllTokens(file);
        total += tokens.size();
        ExpectSameClasses(tokens, file);
    }
    EXPECT_GT(total, 5000u) << "too few tokens to prove anything";
}

TEST_F(TokenClassifierTest, DirectClassesEqualThePatternsOnTokensNearTheKeywords) {
    std::vector<std::string> tokens = {
        "",          "R",         "r",          "RR",         "1",       "/R",        "obj",
        "OBJ",       "objx",      "xobj",       "endobj",     "EndObj2", "endobjx",   "stream",
        "Streamx",   "endstream", "ENDSTREAM",  "endstreamx", "xref",    "XRef",      "xrefx",
        "startxref", "STARTXREF", "xstartxref", "startxrefx", "trailer", "xtrailerx", "/Type",
        "/TYPEx",    "/Root",     "/root2",     "/Prev",      "/Pages",  "/PAGES",    "/Info",
        "/Catalog",  "/_",        "/-",         "/#20",       "/\xe9",   "\xe9/a",    "a/b",
        "/",         "-5",        "]",          "\x01",       "%"};
    ExpectSameClasses(tokens, "keyword neighbours");
}

TEST(TokenClassifierOtherPatternsTest, ACacheWithOtherPatternsRunsThem) {
    PatternCache patterns;
    AddReaderPatterns(patterns);
    patterns.Add("zzz", "^R$");  // an extra key after every other
    TokenClassifier classifier(patterns);
    EXPECT_FALSE(classifier.direct());
    EXPECT_EQ(TokenClass::kNone, classifier.Classify("R"));
}

}  // namespace
}  // namespace tarn::overprint
