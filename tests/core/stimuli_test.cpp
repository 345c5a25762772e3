// Image loading with its failures, the trial table's fill order and shuffle, the generator, file names.
#include <gtest/gtest.h>

#include <climits>
#include <thread>

#include "app/app.h"
#include "stimuli/image_name.h"
#include "stimuli/random15.h"
#include "stimuli/stimuli.h"
#include "support/fake_backend.h"

namespace {

struct Prepared {
    Presenter p;
    Prepared() {
        fake::Reset();
        p.hwnd = fake::TheWindow();
        p.setup.titleImagePath = "title.png";
        p.setup.blankImagePath = "blank.png";
        p.setup.fixImagePath = "fix.png";
        p.setup.shuffle = 0;
        for (const char* name : {"title.png", "blank.png", "fix.png"}) fake::AddImage(name, 4, 4, 0x111111);
    }
    ~Prepared() {
        delete[] p.trials;
        ReleaseSetup(p.setup);
        EXPECT_EQ(fake::LiveBitmaps(), 0);
        EXPECT_EQ(fake::LiveSurfaces(), 0);
        EXPECT_EQ(fake::BadReleases(), 0);
    }
    void Group(const std::string& name, const std::string& pattern, int32_t first, int32_t last, const std::string& cond) {
        ImageGroup g;
        g.name = name;
        g.pattern = pattern;
        g.first = first;
        g.last = last;
        g.side = 0;
        g.condition = cond;
        p.setup.groups.push_back(g);
    }
    // Group a (images a1, a2) and group b (image b1), every image twice.
    void TwoGroupsTwice(const std::string& condA, const std::string& condB) {
        Group("a", "a%d.png", 1, 2, condA);
        Group("b", "b%d.png", 1, 1, condB);
        for (const char* name : {"a1.png", "a2.png", "b1.png"}) fake::AddImage(name, 4, 4, 0x222222);
        p.setup.repeat = 2;
    }
    std::vector<std::string> Order() const {
        std::vector<std::string> names;
        for (int32_t i = 0; i < p.trialCount; ++i) {
            const StimulusImage* image = p.trials[i].stimulus;
            for (const ImageGroup& g : p.setup.groups) {
                if (image >= g.images && image < g.images + g.imageCount)
                    names.push_back(g.name + std::to_string(g.first + (image - g.images)));
            }
        }
        return names;
    }
};

TEST(Random15, KnownVectorAndOneStatePerThread) {
    std::vector<int32_t> values;
    std::thread([&] {
        for (int i = 0; i < 5; ++i) values.push_back(Random15());
    }).join();
    EXPECT_EQ(values, (std::vector<int32_t>{41, 18467, 6334, 26500, 19169}));

    SeedRandom15(1);
    EXPECT_EQ(Random15(), 41);
    SeedRandom15(99);  // this thread only
    std::thread([] { EXPECT_EQ(Random15(), 41); }).join();
}

TEST(PrepareStimuli, FillsGroupByGroupRepeatTimesInFillOrder) {
    Prepared f;
    f.TwoGroupsTwice("condA", "condB");
    ASSERT_TRUE(PrepareStimuli(f.p));
    EXPECT_EQ(f.p.trialCount, 6);
    EXPECT_EQ(f.Order(), (std::vector<std::string>{"a1", "a2", "b1", "a1", "a2", "b1"}));
    EXPECT_EQ(*f.p.trials[2].stimulus->condition, "condB");
    EXPECT_EQ(f.p.trials[2].stimulus->condition, &f.p.setup.groups[1].condition);
    EXPECT_NE(f.p.setup.imageDC, nullptr);
    EXPECT_TRUE(fake::Boxes().empty());
    // Each file is decoded once per entry, in order.
    EXPECT_EQ(fake::DecodedPaths(),
              (std::vector<std::string>{"title.png", "blank.png", "fix.png", "a1.png", "a2.png", "b1.png"}));
}

TEST(PrepareStimuli, ShuffleExchangesWithAnyPositionFromTheSeed) {
    Prepared f;
    f.TwoGroupsTwice("", "");
    for (ImageGroup& g : f.p.setup.groups) ASSERT_TRUE(LoadGroupImages(g, &g.condition));
    ASSERT_TRUE(BuildTrialTable(f.p));
    SeedRandom15(12345);
    ShuffleTrialTable(f.p);
    EXPECT_EQ(f.Order(), (std::vector<std::string>{"a2", "a1", "a2", "b1", "b1", "a1"}));
}

TEST(PrepareStimuli, EmptyGroupsAndZeroRepeatGiveAnEmptyTable) {
    Prepared f;
    f.Group("empty", "x%d.png", 5, 4, "");  // last = first - 1
    f.Group("one", "one.png", 7, 7, "");
    fake::AddImage("one.png", 2, 2, 0);
    f.p.setup.repeat = 0;
    f.p.setup.shuffle = 1;
    ASSERT_TRUE(PrepareStimuli(f.p));
    EXPECT_EQ(f.p.trialCount, 0);
    EXPECT_EQ(f.p.setup.groups[0].imageCount, 0);
    EXPECT_EQ(f.p.setup.groups[1].imageCount, 1);
}

TEST(PrepareStimuli, EachFixedImageFailureStopsThereWithItsOwnedWarning) {
    struct Case {
        const char* missing;
        const char* text;
        int loadedBefore;
    } cases[] = {
        {"title.png", text::kTitleLoadFailed, 0},
        {"blank.png", text::kBlankLoadFailed, 1},
        {"fix.png", text::kFixLoadFailed, 2},
    };
    for (const Case& c : cases) {
        Prepared f;
        f.Group("a", "a.png", 1, 1, "");
        fake::AddImage("a.png", 1, 1, 0);
        fake::RemoveImage(c.missing);
        EXPECT_FALSE(PrepareStimuli(f.p));
        const auto boxes = fake::Boxes();
        ASSERT_EQ(boxes.size(), 1u) << c.missing;
        EXPECT_EQ(boxes[0].text, c.text);
        EXPECT_EQ(boxes[0].caption, text::kCaptionError);
        EXPECT_EQ(boxes[0].owner, f.p.hwnd);
        EXPECT_EQ(boxes[0].icon, plat::BoxIcon::Warning);
        EXPECT_EQ(fake::LiveBitmaps(), c.loadedBefore) << c.missing;
        EXPECT_EQ(fake::DecodedPaths().size(), size_t(c.loadedBefore + 1)) << "nothing after the failure is read";
        EXPECT_EQ(f.p.setup.groups[0].images, nullptr);
        EXPECT_EQ(f.p.setup.imageDC, nullptr);
        EXPECT_EQ(f.p.trials, nullptr);
    }
}

TEST(PrepareStimuli, AGroupImageFailureKeepsWhatLoadedAndStops) {
    Prepared f;
    f.Group("a", "a%d.png", 1, 4, "");
    f.Group("b", "b%d.png", 1, 1, "");
    fake::AddImage("a1.png", 1, 1, 0);
    fake::AddImage("a2.png", 1, 1, 0);
    fake::AddImage("a4.png", 1, 1, 0);
    fake::AddImage("b1.png", 1, 1, 0);
    EXPECT_FALSE(PrepareStimuli(f.p));
    const auto boxes = fake::Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, text::kTrialLoadFailed);
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[0].icon, plat::BoxIcon::Warning);
    const ImageGroup& a = f.p.setup.groups[0];
    ASSERT_EQ(a.imageCount, 4);
    EXPECT_NE(a.images[0].bitmap, nullptr);
    EXPECT_NE(a.images[1].bitmap, nullptr);
    EXPECT_EQ(a.images[2].bitmap, nullptr);
    EXPECT_EQ(a.images[3].bitmap, nullptr);
    EXPECT_EQ(f.p.setup.groups[1].images, nullptr);
    EXPECT_EQ(f.p.setup.imageDC, nullptr);
    EXPECT_EQ(f.p.trials, nullptr);
}

