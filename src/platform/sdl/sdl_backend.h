// What the SDL program entry needs from the SDL backend beyond the portable operations.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "platform/platform.h"

namespace plat::sdl {

// Wraps a created SDL window; its surface format becomes the one of every later bitmap.
// Null when the wrapper cannot be made.
WindowHandle AdoptWindow(SDL_Window* window);
// The SDL window behind the handle, or null once it was destroyed.
SDL_Window* NativeWindow(WindowHandle window);
// Destroys the SDL window; the handle stays valid (requests on it are ignored) until ReleaseWindow.
void DestroyNativeWindow(WindowHandle window);
// Frees the handle, after no thread uses it any more.
void ReleaseWindow(WindowHandle window);

// The user event types that RequestRepaint and RequestClose push; 0 when none could be registered.
uint32_t RepaintEventType();
uint32_t CloseEventType();

// Readable whenever RequestRepaint or RequestClose pushed an event; -1 when unavailable.
int WakeDescriptor();
// The descriptor of the X connection events arrive on; -1 when the window is not on X11.
int DisplayDescriptor(SDL_Window* window);

// After SDL_Init: an X error that only a window already destroyed can cause is ignored.
void GuardAgainstLateWakeUps();

}  // namespace plat::sdl
