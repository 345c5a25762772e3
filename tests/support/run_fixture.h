// A Presenter with a window, its surface and two back buffers on the recording backend, as start-up leaves it.
#pragma once

#include "model/records.h"

namespace fake {

// Resets the backend to a width x height window, the clock, the stop request and the gate, gives
// `presenter` its window surface and back buffers, and makes it g_presenter.
void AttachRun(Presenter& presenter, int32_t width, int32_t height);
// Releases what AttachRun made and clears g_presenter and the stop request.
void DetachRun(Presenter& presenter);

}  // namespace fake
