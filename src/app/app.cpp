// The program's side of the window: creation, paints, keys, and the orderly end of a run.
#include "app/app.h"

#include <new>

#include "app/presenter.h"
#include "run/clock.h"
#include "run/handoff.h"

void AppWindowCreated(plat::WindowHandle window) {
    void* storage = ::operator new(sizeof(Presenter));
    g_presenter = CreatePresenter(window, storage);
}

void AppPaint() {
    if (g_presenter != nullptr) PaintFrame();
}

void AppKeyDown(plat::WindowHandle window, uint32_t virtualKey) {
    if (g_presenter != nullptr) OnKeyResponse(virtualKey);
    if (virtualKey == kKeyEscape) plat::RequestClose(window);
}

void AppWindowDestroyed() { RequestStop(); }

void AppShutdown() {
    if (g_presenter == nullptr) return;
    // The worker may be in any wait; the stop request ends it before anything is released.
    RequestStop();
    if (g_presenter->workerThread != nullptr) {
        plat::JoinThread(g_presenter->workerThread);
        g_presenter->workerThread = nullptr;
    }
    DestroyPresenter(g_presenter);
}
