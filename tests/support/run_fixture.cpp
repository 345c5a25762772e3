// Sets up and tears down the window side of a Presenter for tests that play the window thread.
#include "support/run_fixture.h"

#include "run/clock.h"
#include "run/handoff.h"
#include "support/fake_backend.h"

namespace fake {

void AttachRun(Presenter& presenter, int32_t width, int32_t height) {
    Reset(width, height);
    InitClock();
    ClearStopRequest();
    g_paintGate = 1;
    presenter.hwnd = TheWindow();
    plat::WindowClientRect(presenter.hwnd, &presenter.clientRect);
    presenter.windowDC = plat::AcquireWindowSurface(presenter.hwnd);
    for (int i = 0; i < 2; ++i) {
        presenter.backBitmap[i] = plat::CreateCompatibleBitmap(presenter.windowDC, width, height);
        presenter.backDC[i] = plat::CreateCompatibleSurface(nullptr);
        plat::SelectBitmap(presenter.backDC[i], presenter.backBitmap[i]);
    }
    g_presenter = &presenter;
}

void DetachRun(Presenter& presenter) {
    ClearStopRequest();
    g_presenter = nullptr;
    for (int i = 0; i < 2; ++i) {
        plat::DeleteSurface(presenter.backDC[i]);
        plat::DeleteBitmap(presenter.backBitmap[i]);
    }
    plat::ReleaseWindowSurface(presenter.hwnd, presenter.windowDC);
}

}  // namespace fake
