// Hands frames from the worker to the paint handler, and key responses from the window to the worker.
#pragma once

#include <atomic>
#include <cstdint>

#include "model/records.h"

// 1 free, 0 held: keeps the worker's flips and the paint handler's copies apart.
extern std::atomic<int32_t> g_paintGate;

// False (gate not taken) when a stop was requested.
bool TakePaintGate();
void ReleasePaintGate();

// Under the gate: the back buffer becomes the front one; armed, the next paint stamps it.
void FlipBuffers(Presenter& presenter, bool armPaint);

// Takes the gate, flips with the paint armed, releases it and asks for a repaint of `changed`.
// False when stopped.
bool Flip(Presenter& presenter, const plat::Rect& changed);

// Waits until the frame flipped last has been copied to the window; *onsetMs its stamp.
// False when stopped.
bool WaitForPaint(Presenter& presenter, uint32_t* onsetMs);

// The surface the worker draws into: the one not on screen.
inline plat::SurfaceHandle BackBuffer(const Presenter& presenter) {
    return presenter.backDC[presenter.frontIndex ^ 1];
}

// Main thread: one paint of g_presenter's window, one key-down with its virtual-key code.
void PaintFrame();
void OnKeyResponse(uint32_t virtualKey);

// The side of a virtual-key code: 0 for D and F, 1 for J and K, -1 for every other key.
int32_t ResponseSide(uint32_t virtualKey);
