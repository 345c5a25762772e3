// Cutting setup.txt into token lines: line ends, white space, Ctrl-Z and pass-through bytes.
#include <gtest/gtest.h>

#include "setup/setup_reader.h"
#include "support/test_support.h"

namespace {

using Lines = std::vector<TokenLine>;

struct ReaderCase {
    const char* name;
    std::string bytes;
    Lines expected;
};

class ReaderCases : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(ReaderCases, CutsBytesIntoTokenLines) {
    Lines lines;
    AppendSetupLines(GetParam().bytes.data(), GetParam().bytes.size(), lines);
    EXPECT_EQ(lines, GetParam().expected);
}

const std::string kSjis = "\x8E\x8E\x8D\x73\x81\x40\x5C";  // 試行, an ideographic space, a 0x5C trail-like byte

INSTANTIATE_TEST_SUITE_P(
    Bytes, ReaderCases,
    ::testing::Values(
        ReaderCase{"empty", "", {}},
        ReaderCase{"only_line_feeds", "\n\n\n", {}},
        ReaderCase{"only_crlf_pairs", "\r\n\r\n", {}},
        ReaderCase{"blanks_and_tabs_give_a_line_without_tokens", " \t \n", {{}}},
        ReaderCase{"last_line_without_line_feed", "a b\nc", {{"a", "b"}, {"c"}}},
        ReaderCase{"three_lines_with_an_empty_one", "blankms 500\n\nfixms 400 600\n",
                   {{"blankms", "500"}, {"fixms", "400", "600"}}},
        ReaderCase{"crlf_file", "blankms 500\r\n\r\nfixms 400 600\r\n", {{"blankms", "500"}, {"fixms", "400", "600"}}},
        ReaderCase{"mixed_white_space", "  \tkey\t \v\fvalue  \t", {{"key", "value"}}},
        ReaderCase{"lone_cr_separates_tokens", "a\rb\n", {{"a", "b"}}},
        ReaderCase{"cr_at_end_of_file_is_white_space", "a\r", {{"a"}}},
        ReaderCase{"utf8_bom_starts_the_first_token", "\xEF\xBB\xBFtopImage t.png\n", {{"\xEF\xBB\xBFtopImage", "t.png"}}},
        ReaderCase{"ctrl_z_ends_the_input_mid_line", "a 1\nb 2\x1A" "3\nc 4\n", {{"a", "1"}, {"b", "2"}}},
        ReaderCase{"ctrl_z_between_cr_and_lf", "a\r\x1A\nb\n", {{"a"}}},
        ReaderCase{"high_bytes_are_never_white_space", "label " + kSjis + "\xA0\x85\n", {{"label", kSjis + "\xA0\x85"}}},
        ReaderCase{"nul_is_an_ordinary_byte", std::string("a\0b c", 5), {{std::string("a\0b", 3), "c"}}}),
    [](const ::testing::TestParamInfo<ReaderCase>& param) { return std::string(param.param.name); });

TEST(ReadSetupFile, MissingFileIsFalseAndAppendsNothing) {
    testing_support::ScratchDirectory scratch;
    Lines lines{{"kept"}};
    EXPECT_FALSE(ReadSetupFile(lines));
    EXPECT_EQ(lines, (Lines{{"kept"}}));
}

TEST(ReadSetupFile, ReadsRawBytesAndAppendsToTheCallersList) {
    testing_support::ScratchDirectory scratch;
    testing_support::WriteBytes("setup.txt", "topImage t.png\r\nlabel " + kSjis + "\r\n\x1A" "repeat 9\r\n");
    Lines lines{{"kept"}};
    ASSERT_TRUE(ReadSetupFile(lines));
    EXPECT_EQ(lines, (Lines{{"kept"}, {"topImage", "t.png"}, {"label", kSjis}}));
}

TEST(ReadSetupFile, EmptyFileIsTrue) {
    testing_support::ScratchDirectory scratch;
    testing_support::WriteBytes("setup.txt", "");
    Lines lines;
    EXPECT_TRUE(ReadSetupFile(lines));
    EXPECT_TRUE(lines.empty());
}

TEST(ReadSetupFile, LongLinesAndTokensHaveNoLimit) {
    testing_support::ScratchDirectory scratch;
    const std::string longToken(200000, 'x');
    testing_support::WriteBytes("setup.txt", "label " + longToken + "\n");
    Lines lines;
    ASSERT_TRUE(ReadSetupFile(lines));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0][1], longToken);
}

}  // namespace