TEST(PrepareStimuli, CountsThatCannotMakeATableAreRefusedBeforeLoading) {
    struct Case {
        const char* name;
        int32_t first, last, repeat;
    } cases[] = {
        {"last two below first", 5, 3, 1},
        {"negative repeat", 1, 1, -1},
        {"repeat times total beyond 32 bits", 1, 3, INT32_MAX},
        {"group count beyond 32 bits", INT32_MIN, INT32_MAX, 1},
    };
    for (const Case& c : cases) {
        Prepared f;
        f.Group("a", "a.png", c.first, c.last, "");
        fake::AddImage("a.png", 1, 1, 0);
        f.p.setup.repeat = c.repeat;
        EXPECT_FALSE(PrepareStimuli(f.p)) << c.name;
        EXPECT_TRUE(fake::Boxes().empty()) << c.name;  // start-up shows the data-preparation error
        EXPECT_EQ(f.p.setup.groups[0].images, nullptr) << c.name;
        EXPECT_EQ(f.p.trials, nullptr) << c.name;
        EXPECT_EQ(fake::DecodedPaths().size(), 3u) << c.name;
    }
}

TEST(LoadImageFile, BlendsOverTheButtonFaceAsOpaqueArgbWithRedAndBlueSwapped) {
    Prepared f;
    fake::SetButtonFace(0x00332211);  // COLORREF: red 0x11, green 0x22, blue 0x33
    plat::BitmapHandle bitmap = LoadImageFile("title.png");
    EXPECT_NE(bitmap, nullptr);
    EXPECT_EQ(fake::LastDecodeBackground(), 0xFF112233u);
    plat::DeleteBitmap(bitmap);
    EXPECT_EQ(LoadImageFile("nothing.png"), nullptr);
}

