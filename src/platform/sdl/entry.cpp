// The Linux program: one borderless window over the primary display and its event loop.
#include <SDL.h>
#include <poll.h>
#include <unistd.h>

#include <cstdint>

#include "app/app.h"
#include "platform/platform.h"
#include "platform/sdl/sdl_backend.h"

namespace {

// The Windows virtual-key code of an SDL key, which is what the program's key handling expects.
// Letters give their upper-case code whatever the Shift and Caps Lock state; keys the program
// never looks at map to codes outside the letters, or to 0.
uint32_t VirtualKeyOf(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) {
        return static_cast<uint32_t>(0x41 + (key - SDLK_a));
    }
    if (key >= SDLK_0 && key <= SDLK_9) {
        return static_cast<uint32_t>(0x30 + (key - SDLK_0));
    }
    if (key >= SDLK_F1 && key <= SDLK_F12) {
        return static_cast<uint32_t>(0x70 + (key - SDLK_F1));
    }
    switch (key) {
        case SDLK_ESCAPE: return kKeyEscape;
        case SDLK_BACKSPACE: return 0x08;
        case SDLK_TAB: return 0x09;
        case SDLK_RETURN:
        case SDLK_KP_ENTER: return 0x0D;
        case SDLK_SPACE: return 0x20;
        case SDLK_LEFT: return 0x25;
        case SDLK_UP: return 0x26;
        case SDLK_RIGHT: return 0x27;
        case SDLK_DOWN: return 0x28;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT: return 0x10;
        case SDLK_LCTRL:
        case SDLK_RCTRL: return 0x11;
        default: return 0;
    }
}

// Keys pressed with Alt (and without Ctrl, which AltGr adds) and F10 are system keys on Windows:
// they never reach the program's key handling there, so they don't here either.
bool IsSystemKey(const SDL_Keysym& key) {
    const bool alt = (key.mod & KMOD_ALT) != 0;
    const bool ctrl = (key.mod & KMOD_CTRL) != 0;
    return (alt && !ctrl) || key.sym == SDLK_F10 || key.sym == SDLK_LALT || key.sym == SDLK_RALT;
}

bool IsCloseCommand(const SDL_Keysym& key) {
    return key.sym == SDLK_F4 && (key.mod & KMOD_ALT) != 0 && (key.mod & KMOD_CTRL) == 0;
}

// With no display to use, SDL falls back to drivers that show nothing; a run nobody can see is
// refused like a window that cannot be created, unless such a driver was asked for by name.
bool HasVisibleDisplay() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr) {
        return false;
    }
    if (SDL_strcmp(driver, "offscreen") != 0 && SDL_strcmp(driver, "dummy") != 0) {
        return true;
    }
    const char* requested = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    return requested != nullptr && SDL_strcasecmp(requested, driver) == 0;
}

plat::WindowHandle CreateMainWindow() {
    if (!HasVisibleDisplay()) {
        return nullptr;
    }
    SDL_Rect display{};
    if (SDL_GetDisplayBounds(0, &display) != 0 || display.w <= 0 || display.h <= 0) {
        return nullptr;
    }
    SDL_Window* window = SDL_CreateWindow("Sample Program", 0, 0, display.w, display.h,
                                          SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN);
    if (window == nullptr) {
        return nullptr;
    }
    plat::WindowHandle handle = plat::sdl::AdoptWindow(window);
    if (handle == nullptr) {
        SDL_DestroyWindow(window);
    }
    return handle;
}

}  // namespace

int main(int, char**) {
    // The renderer-backed window surface costs tens of milliseconds per full-screen update under X;
    // the plain framebuffer path (shared memory) a few.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    plat::WindowHandle window = nullptr;
    if (SDL_Init(SDL_INIT_VIDEO) == 0) {
        window = CreateMainWindow();
    }
    if (window == nullptr) {
        plat::ShowMessageBox(nullptr, text::kWindowCreationFailed, text::kCaptionError, plat::BoxIcon::None);
        SDL_Quit();
        return 1;
    }
    SDL_ShowCursor(SDL_DISABLE);

    // Start-up, with any message boxes it shows, runs before the window appears.
    AppWindowCreated(window);
    // The window thread takes the paint and key stamps: it runs raised like the worker.
    plat::SetCurrentThreadTimeCritical(true);

    SDL_Window* native = plat::sdl::NativeWindow(window);
    SDL_ShowWindow(native);
    SDL_RaiseWindow(native);
    // Without a window manager nothing else hands the keyboard to the window.
    SDL_SetWindowInputFocus(native);
    // After the window calls above, some of which swap the X error handler for a moment.
    plat::sdl::GuardAgainstLateWakeUps();

    const uint32_t repaintEvent = plat::sdl::RepaintEventType();
    const uint32_t closeEvent = plat::sdl::CloseEventType();
    const int displayFd = plat::sdl::DisplayDescriptor(native);
    const int wakeFd = plat::sdl::WakeDescriptor();
    bool running = true;
    while (running) {
        SDL_Event event{};
        if (displayFd >= 0 && wakeFd >= 0) {
            if (SDL_PollEvent(&event) == 0) {
                // Nothing queued (the poll above drained the X connection): sleep until the X
                // server or the worker has something. The time-out is only a safety net.
                pollfd sources[2] = {{displayFd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
                poll(sources, 2, 100);
                uint64_t wakes = 0;
                if (read(wakeFd, &wakes, sizeof wakes) < 0) {
                    // Nothing to drain: the X connection woke us.
                }
                continue;
            }
        } else if (SDL_WaitEvent(&event) == 0) {
            break;
        }
        bool close = false;
        if (event.type == SDL_QUIT) {
            close = true;
        } else if (repaintEvent != 0 && event.type == repaintEvent) {
            AppPaint();
        } else if (closeEvent != 0 && event.type == closeEvent) {
            close = true;
        } else if (event.type == SDL_WINDOWEVENT) {
            if (event.window.event == SDL_WINDOWEVENT_EXPOSED) {
                AppPaint();
            } else if (event.window.event == SDL_WINDOWEVENT_CLOSE) {
                close = true;
            }
        } else if (event.type == SDL_KEYDOWN) {
            if (IsCloseCommand(event.key.keysym)) {
                close = true;
            } else if (!IsSystemKey(event.key.keysym)) {
                AppKeyDown(window, VirtualKeyOf(event.key.keysym.sym));
            }
        }
        if (close) {
            plat::sdl::DestroyNativeWindow(window);
            AppWindowDestroyed();
            running = false;
        }
    }
    AppShutdown();
    // Requests from the worker may name the window until AppShutdown has waited for it.
    plat::sdl::ReleaseWindow(window);
    // No SDL_Quit: it puts Xlib's default error handler back and then closes the connection on
    // which a late wake-up's harmless error may still wait to be read, which would end the
    // process with exit code 1. The system reclaims the connection with the process.
    return 0;
}
