// Option words, defaults and file names.

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/Locale.h"
#include "tabulate/Settings.h"

namespace tarn::tabulate {
namespace {

TEST(ParseOptions, PairsInAnyOrderAnyCase) {
    Settings settings;
    ASSERT_EQ(ParseOptions({"-R", "rep.txt", "-P", "/srv/out/", "-x", "-NEXT-", "-n", ","}, &settings),
              kExitOk);
    EXPECT_EQ(settings.inputFolder, "/srv/out/");
    EXPECT_EQ(settings.inputFile, "rep.txt");
    EXPECT_EQ(settings.nextSheet, "-NEXT-");  // a value may begin with "-"
    EXPECT_EQ(settings.inputDecSeparator, ",");
}

TEST(ParseOptions, UnknownWordsLoneWordsAndRepeats) {
    Settings settings;
    ASSERT_EQ(ParseOptions({"-p", "a/", "-q", "-r", "-r", "b", "-r", "c", "-d"}, &settings), kExitOk);
    // "-q" swallowed the first "-r"; the later -r replaced the earlier one;
    // the lone trailing "-d" is ignored.
    EXPECT_EQ(settings.inputFile, "c");
    EXPECT_EQ(settings.dateFormat, "");
    ResolveEffectiveSettings(&settings);
    EXPECT_EQ(settings.dateFormat, "mm/dd/yy");
    EXPECT_FALSE(settings.inputDecSeparator.empty());
    EXPECT_FALSE(settings.inputGroupSeparator.empty());
}

TEST(ParseOptions, MissingRequiredValues) {
    Settings settings;
    EXPECT_EQ(ParseOptions({"-p", "/srv/"}, &settings), kExitUsage);
    EXPECT_EQ(ParseOptions({"-p", "/srv/", "-d", "x"}, &settings), kExitUsage);
    Settings empty;
    EXPECT_EQ(ParseOptions({"-p", "", "-r", "x"}, &empty), kExitUsage);
    Settings wholeWord;
    EXPECT_EQ(ParseOptions({"-px", "/srv/", "-r", "x"}, &wholeWord), kExitUsage);
}

TEST(ResolveEffectiveSettings, GivenValuesAreKept) {
    Settings settings;
    settings.inputDecSeparator = ",";
    settings.inputGroupSeparator = ".";
    settings.dateFormat = "dd/mm/yyyy";
    ResolveEffectiveSettings(&settings);
    EXPECT_EQ(settings.inputDecSeparator, ",");
    EXPECT_EQ(settings.inputGroupSeparator, ".");
    EXPECT_EQ(settings.dateFormat, "dd/mm/yyyy");
}

TEST(UserMonetarySeparators, CLocaleFallsBackToPointAndComma) {
    ::setenv("LC_ALL", "C", 1);
    tarn::MonetarySeparators separators = tarn::UserMonetarySeparators();
    EXPECT_EQ(separators.decimal, ".");
    EXPECT_EQ(separators.thousands, ",");
    ::unsetenv("LC_ALL");
}

TEST(FileNames, LastDotOfTheFileNameOnly) {
    EXPECT_EQ(CleanedPath("/srv/out/report"), "/srv/out/report.cln");
    EXPECT_EQ(WorkbookPath("/srv/out/report"), "/srv/out/report.xls");
    EXPECT_EQ(CleanedPath("/srv/out/a.b.txt"), "/srv/out/a.b.cln");
    EXPECT_EQ(WorkbookPath("/srv/out/a.b.txt"), "/srv/out/a.b.xls");
    // A dot in a folder name never moves the output out of the folder.
    EXPECT_EQ(WorkbookPath("/srv/run.1/report"), "/srv/run.1/report.xls");
}

}  // namespace
}  // namespace tarn::tabulate
