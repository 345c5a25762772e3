// Builds the Presenter inside the window's creation and releases it after the message loop.
#include "app/presenter.h"

#include <new>

#include "app/app.h"
#include "run/clock.h"
#include "run/trial_sequence.h"
#include "setup/setup_keys.h"
#include "stimuli/stimuli.h"

Presenter* CreatePresenter(plat::WindowHandle window, void* storage) {
    auto* presenter = new (storage) Presenter();
    presenter->hwnd = window;
    plat::WindowClientRect(window, &presenter->clientRect);
    presenter->trials = nullptr;
    presenter->frontIndex = 0;
    // Without an imageSize line the images fill the client area, so a refused setup still
    // has a rectangle to draw in.
    presenter->imageWidth = presenter->clientRect.right;
    presenter->imageHeight = presenter->clientRect.bottom;
    presenter->stimulusRect = presenter->clientRect;
    presenter->windowDC = plat::AcquireWindowSurface(window);
    for (int i = 0; i < 2; ++i) {
        presenter->backBitmap[i] = plat::CreateCompatibleBitmap(presenter->windowDC, presenter->clientRect.right,
                                                                presenter->clientRect.bottom);
    }
    for (int i = 0; i < 2; ++i) {
        presenter->backDC[i] = plat::CreateCompatibleSurface(nullptr);
        plat::SelectBitmap(presenter->backDC[i], presenter->backBitmap[i]);
    }

    const uintptr_t decoder = plat::StartImageDecoder();
    if (!ApplySetup(*presenter)) {
        plat::ShowMessageBox(nullptr, text::kSetupError, text::kCaptionErrorAscii, plat::BoxIcon::None);
    }
    const bool prepared = PrepareStimuli(*presenter);
    if (!prepared) {
        plat::ShowMessageBox(nullptr, text::kDataPreparationError, text::kCaptionErrorAscii, plat::BoxIcon::None);
    }
    plat::StopImageDecoder(decoder);
    InitClock();

    if (!prepared) {
        // Nothing complete to run: the program closes once the messages are dismissed.
        plat::RequestClose(window);
        return presenter;
    }
    auto* start = new ThreadStart{presenter, &RunTrials};
    presenter->workerThread = plat::StartThread(&ThreadStartEntry, start);
    if (presenter->workerThread == nullptr) delete start;
    return presenter;
}

void ThreadStartEntry(void* record) {
    auto* start = static_cast<ThreadStart*>(record);
    Presenter* target = start->target;
    void (*method)(Presenter&) = start->method;
    delete start;
    method(*target);
}

void DestroyPresenter(Presenter* presenter) {
    if (presenter->trials != nullptr) {
        delete[] presenter->trials;
        presenter->trials = nullptr;
    }
    for (int i = 0; i < 2; ++i) {
        if (presenter->backDC[i] != nullptr) plat::DeleteSurface(presenter->backDC[i]);
        if (presenter->backBitmap[i] != nullptr) plat::DeleteBitmap(presenter->backBitmap[i]);
        presenter->backDC[i] = nullptr;
        presenter->backBitmap[i] = nullptr;
    }
    if (presenter->windowDC != nullptr) plat::ReleaseWindowSurface(presenter->hwnd, presenter->windowDC);
    presenter->windowDC = nullptr;
    ReleaseSetup(presenter->setup);
    presenter->~Presenter();
    ::operator delete(static_cast<void*>(presenter));
}
