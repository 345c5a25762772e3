// Whole runs of the worker against the recording backend, with this thread as the window thread.
#include <gtest/gtest.h>

#include <thread>

#include "app/app.h"
#include "run/clock.h"
#include "run/handoff.h"
#include "run/trial_sequence.h"
#include "stimuli/random15.h"
#include "support/fake_backend.h"
#include "support/run_fixture.h"
#include "support/test_support.h"

namespace {

TEST(ChooseFixationMs, FollowsTheWorkersOwnSequence) {
    std::vector<int32_t> chosen;
    std::thread([&] {
        for (int i = 0; i < 8; ++i) chosen.push_back(ChooseFixationMs({500, 1000}));
    }).join();
    EXPECT_EQ(chosen, (std::vector<int32_t>{500, 1000, 500, 1000, 1000, 500, 500, 1000}));
    std::thread([] {
        EXPECT_EQ(ChooseFixationMs({}), 0);
        for (int i = 0; i < 20; ++i) EXPECT_EQ(ChooseFixationMs({250}), 250);
    }).join();
}

// A prepared Presenter with two trials and the window thread played by the test.
class Run : public ::testing::Test {
protected:
    testing_support::ScratchDirectory scratch;
    Presenter p;
    std::string condition = "cond";
    StimulusImage images[2];
    Trial trials[2];

    void SetUp() override {
        fake::AttachRun(p, 40, 30);
        p.stimulusRect = plat::Rect{10, 10, 30, 20};
        fake::AddImage("title", 20, 10, 0x000001);
        fake::AddImage("blank", 20, 10, 0x000002);
        fake::AddImage("fix", 20, 10, 0x000003);
        fake::AddImage("small", 5, 5, 0x000004);  // smaller than the rectangle
        fake::AddImage("big", 20, 10, 0x000005);
        p.setup.titleBitmap = plat::DecodeImageFile("title", 0);
        p.setup.blankBitmap = plat::DecodeImageFile("blank", 0);
        p.setup.fixBitmap = plat::DecodeImageFile("fix", 0);
        images[0] = StimulusImage{plat::DecodeImageFile("small", 0), &condition};
        images[1] = StimulusImage{plat::DecodeImageFile("big", 0), &condition};
        p.setup.imageDC = plat::CreateCompatibleSurface(p.windowDC);
        plat::SelectBitmap(p.setup.imageDC, p.setup.titleBitmap);
        trials[0].stimulus = &images[0];
        trials[1].stimulus = &images[1];
        p.trials = trials;
        p.trialCount = 2;
        p.setup.blankMs = 20;
        p.setup.fixMs = {15};
        p.bgColor[0] = 0x77;
    }
    void TearDown() override {
        p.trials = nullptr;
        for (StimulusImage& image : images) ReleaseStimulusImage(image);
        ReleaseSetup(p.setup);
        fake::DetachRun(p);
        EXPECT_EQ(fake::LiveBrushes(), 0);
        EXPECT_EQ(fake::LiveBitmaps(), 0);
        EXPECT_EQ(fake::BadReleases(), 0);
    }

    uint32_t Shown(int32_t x, int32_t y) { return fake::PixelAt(fake::WindowSurface(), x, y); }

