// Start-up of a run inside the window's creation, and its release after the message loop.
#pragma once

#include "model/records.h"

// Carries the work to the new worker thread; freed by the thread itself.
struct ThreadStart {
    Presenter* target;
    void (*method)(Presenter&);
};

// Constructs the Presenter in `storage` for `window`, prepares the run and starts the worker.
Presenter* CreatePresenter(plat::WindowHandle window, void* storage);
// Releases the Presenter and everything it owns (the worker must have ended).
void DestroyPresenter(Presenter* presenter);
// Worker thread entry: frees the ThreadStart, then runs its method.
void ThreadStartEntry(void* record);
