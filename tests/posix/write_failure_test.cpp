// Result data that cannot reach the disk is reported as a failure, and the run tells the user.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <thread>

#include "app/app.h"
#include "platform/posix/posix_file.h"
#include "results/results.h"
#include "run/clock.h"
#include "run/handoff.h"
#include "run/trial_sequence.h"
#include "support/fake_backend.h"
#include "support/run_fixture.h"
#include "support/test_support.h"

namespace {

struct OneTrial {
    std::string condition = "c";
    StimulusImage image{nullptr, &condition};
    Trial trial{&image, 0, 5};
    Presenter p;
    OneTrial() {
        p.trials = &trial;
        p.trialCount = 1;
    }
    ~OneTrial() { p.trials = nullptr; }
};

TEST(WriteResults, AFullDiskIsAFailure) {
    const int fd = ::open("/dev/full", O_WRONLY);
    ASSERT_GE(fd, 0);
    OneTrial t;
    plat::FileHandle file = plat::AdoptFileDescriptor(fd);
    EXPECT_FALSE(WriteResultLines(t.p, file));
    plat::CloseFile(file);
}

TEST(WriteResults, AFileThatCannotBeCreatedIsAFailure) {
    testing_support::ScratchDirectory scratch;
    ASSERT_EQ(::rmdir(scratch.path().c_str()), 0);  // the working directory is gone
    OneTrial t;
    EXPECT_FALSE(WriteResults(t.p));
}

TEST(RunTrials, ReportsAResultFileThatCouldNotBeSavedThenClosesAsUsual) {
    testing_support::ScratchDirectory scratch;
    Presenter p;
    fake::AttachRun(p, 8, 8);
    p.stimulusRect = p.clientRect;
    fake::AddImage("t", 8, 8, 1);
    p.setup.titleBitmap = plat::DecodeImageFile("t", 0);
    p.setup.imageDC = plat::CreateCompatibleSurface(p.windowDC);
    plat::SelectBitmap(p.setup.imageDC, p.setup.titleBitmap);
    p.setup.blankBitmap = plat::DecodeImageFile("t", 0);
    p.trialCount = 0;
    p.setup.blankMs = 0;
    ASSERT_EQ(::rmdir(scratch.path().c_str()), 0);

    std::thread worker([&] { RunTrials(p); });
    fake::Request request;
    bool started = false;
    while (fake::NextRequest(&request, 5000) && request.kind != fake::Request::Close) {
        PaintFrame();
        if (started) continue;
        started = true;
        for (int i = 0; i < 5000 && p.keyAnswer.load() != kPending; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        OnKeyResponse(0x44);  // the start key, once the title waits for it
    }
    worker.join();
    const auto boxes = fake::Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, text::kResultSaveFailed);
    EXPECT_EQ(boxes[0].caption, text::kCaptionError);
    EXPECT_EQ(boxes[0].owner, p.hwnd);
    EXPECT_EQ(boxes[0].icon, plat::BoxIcon::Warning);
    EXPECT_EQ(fake::CloseRequests(), 1);

    ReleaseSetup(p.setup);
    fake::DetachRun(p);
}

}  // namespace
