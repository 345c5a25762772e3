// Linux-only checks of the file and scheduling services: full devices, interrupted writes, priorities.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "platform/platform.h"
#include "platform/posix/posix_file.h"
#include "support/test_support.h"

namespace {

TEST(PosixFiles, AFullDeviceFailsTheWriteAndClosingStillSucceeds) {
    plat::FileHandle file = plat::AdoptFileDescriptor(open("/dev/full", O_WRONLY | O_CLOEXEC));
    ASSERT_NE(file, nullptr);
    const std::string line = "1,a,0,345\r\n";
    EXPECT_FALSE(plat::WriteToFile(file, line.data(), line.size()));
    EXPECT_TRUE(plat::CloseFile(file));
    EXPECT_EQ(plat::AdoptFileDescriptor(-1), nullptr);
}

TEST(PosixFiles, NewFilesAreReadableByOthers) {
    testing_support::ScratchDirectory scratch;
    const mode_t previous = umask(022);
    bool nameTaken = false;
    plat::FileHandle file = plat::CreateNewFile("result.csv", &nameTaken);
    umask(previous);
    ASSERT_NE(file, nullptr);
    struct stat info {};
    ASSERT_EQ(stat("result.csv", &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
    EXPECT_TRUE(plat::CloseFile(file));
}

void CountSignal(int) {}

TEST(PosixFiles, WritesInterruptedBySignalsDeliverEveryByte) {
    // A slow reader on a pipe keeps the writer blocked while a timer interrupts it again and again,
    // so write() returns short counts and EINTR.
    int pipeFds[2];
    ASSERT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
    sigset_t alarm;
    sigemptyset(&alarm);
    sigaddset(&alarm, SIGALRM);
    pthread_sigmask(SIG_BLOCK, &alarm, nullptr);  // the reader inherits the block
    std::string received;
    std::thread reader([&] {
        char buffer[4096];
        for (;;) {
            const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
            if (n <= 0) break;
            received.append(buffer, static_cast<size_t>(n));
            if (received.size() % (64 * 1024) < sizeof buffer) usleep(1000);
        }
    });
    pthread_sigmask(SIG_UNBLOCK, &alarm, nullptr);

    struct sigaction action {};
    action.sa_handler = CountSignal;  // no SA_RESTART: blocked writes come back early
    struct sigaction previousAction {};
    sigaction(SIGALRM, &action, &previousAction);
    itimerval every{{0, 500}, {0, 500}};
    setitimer(ITIMER_REAL, &every, nullptr);

    std::string sent(4 * 1024 * 1024, '\0');
    for (size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>(i * 7 + i / 4096);
    plat::FileHandle file = plat::AdoptFileDescriptor(pipeFds[1]);
    const bool written = plat::WriteToFile(file, sent.data(), sent.size());

    itimerval off{};
    setitimer(ITIMER_REAL, &off, nullptr);
    sigaction(SIGALRM, &previousAction, nullptr);
    EXPECT_TRUE(plat::CloseFile(file));
    reader.join();
    close(pipeFds[0]);
    EXPECT_TRUE(written);
    EXPECT_EQ(received.size(), sent.size());
    EXPECT_TRUE(received == sent);
}

TEST(PosixScheduling, TimeCriticalOffRestoresTheNormalPolicyAndNiceness) {
    struct Seen {
        int policyOn = -1;
        int niceOn = 0;
        int policyOff = -1;
        int niceBefore = 0;
        int niceOff = 0;
    } seen;
    std::thread worker([&] {
        const id_t self = static_cast<id_t>(syscall(SYS_gettid));
        seen.niceBefore = getpriority(PRIO_PROCESS, self);
        plat::SetCurrentThreadTimeCritical(true);
        seen.policyOn = sched_getscheduler(0);
        seen.niceOn = getpriority(PRIO_PROCESS, self);
        plat::SetCurrentThreadTimeCritical(false);
        seen.policyOff = sched_getscheduler(0);
        seen.niceOff = getpriority(PRIO_PROCESS, self);
    });
    worker.join();
    // Raised means a lower nice value (or nothing when that is not allowed), never real-time:
    // a real-time busy-waiting worker starves the X server on a two-core machine.
    EXPECT_EQ(seen.policyOn, SCHED_OTHER) << seen.policyOn;
    EXPECT_LE(seen.niceOn, seen.niceBefore);
    EXPECT_EQ(seen.policyOff, SCHED_OTHER);
    EXPECT_EQ(seen.niceOff, seen.niceBefore);
}

}  // namespace
