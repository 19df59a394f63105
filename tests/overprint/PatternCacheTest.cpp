#include <gtest/gtest.h>

#include "overprint/PatternCache.h"

namespace tarn::overprint {
namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

TEST(PatternCacheTest, MalformedPatternReportsCompilerTextAndLaterLookupsFail) {
    PatternCache cache;
    CaptureStdout();
    EXPECT_FALSE(cache.Add("bad", "(unclosed"));
    std::string compile = GetCapturedStdout();
    EXPECT_EQ(0u, compile.find("*** Compile expression error: "));
    EXPECT_NE(std::string::npos, compile.find("missing closing parenthesis")) << compile;

    CaptureStdout();
    std::string out = "kept";
    EXPECT_EQ(0, cache.Match("bad", "(unclosed", 0, &out));
    EXPECT_EQ("*** Error not found compiled expr: bad\n", GetCapturedStdout());
    EXPECT_EQ("kept", out);
}

TEST(PatternCacheTest, PatternsAreCaselessAndMultiline) {
    PatternCache cache;
    ASSERT_TRUE(cache.Add("root", "/Root"));
    ASSERT_TRUE(cache.Add("xref", "^xref$"));
    EXPECT_EQ(1, cache.Match("root", "/root", 0));
    EXPECT_EQ(1, cache.Match("xref", "startxref\nXREF\n0 1", 0));
    EXPECT_EQ(0, cache.Match("xref", "startxref", 0));
}

TEST(PatternCacheTest, FirstPatternUnderAKeyStays) {
    PatternCache cache;
    ASSERT_TRUE(cache.Add("k", "abc"));
    ASSERT_TRUE(cache.Add("k", "xyz"));
    EXPECT_EQ(1, cache.Match("k", "abc", 0));
    EXPECT_EQ(0, cache.Match("k", "xyz", 0));
}

TEST(PatternCacheTest, GroupsBeyondTheMatchLeaveTheOutputAlone) {
    PatternCache cache;
    ASSERT_TRUE(cache.Add("one", "a(b)c"));
    std::string out = "before";
    EXPECT_EQ(2, cache.Match("one", "xabcx", 2, &out));
    EXPECT_EQ("before", out);
    EXPECT_EQ(2, cache.Match("one", "xabcx", 1, &out));
    EXPECT_EQ("b", out);
    EXPECT_EQ(2, cache.Match("one", "xabcx", 0, &out));
    EXPECT_EQ("abc", out);
}

TEST(PatternCacheTest, GroupTooLongForTheCopyBufferIsCopiedEmpty) {
    PatternCache cache;
    ASSERT_TRUE(cache.Add("all", "(x+)"));
    std::string out = "before";
    EXPECT_EQ(2, cache.Match("all", std::string(511, 'x'), 1, &out));
    EXPECT_EQ(511u, out.size());
    EXPECT_EQ(2, cache.Match("all", std::string(512, 'x'), 1, &out));
    EXPECT_EQ("", out);
}

TEST(PatternCacheTest, ReplaceChangesOnlyTheGroup) {
    PatternCache cache;
    ASSERT_TRUE(cache.Add("mediaR", "(?<=/MediaBox)(\\s*)(\\d+)(\\s+\\d+\\s+R)"));
    std::string text = "/MediaBox 12 0 R";
    EXPECT_EQ(4, cache.Replace("mediaR", &text, 2, "7"));
    EXPECT_EQ("/MediaBox 7 0 R", text);

    std::string untouched = "/CropBox 12 0 R";
    EXPECT_EQ(0, cache.Replace("mediaR", &untouched, 2, "7"));
    EXPECT_EQ("/CropBox 12 0 R", untouched);
}

TEST(PatternCacheTest, TooManyGroupsForTheMatchVectorWarns) {
    PatternCache cache;
    std::string fifteen;
    for (int i = 0; i < 15; ++i) fifteen += "(a)";
    ASSERT_TRUE(cache.Add("many", fifteen));
    CaptureStdout();
    EXPECT_EQ(0, cache.Match("many", std::string(15, 'a'), 0));
    EXPECT_EQ("***Warning too little bufer for PCRE \n", GetCapturedStdout());
}

TEST(PatternCacheTest, MatchingBinaryDataWithZeroBytes) {
    PatternCache cache;
    ASSERT_TRUE(cache.Add("end", "^endstream$"));
    EXPECT_EQ(1, cache.Match("end", std::string("x\0y\nendstream\n", 15), 0));
}

}  // namespace
}  // namespace tarn::overprint