TEST(FormatImageName, AcceptsTextPercentAndOneIntegerConversion) {
    const std::tuple<const char*, int32_t, const char*> good[] = {
        {"img%03d.bmp", 1, "img001.bmp"},   {"img%03d.bmp", 12, "img012.bmp"},
        {"same.png", 5, "same.png"},         {"%d", -7, "-7"},
        {"%i.png", 3, "3.png"},              {"%x", 255, "ff"},                   {"%X.png", 255, "FF.png"},
        {"100%%_%u", 4, "100%_4"},           {"%+05d", 42, "+0042"},
        {"%-4d|", 7, "7   |"},               {"%.3d", 5, "005"},
        {"%o", 8, "10"},                     {"%#x", 255, "0xff"},
        {"%ld", 9, "9"},                     {"%lld", 9, "9"},
        {"%hd", 65537, "1"},                 {"%hhu", 257, "1"},
        {"%zu", 3, "3"},                     {"\x8E\x8E\x8D\x73%d.png", 2, "\x8E\x8E\x8D\x73" "2.png"},
        {"%u", -1, "4294967295"},
    };
    for (const auto& [pattern, number, expected] : good) {
        std::string name;
        ASSERT_TRUE(FormatImageName(pattern, number, &name)) << pattern;
        EXPECT_EQ(name, expected) << pattern;
    }
}

TEST(FormatImageName, RefusesEverythingUnsafeOrTooLong) {
    const std::string refused[] = {
        "%s.png", "%n", "%d%d", "%*d", "%.*d", "%f", "%c", "%p", "%", "abc%", "%l", "%300d", "%.300d",
        std::string(256, 'a'), std::string(250, 'a') + "%06d", std::string("a\0%d", 4),
    };
    for (const std::string& pattern : refused) {
        std::string name = "untouched";
        EXPECT_FALSE(FormatImageName(pattern, 1, &name)) << pattern;
        EXPECT_EQ(name, "untouched");
    }
    std::string name;
    EXPECT_TRUE(FormatImageName(std::string(255, 'a'), 1, &name));
}

TEST(PrepareStimuli, AnUnsafePatternIsALoadFailureNotACrash) {
    Prepared f;
    f.Group("a", "%s%n%s.png", 1, 1, "");
    EXPECT_FALSE(PrepareStimuli(f.p));
    const auto boxes = fake::Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, text::kTrialLoadFailed);
}

}  // namespace
