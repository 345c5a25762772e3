// The millisecond clock over the performance counter and the busy waits on it.
#include "run/clock.h"

int64_t g_qpcFrequency = 1;

namespace {
std::atomic<bool> g_stopRequested{false};
}

void InitClock() { g_qpcFrequency = plat::CounterFrequency(); }

uint32_t NowMs() {
    const double ms = static_cast<double>(plat::CounterNow()) * 1000.0 / static_cast<double>(g_qpcFrequency);
    return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(ms)));
}

void RequestStop() { g_stopRequested.store(true, std::memory_order_release); }
bool StopRequested() { return g_stopRequested.load(std::memory_order_acquire); }
void ClearStopRequest() { g_stopRequested.store(false, std::memory_order_release); }

bool WaitUntilMs(int32_t n) {
    const uint32_t deadline = NowMs() + static_cast<uint32_t>(n);
    uint32_t now = NowMs();
    // A count of 0 or less is a deadline already reached. For the rest, a signed difference
    // stays right across the 2^32 wrap of the clock.
    if (n <= 0) return true;
    while (static_cast<int32_t>(now - deadline) < 0) {
        if (StopRequested()) return false;
        plat::YieldThread();
        now = NowMs();
    }
    return true;
}

bool WaitForResponse(Presenter& presenter, uint32_t limitMs, uint32_t onsetMs, int32_t* answer,
                     uint32_t* timeMs) {
    presenter.keyAnswer.store(kPending, std::memory_order_relaxed);
    int32_t key;
    // The slot is tested before the limit, so a key stored during the last yield still counts.
    while ((key = presenter.keyAnswer.load(std::memory_order_acquire)) == kPending) {
        if (limitMs != 0) {
            const uint32_t now = NowMs();
            if (now - onsetMs >= limitMs) {
                *answer = -1;
                *timeMs = now;
                return true;
            }
        }
        if (StopRequested()) return false;
        plat::YieldThread();
    }
    *answer = key;
    *timeMs = presenter.keyTimeMs.load(std::memory_order_relaxed);
    return true;
}
