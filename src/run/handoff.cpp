// The double-buffer flip between the worker and the paint handler, and the key capture.
#include "run/handoff.h"

#include "run/clock.h"

std::atomic<int32_t> g_paintGate{1};

bool TakePaintGate() {
    for (;;) {
        int32_t expected = 1;
        if (g_paintGate.compare_exchange_strong(expected, 0, std::memory_order_acquire, std::memory_order_relaxed))
            return true;
        if (StopRequested()) return false;
        plat::YieldThread();
    }
}

void ReleasePaintGate() { g_paintGate.store(1, std::memory_order_release); }

void FlipBuffers(Presenter& presenter, bool armPaint) {
    presenter.frontIndex ^= 1;
    if (armPaint) presenter.paintDone.store(kPending, std::memory_order_relaxed);
}

bool Flip(Presenter& presenter, const plat::Rect& changed) {
    if (!TakePaintGate()) return false;
    FlipBuffers(presenter, true);
    ReleasePaintGate();
    plat::RequestRepaint(presenter.hwnd, changed);
    return true;
}

bool WaitForPaint(Presenter& presenter, uint32_t* onsetMs) {
    while (presenter.paintDone.load(std::memory_order_acquire) == kPending) {
        if (StopRequested()) return false;
        plat::YieldThread();
    }
    *onsetMs = presenter.paintTimeMs.load(std::memory_order_relaxed);
    return true;
}

void PaintFrame() {
    Presenter& presenter = *g_presenter;
    if (TakePaintGate()) {
        const plat::Rect& client = presenter.clientRect;
        plat::CopyRect(presenter.windowDC, 0, 0, client.right, client.bottom, presenter.backDC[presenter.frontIndex],
                       0, 0);
        // Only the first copy after a waited-for flip is the onset of its screen.
        if (presenter.paintDone.load(std::memory_order_relaxed) == kPending) {
            presenter.paintTimeMs.store(NowMs(), std::memory_order_relaxed);
            presenter.paintDone.store(0, std::memory_order_release);
        }
        ReleasePaintGate();
    }
    plat::MarkPainted(presenter.hwnd);
}

int32_t ResponseSide(uint32_t virtualKey) {
    switch (virtualKey) {
        case 0x44:  // D
        case 0x46:  // F
            return 0;
        case 0x4A:  // J
        case 0x4B:  // K
            return 1;
        default:
            return -1;
    }
}

void OnKeyResponse(uint32_t virtualKey) {
    const int32_t side = ResponseSide(virtualKey);
    if (side < 0) return;
    Presenter& presenter = *g_presenter;
    // Only an armed slot takes a key, and only the first one after the arming.
    if (presenter.keyAnswer.load(std::memory_order_acquire) != kPending) return;
    presenter.keyTimeMs.store(NowMs(), std::memory_order_relaxed);
    presenter.keyAnswer.store(side, std::memory_order_release);
}
