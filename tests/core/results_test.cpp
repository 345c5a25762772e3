// The result file: its name, its exact bytes, and never overwriting an existing file.
#include <gtest/gtest.h>

#include "results/results.h"
#include "support/test_support.h"

namespace {

struct Table {
    std::string left = "easy";
    std::string right = "";
    StimulusImage images[2];
    Trial trials[3];
    Presenter p;
    Table() {
        images[0].condition = &left;
        images[1].condition = &right;
        trials[0] = Trial{&images[0], 0, 431};
        trials[1] = Trial{&images[1], -1, 1500};
        trials[2] = Trial{&images[0], 1, 4294967295u};
        p.trials = trials;
        p.trialCount = 3;
        p.setup.label = "cond";
    }
    ~Table() { p.trials = nullptr; }
};

TEST(ResultFileName, PadsEverythingButTheYear) {
    const std::pair<plat::LocalDateTime, const char*> cases[] = {
        {{2024, 3, 15, 9, 30, 5}, "result20240315_0930_05.csv"},
        {{2025, 1, 1, 0, 0, 0}, "result20250101_0000_00.csv"},
        {{1999, 12, 31, 23, 59, 59}, "result19991231_2359_59.csv"},
        {{12345, 6, 7, 8, 9, 10}, "result123450607_0809_10.csv"},
    };
    for (const auto& [time, expected] : cases) EXPECT_EQ(ResultFileName(time), expected);
}

TEST(WriteResults, WritesTheHeaderAndOneCrLfLinePerTrialByteForByte) {
    testing_support::ScratchDirectory scratch;
    Table t;
    ASSERT_TRUE(WriteResults(t.p));
    const auto files = testing_support::FilesHere();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].size(), 26u);
    EXPECT_EQ(files[0].rfind("result", 0), 0u);
    EXPECT_EQ(testing_support::ReadBytes(files[0]),
              "num,cond,ans(L:0 R:1),rt\r\n"
              "1,easy,0,431,\r\n"
              "2,,-1,1500,\r\n"
              "3,easy,1,4294967295,\r\n");
}

TEST(WriteResults, TextsPassThroughUnquotedAndAnEmptyTableIsTheHeaderAlone) {
    testing_support::ScratchDirectory scratch;
    Table t;
    t.p.setup.label = "";
    t.left = "a,b\x8E\x8E";
    t.p.trialCount = 1;
    std::string name;
    plat::FileHandle file = CreateResultFile("out.csv", &name);
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(WriteResultLines(t.p, file));
    ASSERT_TRUE(plat::CloseFile(file));
    EXPECT_EQ(testing_support::ReadBytes("out.csv"), "num,,ans(L:0 R:1),rt\r\n1,a,b\x8E\x8E,0,431,\r\n");

    t.p.trialCount = 0;
    file = CreateResultFile("empty.csv", &name);
    ASSERT_TRUE(WriteResultLines(t.p, file));
    plat::CloseFile(file);
    EXPECT_EQ(testing_support::ReadBytes("empty.csv"), "num,,ans(L:0 R:1),rt\r\n");
}

TEST(CreateResultFile, NeverOverwritesAndNumbersTheNextFreeName) {
    testing_support::ScratchDirectory scratch;
    testing_support::WriteBytes("result20240315_0930_05.csv", "earlier run");
    testing_support::WriteBytes("result20240315_0930_05_2.csv", "earlier run 2");
    std::string name;
    plat::FileHandle file = CreateResultFile("result20240315_0930_05.csv", &name);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(name, "result20240315_0930_05_3.csv");
    plat::CloseFile(file);
    EXPECT_EQ(testing_support::ReadBytes("result20240315_0930_05.csv"), "earlier run");
    EXPECT_EQ(testing_support::ReadBytes("result20240315_0930_05_2.csv"), "earlier run 2");
}

TEST(WriteResults, TwoRunsEndingInTheSameSecondKeepBothFiles) {
    testing_support::ScratchDirectory scratch;
    Table t;
    ASSERT_TRUE(WriteResults(t.p));
    t.p.setup.label = "second";
    ASSERT_TRUE(WriteResults(t.p));
    const auto files = testing_support::FilesHere();
    ASSERT_EQ(files.size(), 2u);  // same second, or two seconds: two files either way
    std::string both = testing_support::ReadBytes(files[0]) + testing_support::ReadBytes(files[1]);
    EXPECT_NE(both.find("num,cond,"), std::string::npos);
    EXPECT_NE(both.find("num,second,"), std::string::npos);
}

TEST(CreateResultFile, ADirectoryOfThatNameIsSteppedOver) {
    testing_support::ScratchDirectory scratch;
    std::filesystem::create_directory("r.csv");
    std::string name;
    plat::FileHandle file = CreateResultFile("r.csv", &name);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(name, "r_2.csv");
    plat::CloseFile(file);
}

}  // namespace