    // A participant answers after the worker has armed the key slot, as any real key is.
    void PressWhenArmed(uint32_t key) {
        for (int i = 0; i < 5000 && p.keyAnswer.load() != kPending; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        OnKeyResponse(key);
    }

    // Plays the window thread: paints every repaint request, and presses `key` whenever the
    // screen shows a stimulus (or the title, to start). Returns when the worker asks to close.
    std::vector<uint32_t> ServeUntilClose(uint32_t key, int maxRequests = 100) {
        std::vector<uint32_t> screens;  // the centre pixel after each paint
        fake::Request request;
        for (int i = 0; i < maxRequests && fake::NextRequest(&request, 5000); ++i) {
            if (request.kind == fake::Request::Close) return screens;
            PaintFrame();
            const uint32_t centre = Shown(12, 12);
            screens.push_back(centre);
            if (centre == 0x000001 || centre == 0x000004 || centre == 0x000005) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                if (key != 0) PressWhenArmed(key);
            }
        }
        ADD_FAILURE() << "the worker never asked to close";
        return screens;
    }
};

TEST_F(Run, ACompleteRunShowsEveryScreenRecordsAnswersAndWritesTheFile) {
    std::thread worker([&] { RunTrials(p); });
    const std::vector<uint32_t> screens = ServeUntilClose(0x4B);
    worker.join();
    // title, then blank, fixation, stimulus per trial, then the empty end screen.
    EXPECT_EQ(screens, (std::vector<uint32_t>{1, 2, 3, 4, 2, 3, 5, 0x770000}));
    EXPECT_EQ(trials[0].answer, 1);
    EXPECT_EQ(trials[1].answer, 1);
    EXPECT_GE(trials[0].rtMs, 10u);
    EXPECT_EQ(fake::CloseRequests(), 1);
    const auto files = testing_support::FilesHere();
    ASSERT_EQ(files.size(), 1u);
    const std::string csv = testing_support::ReadBytes(files[0]);
    EXPECT_EQ(csv.rfind("num,,ans(L:0 R:1),rt\r\n1,cond,1,", 0), 0u) << csv;
}

TEST_F(Run, AnImageSmallerThanTheRectangleLeavesTheBackgroundAround) {
    p.trialCount = 1;
    std::thread worker([&] { RunTrials(p); });
    fake::Request request;
    uint32_t insideImage = 0, besideImage = 0, outsideRect = 0;
    while (fake::NextRequest(&request, 5000) && request.kind != fake::Request::Close) {
        PaintFrame();
        if (Shown(12, 12) == 0x000004) {
            insideImage = Shown(10, 10);
            besideImage = Shown(20, 15);
            outsideRect = Shown(35, 25);
            PressWhenArmed(0x44);
        } else if (Shown(12, 12) == 0x000001) {
            PressWhenArmed(0x44);
        }
    }
    worker.join();
    EXPECT_EQ(insideImage, 0x000004u);
    EXPECT_EQ(besideImage, 0x770000u);
    EXPECT_EQ(outsideRect, 0x770000u);  // the title screen's fill of the whole client area
}

TEST_F(Run, WithALimitAndNoKeyEveryAnswerIsMinusOne) {
    p.setup.limitMs = 30;
    std::thread worker([&] { RunTrials(p); });
    fake::Request request;
    bool started = false;
    while (fake::NextRequest(&request, 5000) && request.kind != fake::Request::Close) {
        PaintFrame();
        if (!started && Shown(12, 12) == 0x000001) {
            PressWhenArmed(0x46);  // the start key only
            started = true;
        }
    }
    worker.join();
    for (const Trial& trial : trials) {
        EXPECT_EQ(trial.answer, -1);
        EXPECT_GE(trial.rtMs, 30u);
    }
    EXPECT_EQ(testing_support::FilesHere().size(), 1u);
}

TEST_F(Run, ATableWithoutTrialsGoesFromTheStartKeyToTheEnd) {
    p.trialCount = 0;
    std::thread worker([&] { RunTrials(p); });
    const std::vector<uint32_t> screens = ServeUntilClose(0x4A);
    worker.join();
    EXPECT_EQ(screens, (std::vector<uint32_t>{1, 0x770000}));
    const auto files = testing_support::FilesHere();
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(testing_support::ReadBytes(files[0]), "num,,ans(L:0 R:1),rt\r\n");
}

TEST_F(Run, AStopInTheMiddleEndsTheWorkerWithoutAFileOrACloseRequest) {
    p.setup.blankMs = 100000;  // the run would sit on the blank screen for minutes
    std::thread worker([&] { RunTrials(p); });
    fake::Request request;
    int paints = 0;
    while (paints < 2 && fake::NextRequest(&request, 5000)) {
        PaintFrame();
        ++paints;
        if (Shown(12, 12) == 0x000001) PressWhenArmed(0x44);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    RequestStop();  // as the window's destruction does
    worker.join();
    EXPECT_TRUE(testing_support::FilesHere().empty());
    EXPECT_EQ(fake::CloseRequests(), 0);
}

}  // namespace
