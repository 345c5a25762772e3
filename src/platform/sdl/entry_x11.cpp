// Keeps a harmless X error at window destruction from ending the Linux program with exit code 1.
#include <SDL.h>

#include "platform/sdl/sdl_backend.h"

#if defined(SDL_VIDEO_DRIVER_X11)
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>

namespace {

XErrorHandler g_previousXErrorHandler = nullptr;

// SDL wakes its event wait by sending an event to the window on a second connection; one still
// in flight when the window is destroyed fails with BadWindow, which Xlib's default handler turns
// into exit code 1 at the very end of a run.
int IgnoreLateWakeUps(Display* display, XErrorEvent* error) {
    if (error->error_code == BadWindow && error->request_code == X_SendEvent) return 0;
    return g_previousXErrorHandler != nullptr ? g_previousXErrorHandler(display, error) : 0;
}

}  // namespace

void plat::sdl::GuardAgainstLateWakeUps() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver != nullptr && SDL_strcmp(driver, "x11") == 0) {
        g_previousXErrorHandler = XSetErrorHandler(&IgnoreLateWakeUps);
    }
}

int plat::sdl::DisplayDescriptor(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return -1;
    return ConnectionNumber(info.info.x11.display);
}
#else
void plat::sdl::GuardAgainstLateWakeUps() {}
int plat::sdl::DisplayDescriptor(SDL_Window*) { return -1; }
#endif
