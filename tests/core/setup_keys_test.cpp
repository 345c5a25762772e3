// The setup keys: token counts, bottom-to-top order, number conversion and the stimulus rectangle.
#include <gtest/gtest.h>

#include <climits>

#include "setup/setup_keys.h"
#include "support/test_support.h"

namespace {

std::vector<TokenLine> Read(const std::string& text) {
    std::vector<TokenLine> lines;
    AppendSetupLines(text.data(), text.size(), lines);
    return lines;
}

// A Presenter as start-up leaves it before the setup: client area, defaults.
struct Fresh {
    Presenter p;
    explicit Fresh(int32_t width = 1920, int32_t height = 1080) {
        p.clientRect = plat::Rect{0, 0, width, height};
        p.imageWidth = width;
        p.imageHeight = height;
        p.stimulusRect = p.clientRect;
    }
};

const char* kGroup = "imageGroup g p%d.png 1 2 L\n";

TEST(ParseSetupNumber, ConvertsLikeTheSetupFormatSays) {
    const std::pair<std::string, int32_t> cases[] = {
        {"500", 500},         {"-5", -5},          {"+7", 7},
        {"500ms", 500},       {"word", 0},         {"", 0},
        {"-", 0},             {"+-3", 0},          {"007", 7},
        {"2147483647", INT32_MAX}, {"2147483648", INT32_MAX}, {"99999999999999999999", INT32_MAX},
        {"-2147483648", INT32_MIN}, {"-2147483649", INT32_MIN}, {"-99999999999999999999", INT32_MIN},
        {"12a34", 12},        {"\x82\x4F", 0},
    };
    for (const auto& [token, expected] : cases) EXPECT_EQ(ParseSetupNumber(token), expected) << "token " << token;
}

TEST(ApplySetup, FreshSetupHasTheDocumentedDefaults) {
    ::Setup setup;
    EXPECT_TRUE(setup.titleImagePath.empty() && setup.blankImagePath.empty() && setup.fixImagePath.empty());
    EXPECT_TRUE(setup.label.empty() && setup.groups.empty() && setup.fixMs.empty());
    EXPECT_EQ(setup.shuffle, 1);
    EXPECT_EQ(setup.repeat, 1);
    EXPECT_EQ(setup.blankMs, 1000);
    EXPECT_EQ(setup.limitMs, 0);
    EXPECT_EQ(setup.imageDC, nullptr);
    EXPECT_EQ(setup.titleBitmap, nullptr);
}

TEST(ApplySetup, EveryKeyFillsItsField) {
    Fresh f;
    ASSERT_TRUE(ApplySetupLines(f.p, Read("topImage title.png\nblankImage blank.png\nfixImage fix.png\n"
                                          "label cond\nimageGroup left L%02d.bmp 3 5 L easy extra words\n"
                                          "shuffle 0\nrepeat 4\nblankms 800\nfixms 400 600\nlimitms 1500\n"
                                          "bgColor 10 20 30\nimageSize 400 300\n")));
    const ::Setup& s = f.p.setup;
    EXPECT_EQ(s.titleImagePath, "title.png");
    EXPECT_EQ(s.blankImagePath, "blank.png");
    EXPECT_EQ(s.fixImagePath, "fix.png");
    EXPECT_EQ(s.label, "cond");
    ASSERT_EQ(s.groups.size(), 1u);
    EXPECT_EQ(s.groups[0].name, "left");
    EXPECT_EQ(s.groups[0].pattern, "L%02d.bmp");
    EXPECT_EQ(s.groups[0].first, 3);
    EXPECT_EQ(s.groups[0].last, 5);
    EXPECT_EQ(s.groups[0].side, 0);
    EXPECT_EQ(s.groups[0].condition, "easy");
    EXPECT_EQ(s.groups[0].images, nullptr);
    EXPECT_EQ(s.groups[0].imageCount, 0);
    EXPECT_EQ(s.shuffle, 0);
    EXPECT_EQ(s.repeat, 4);
    EXPECT_EQ(s.blankMs, 800);
    EXPECT_EQ(s.fixMs, (std::vector<int32_t>{400, 600}));
    EXPECT_EQ(s.limitMs, 1500);
    EXPECT_EQ(f.p.bgColor[0], 10);
    EXPECT_EQ(f.p.bgColor[1], 20);
    EXPECT_EQ(f.p.bgColor[2], 30);
    EXPECT_EQ(f.p.imageWidth, 400);
    EXPECT_EQ(f.p.imageHeight, 300);
    EXPECT_EQ(f.p.stimulusRect.left, 760);
    EXPECT_EQ(f.p.stimulusRect.top, 390);
    EXPECT_EQ(f.p.stimulusRect.right, 1160);
    EXPECT_EQ(f.p.stimulusRect.bottom, 690);
}

TEST(ApplySetup, LinesWithWrongCountsOrUnknownKeysChangeNothing) {
    const char* ignored[] = {
        "imageGroup g p%d.png 1 2\n",   // five tokens
        "topImage my title.png\n",      // a path with a blank
        "label two words\n",
        "bgColor 1 2\n",
        "bgColor 1 2 3 4\n",
        "imageSize 400\n",
        "imageSize 1 2 3\n",
        "repeat\n",
        "repeat 2 3\n",
        "fixms\n",
        "TopImage t.png\n",
        "topimage t.png\n",
        "topImage: t.png\n",
        "   \t \n",
        "shuffle 0 0\n",
    };
    for (const char* line : ignored) {
        Fresh f;
        const bool accepted = ApplySetupLines(f.p, Read(std::string(line) + kGroup));
        EXPECT_TRUE(accepted) << line;
        const ::Setup& s = f.p.setup;
        EXPECT_EQ(s.groups.size(), 1u) << line;
        EXPECT_TRUE(s.titleImagePath.empty() && s.label.empty() && s.fixMs.empty()) << line;
        EXPECT_EQ(s.repeat, 1) << line;
        EXPECT_EQ(s.shuffle, 1) << line;
        EXPECT_EQ(f.p.bgColor[0] + f.p.bgColor[1] + f.p.bgColor[2], 0) << line;
        EXPECT_EQ(f.p.imageWidth, 1920) << line;
    }
}

TEST(ApplySetup, WalksFromTheBottomLineToTheTop) {
    Fresh f;
    ASSERT_TRUE(ApplySetupLines(f.p, Read("repeat 3\nimageGroup G1 a 1 1 L\nfixms 500 600\n"
                                          "imageGroup G2 b 1 1 R\nrepeat 5\nfixms 700\nimageGroup G3 c 1 1 X\n")));
    const ::Setup& s = f.p.setup;
    EXPECT_EQ(s.repeat, 3);
    ASSERT_EQ(s.groups.size(), 3u);
    EXPECT_EQ(s.groups[0].name, "G3");
    EXPECT_EQ(s.groups[1].name, "G2");
    EXPECT_EQ(s.groups[2].name, "G1");
    EXPECT_EQ(s.fixMs, (std::vector<int32_t>{700, 500, 600}));
}

TEST(ApplySetup, ImageGroupFieldsFromTheLineAlone) {
    Fresh f;
    ASSERT_TRUE(ApplySetupLines(f.p, Read("imageGroup a p 1 0 Left\nimageGroup b p 5 2 R c1 c2\n"
                                          "imageGroup c p x y right\n")));
    const auto& g = f.p.setup.groups;  // bottom line first
    EXPECT_EQ(g[0].side, -1);  // lower-case r
    EXPECT_EQ(g[0].first, 0);
    EXPECT_EQ(g[0].last, 0);
    EXPECT_EQ(g[1].side, 1);
    EXPECT_EQ(g[1].first, 5);  // first above last is accepted here
    EXPECT_EQ(g[1].condition, "c1");
    EXPECT_EQ(g[2].side, 0);
    EXPECT_EQ(g[2].condition, "");
}

TEST(ApplySetup, EightBitFieldsKeepTheLowByte) {
    Fresh f;
    ASSERT_TRUE(ApplySetupLines(f.p, Read(std::string("bgColor 256 -1 300\nshuffle 257\n") + kGroup)));
    EXPECT_EQ(f.p.bgColor[0], 0);
    EXPECT_EQ(f.p.bgColor[1], 255);
    EXPECT_EQ(f.p.bgColor[2], 44);
    EXPECT_EQ(f.p.setup.shuffle, 1);
    Fresh g;
    ApplySetupLines(g.p, Read(std::string("shuffle 2\n") + kGroup));
    EXPECT_EQ(g.p.setup.shuffle, 2);
}

TEST(ApplySetup, WithoutAnAcceptedGroupTheSetupIsRefusedButOtherKeysStay) {
    Fresh f;
    f.p.stimulusRect = plat::Rect{1, 2, 3, 4};
    EXPECT_FALSE(ApplySetupLines(f.p, Read("blankms 300\nimageSize 10 10\nimageGroup g p 1 2\n")));
    EXPECT_EQ(f.p.setup.blankMs, 300);
    EXPECT_EQ(f.p.stimulusRect.left, 1);  // not computed
    EXPECT_EQ(f.p.stimulusRect.bottom, 4);
}

TEST(ApplySetup, MissingFileIsRefused) {
    testing_support::ScratchDirectory scratch;
    Fresh f;
    EXPECT_FALSE(ApplySetup(f.p));
}

TEST(ApplySetup, ReadsSetupTxtFromTheWorkingDirectory) {
    testing_support::ScratchDirectory scratch;
    testing_support::WriteBytes("setup.txt", "imageGroup g p%d.png 1 2 L\r\nblankms 250\r\n");
    Fresh f;
    ASSERT_TRUE(ApplySetup(f.p));
    EXPECT_EQ(f.p.setup.blankMs, 250);
    // Without imageSize the image area is the whole client area.
    EXPECT_EQ(f.p.stimulusRect.left, 0);
    EXPECT_EQ(f.p.stimulusRect.right, 1920);
    EXPECT_EQ(f.p.stimulusRect.bottom, 1080);
}

TEST(ApplySetup, StimulusRectIsCentredWithDivisionTowardZero) {
    struct Case {
        int32_t clientWidth, imageWidth, left, right;
    } cases[] = {
        {1920, 400, 760, 1160},
        {1023, 100, 461, 561},
        {100, 103, -1, 101},  // -3 / 2 is -1
        {100, 0, 50, 50},
        {0, 5, -2, 2},
        {100, -20, 60, 40},
    };
    for (const Case& c : cases) {
        Fresh f(c.clientWidth, 600);
        ApplySetupLines(f.p, Read("imageSize " + std::to_string(c.imageWidth) + " 100\n" + kGroup));
        EXPECT_EQ(f.p.stimulusRect.left, c.left) << c.clientWidth << " " << c.imageWidth;
        EXPECT_EQ(f.p.stimulusRect.right, c.right) << c.clientWidth << " " << c.imageWidth;
        EXPECT_EQ(f.p.stimulusRect.top, 250);
        EXPECT_EQ(f.p.stimulusRect.bottom, 350);
    }
}

TEST(ApplySetup, HugeImageSizesDoNotOverflow) {
    Fresh f;
    ASSERT_TRUE(ApplySetupLines(f.p, Read(std::string("imageSize 2147483647 -2147483648\n") + kGroup)));
    // The 32-bit sums wrap; the point is a defined result, not a crash.
    EXPECT_EQ(f.p.stimulusRect.left, static_cast<int32_t>(1920u - 2147483647u) / 2);
}

}  // namespace
