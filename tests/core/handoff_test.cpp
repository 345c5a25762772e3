// The frame hand-off and key capture between a real worker thread and a real "window" thread.
#include <gtest/gtest.h>

#include <thread>

#include "run/clock.h"
#include "run/handoff.h"
#include "support/fake_backend.h"
#include "support/run_fixture.h"

namespace {

class Handoff : public ::testing::Test {
protected:
    Presenter p;
    void SetUp() override {
        fake::AttachRun(p, 8, 4);
    }
    void TearDown() override {
        fake::DetachRun(p);
    }
    void Fill(plat::SurfaceHandle surface, uint32_t rgb) {
        plat::BrushHandle brush = plat::CreateSolidBrush(uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb));
        plat::FillRect(surface, p.clientRect, brush);
        plat::DeleteBrush(brush);
    }
};

TEST(ResponseSide, MapsTheEightCodesFromDToK) {
    const std::pair<uint32_t, int32_t> keys[] = {{0x44, 0}, {0x45, -1}, {0x46, 0}, {0x47, -1}, {0x48, -1},
                                                 {0x49, -1}, {0x4A, 1}, {0x4B, 1}, {0x1B, -1}, {0x43, -1},
                                                 {0x4C, -1}, {0x64, -1}, {0x20, -1}, {0, -1}};
    for (const auto& [code, side] : keys) EXPECT_EQ(ResponseSide(code), side) << code;
}

TEST_F(Handoff, OnlyTheFirstCopyAfterAWaitedForFlipIsStamped) {
    Fill(BackBuffer(p), 0xABCDEF);
    std::thread worker([&] {
        ASSERT_TRUE(Flip(p, p.clientRect));
        uint32_t onset = 0;
        ASSERT_TRUE(WaitForPaint(p, &onset));
        EXPECT_EQ(onset, p.paintTimeMs.load());
    });
    fake::Request request;
    ASSERT_TRUE(fake::NextRequest(&request, 5000));
    EXPECT_EQ(request.kind, fake::Request::Repaint);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    PaintFrame();
    worker.join();
    EXPECT_EQ(p.paintDone.load(), 0);
    EXPECT_EQ(fake::PixelAt(fake::WindowSurface(), 7, 3), 0xABCDEFu);  // the whole front buffer was copied

    // A second paint of the same frame (the platform's own repaint) leaves the stamp alone.
    const uint32_t stamp = p.paintTimeMs.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    PaintFrame();
    EXPECT_EQ(p.paintTimeMs.load(), stamp);
}

TEST_F(Handoff, ThePaintStampFollowsTheCopyNotTheFlip) {
    std::atomic<uint32_t> flippedAt{0};
    std::thread worker([&] {
        flippedAt = NowMs();
        Flip(p, p.clientRect);
        uint32_t onset;
        WaitForPaint(p, &onset);
    });
    fake::Request request;
    ASSERT_TRUE(fake::NextRequest(&request, 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    PaintFrame();
    worker.join();
    EXPECT_GE(p.paintTimeMs.load() - flippedAt.load(), 30u);
}

TEST_F(Handoff, FlipsAlternateTheBuffersAndACopyNeverOverlapsAFlip) {
    // The worker flips as fast as it can while the window thread copies; each copy must see a
    // buffer that was completely drawn (one colour throughout), never one being drawn into.
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::thread window([&] {
        fake::Request request;
        while (!stop) {
            if (!fake::NextRequest(&request, 50)) continue;
            PaintFrame();
            const uint32_t first = fake::PixelAt(fake::WindowSurface(), 0, 0);
            if (fake::PixelAt(fake::WindowSurface(), 7, 3) != first) ++torn;
        }
    });
    for (uint32_t frame = 1; frame <= 200; ++frame) {
        Fill(BackBuffer(p), frame);  // outside the gate: the back buffer is never being copied
        ASSERT_TRUE(Flip(p, p.clientRect));
        uint32_t onset;
        ASSERT_TRUE(WaitForPaint(p, &onset));
        EXPECT_EQ(p.frontIndex == 0 || p.frontIndex == 1, true);
    }
    stop = true;
    window.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(fake::PixelAt(fake::WindowSurface(), 3, 2), 200u);
}

TEST_F(Handoff, TheKeySlotTakesOnlyTheFirstMappedKeyAfterArming) {
    p.keyAnswer = 1;  // holds a previous answer: not armed
    OnKeyResponse(0x44);
    EXPECT_EQ(p.keyAnswer.load(), 1) << "keys before the arming are lost";

    p.keyAnswer = kPending;
    OnKeyResponse(0x45);  // E maps to nothing
    OnKeyResponse(0x1B);  // nor does Escape
    EXPECT_EQ(p.keyAnswer.load(), kPending);
    OnKeyResponse(0x44);  // D
    const uint32_t stamp = p.keyTimeMs.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    OnKeyResponse(0x4A);  // J right after is ignored
    EXPECT_EQ(p.keyAnswer.load(), 0);
    EXPECT_EQ(p.keyTimeMs.load(), stamp);
}

TEST_F(Handoff, AKeyFromTheWindowThreadReachesAWaitingWorker) {
    int32_t answer = -9;
    uint32_t time = 0;
    std::thread worker([&] { ASSERT_TRUE(WaitForResponse(p, 0, NowMs(), &answer, &time)); });
    while (p.keyAnswer.load() != kPending) std::this_thread::yield();
    OnKeyResponse(0x4B);  // K
    OnKeyResponse(0x46);  // F, too late
    worker.join();
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(time, p.keyTimeMs.load());
}

TEST_F(Handoff, AStopEndsThePaintWaitAndTheGateWait) {
    ASSERT_TRUE(TakePaintGate());  // held, as by a copy that never ends
    bool gateResult = true, paintResult = true;
    std::thread worker([&] { gateResult = TakePaintGate(); });
    p.paintDone = kPending;
    std::thread waiter([&] {
        uint32_t onset;
        paintResult = WaitForPaint(p, &onset);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    RequestStop();
    worker.join();
    waiter.join();
    ReleasePaintGate();
    EXPECT_FALSE(gateResult);
    EXPECT_FALSE(paintResult);
}

}  // namespace
