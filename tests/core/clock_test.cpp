// The millisecond clock, its waits, and the stop request that ends them.
#include <gtest/gtest.h>

#include <thread>

#include "run/clock.h"

namespace {

class Clock : public ::testing::Test {
protected:
    void SetUp() override {
        InitClock();
        ClearStopRequest();
    }
    void TearDown() override { ClearStopRequest(); }
};

TEST_F(Clock, CountsMillisecondsOfTheCounter) {
    const uint32_t before = NowMs();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_GE(NowMs() - before, 50u);
}

TEST_F(Clock, WaitUntilMsWaitsAtLeastItsCount) {
    for (int32_t n : {1, 20, 60}) {
        const uint32_t start = NowMs();
        EXPECT_TRUE(WaitUntilMs(n));
        // The deadline is taken after `start`, so the full count has passed since it.
        EXPECT_GE(NowMs() - start, static_cast<uint32_t>(n)) << n;
    }
}

TEST_F(Clock, PastDeadlinesEndTheWaitAtOnce) {
    // A negative count, as when drawing took longer than the screen's duration; the most
    // negative one would be a 24-day wait with an unsigned comparison.
    for (int32_t n : {0, -1, -5000, INT32_MIN}) {
        std::atomic<bool> done{false};
        std::thread waiter([&] {
            EXPECT_TRUE(WaitUntilMs(n));
            done = true;
        });
        for (int i = 0; i < 200 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!done) RequestStop();  // do not hang the suite on failure
        waiter.join();
        EXPECT_TRUE(done) << n;
        ClearStopRequest();
    }
}

TEST_F(Clock, StopRequestEndsEveryWaitAndReportsIt) {
    Presenter p;
    bool untilResult = true, responseResult = true;
    std::thread a([&] { untilResult = WaitUntilMs(INT32_MAX); });
    std::thread b([&] {
        int32_t answer = 99;
        uint32_t time = 0;
        responseResult = WaitForResponse(p, 0, NowMs(), &answer, &time);
        EXPECT_EQ(answer, 99);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    RequestStop();
    a.join();
    b.join();
    EXPECT_FALSE(untilResult);
    EXPECT_FALSE(responseResult);
}

TEST_F(Clock, WaitForResponseTakesTheKeyAndItsStamp) {
    Presenter p;
    p.keyAnswer = 1;  // a previous answer is discarded by the arming
    std::thread window([&] {
        while (p.keyAnswer.load() != kPending) std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        p.keyTimeMs.store(NowMs());
        p.keyAnswer.store(0, std::memory_order_release);
    });
    int32_t answer = -5;
    uint32_t time = 0;
    const uint32_t onset = NowMs();
    ASSERT_TRUE(WaitForResponse(p, 0, onset, &answer, &time));
    window.join();
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(time, p.keyTimeMs.load());
    EXPECT_GE(time - onset, 20u);
}

TEST_F(Clock, WaitForResponseEndsAtTheLimitCountedFromTheOnset) {
    Presenter p;
    int32_t answer = 7;
    uint32_t time = 0;
    const uint32_t onset = NowMs();
    ASSERT_TRUE(WaitForResponse(p, 40, onset, &answer, &time));
    EXPECT_EQ(answer, -1);
    EXPECT_GE(time - onset, 40u);
    EXPECT_EQ(p.keyAnswer.load(), kPending);

    // A limit that had passed before the call ends the wait with the first reading.
    const uint32_t longAgo = NowMs() - 10000;
    ASSERT_TRUE(WaitForResponse(p, 500, longAgo, &answer, &time));
    EXPECT_EQ(answer, -1);
    EXPECT_GE(time - longAgo, 10000u);
}

}  // namespace
