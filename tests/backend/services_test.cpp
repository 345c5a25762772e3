// Counter, threads, calendar time and new files of the operating-system services.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "support/test_support.h"

namespace {

TEST(Counter, IsMonotonicAndCountsAtItsFrequency) {
    const int64_t frequency = plat::CounterFrequency();
    ASSERT_GT(frequency, 0);
    int64_t previous = plat::CounterNow();
    const int64_t start = previous;
    for (int i = 0; i < 100000; ++i) {
        const int64_t now = plat::CounterNow();
        ASSERT_GE(now, previous);
        previous = now;
    }
    // A sleep lasts at least as long as asked; only the lower bound is checked.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const int64_t elapsed = plat::CounterNow() - start;
    EXPECT_GE(static_cast<double>(elapsed) / static_cast<double>(frequency), 0.025);
}

struct ThreadProbe {
    std::atomic<int> calls{0};
    std::atomic<bool> sawArgument{false};
};

void ProbeEntry(void* argument) {
    ThreadProbe* probe = static_cast<ThreadProbe*>(argument);
    plat::SetCurrentThreadTimeCritical(true);
    plat::YieldThread();
    plat::SetCurrentThreadTimeCritical(false);
    // Let the starter reach JoinThread first, so that the join really waits.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    probe->sawArgument = true;
    probe->calls.fetch_add(1);
}

TEST(Threads, RunTheEntryWithItsArgumentAndJoinWaitsForTheEnd) {
    ThreadProbe probe;
    plat::ThreadHandle thread = plat::StartThread(ProbeEntry, &probe);
    ASSERT_NE(thread, nullptr);
    plat::JoinThread(thread);
    EXPECT_EQ(probe.calls.load(), 1);
    EXPECT_TRUE(probe.sawArgument.load());
}

TEST(Calendar, LocalTimeOfNowIsAPlausibleDate) {
    const int64_t now = plat::CalendarSeconds();
    EXPECT_GT(now, 1700000000);  // after November 2023
    plat::LocalDateTime local{};
    ASSERT_TRUE(plat::ToLocalTime(now, &local));
    EXPECT_GE(local.year, 2023);
    EXPECT_GE(local.month, 1);
    EXPECT_LE(local.month, 12);
    EXPECT_GE(local.day, 1);
    EXPECT_LE(local.day, 31);
    EXPECT_LE(local.hour, 23);
    EXPECT_LE(local.minute, 59);
    EXPECT_LE(local.second, 60);
}

TEST(Files, ANewFileIsNeverOpenedTwiceAndKeepsWhatWasWritten) {
    testing_support::ScratchDirectory scratch;
    bool nameTaken = true;
    plat::FileHandle file = plat::CreateNewFile("result.csv", &nameTaken);
    ASSERT_NE(file, nullptr);
    EXPECT_FALSE(nameTaken);
    const std::string first = "1,a,0,345\r\n";
    const std::string second(100000, 'x');
    EXPECT_TRUE(plat::WriteToFile(file, first.data(), first.size()));
    EXPECT_TRUE(plat::WriteToFile(file, second.data(), second.size()));
    EXPECT_TRUE(plat::WriteToFile(file, "", 0));
    EXPECT_TRUE(plat::FlushFileToDisk(file));

    // Another create of the same name fails while the first is open, and after it was closed.
    bool takenWhileOpen = false;
    EXPECT_EQ(plat::CreateNewFile("result.csv", &takenWhileOpen), nullptr);
    EXPECT_TRUE(takenWhileOpen);
    EXPECT_TRUE(plat::CloseFile(file));
    bool takenAfterClose = false;
    EXPECT_EQ(plat::CreateNewFile("result.csv", &takenAfterClose), nullptr);
    EXPECT_TRUE(takenAfterClose);
    EXPECT_EQ(testing_support::ReadBytes("result.csv"), first + second);

    // A failure for another reason does not claim the name is taken.
    bool takenElsewhere = true;
    EXPECT_EQ(plat::CreateNewFile("no_such_directory/result.csv", &takenElsewhere), nullptr);
    EXPECT_FALSE(takenElsewhere);
}

}  // namespace
