// Window, surfaces, bitmaps, brushes, repaint and close requests and message boxes on SDL2.
#include <SDL.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <new>

#include "platform/platform.h"
#include "platform/sdl/backend_internal.h"
#include "platform/sdl/sdl_backend.h"

namespace plat {

struct Window {
    SDL_Window* sdl;     // null once destroyed; only the main thread reads or writes it
    uint32_t id;         // stays valid for requests from other threads
};

struct Surface {
    Window* window;        // the window's own surface when not null
    SDL_Surface* own;      // a memory surface's stand-in pixels while nothing is selected (1x1)
    SDL_Surface* selected; // a memory surface's selected pixels, one reference held; may be null
};

struct Brush {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
};

namespace {

// Matches the pixels of an X11 TrueColor window at depth 24, the usual window surface.
constexpr uint32_t kDefaultPixelFormat = SDL_PIXELFORMAT_RGB888;

std::atomic<uint32_t> g_bitmapFormat{kDefaultPixelFormat};

std::once_flag g_eventsOnce;
uint32_t g_repaintEvent = 0;
uint32_t g_closeEvent = 0;

void RegisterUserEvents() {
    std::call_once(g_eventsOnce, [] {
        const uint32_t first = SDL_RegisterEvents(2);
        if (first != static_cast<uint32_t>(-1)) {
            g_repaintEvent = first;
            g_closeEvent = first + 1;
        }
    });
}

// Wakes the window thread's loop, which sleeps in poll() rather than in SDL_WaitEvent: SDL would
// wake that through the X server, a round trip of up to 2 ms before every paint.
int WakeFd() {
    static const int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    return fd;
}

void PushUserEvent(uint32_t type, const Window* window) {
    if (window == nullptr || type == 0) {
        return;
    }
    SDL_Event event{};
    event.type = type;
    event.user.windowID = window->id;
    SDL_PushEvent(&event);
    const uint64_t one = 1;
    if (WakeFd() >= 0 && write(WakeFd(), &one, sizeof one) < 0) {
        // A full counter already wakes the loop.
    }
}

SDL_Surface* WindowPixels(const Window* window) {
    if (window == nullptr || window->sdl == nullptr) {
        return nullptr;
    }
    SDL_Surface* pixels = SDL_GetWindowSurface(window->sdl);
    if (pixels != nullptr) {
        SDL_SetSurfaceBlendMode(pixels, SDL_BLENDMODE_NONE);
    }
    return pixels;
}

// The pixels that a surface draws into and copies from.
SDL_Surface* PixelsOf(const Surface* surface) {
    if (surface == nullptr) {
        return nullptr;
    }
    if (surface->window != nullptr) {
        return WindowPixels(surface->window);
    }
    return surface->selected != nullptr ? surface->selected : surface->own;
}

uint32_t FormatOf(const Surface* reference) {
    if (reference != nullptr) {
        const SDL_Surface* pixels = PixelsOf(reference);
        if (pixels != nullptr) {
            return pixels->format->format;
        }
    }
    return sdl::BitmapPixelFormat();
}

// Puts what was drawn into the window surface on the screen before returning.
bool PresentWindowRect(const Surface* surface, const SDL_Rect& rect) {
    if (surface->window == nullptr || rect.w <= 0 || rect.h <= 0) {
        return true;
    }
    if (surface->window->sdl == nullptr) {
        return false;
    }
    return SDL_UpdateWindowSurfaceRects(surface->window->sdl, &rect, 1) == 0;
}

}  // namespace

// ---- Backend records shared with the decoder and the entry ----------------------------

uint32_t sdl::BitmapPixelFormat() {
    return g_bitmapFormat.load(std::memory_order_relaxed);
}

SDL_Surface* sdl::CreateBitmapPixels(uint32_t format, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) {
        return nullptr;
    }
    SDL_Surface* pixels = SDL_CreateRGBSurfaceWithFormat(0, width, height, 0, format);
    if (pixels != nullptr) {
        SDL_SetSurfaceBlendMode(pixels, SDL_BLENDMODE_NONE);
    }
    return pixels;
}

BitmapHandle sdl::WrapPixels(SDL_Surface* pixels) {
    if (pixels == nullptr) {
        return nullptr;
    }
    Bitmap* bitmap = new (std::nothrow) Bitmap{pixels};
    if (bitmap == nullptr) {
        SDL_FreeSurface(pixels);
    }
    return bitmap;
}

WindowHandle sdl::AdoptWindow(SDL_Window* window) {
    if (window == nullptr) {
        return nullptr;
    }
    RegisterUserEvents();
    Window* handle = new (std::nothrow) Window{window, SDL_GetWindowID(window)};
    if (handle == nullptr) {
        return nullptr;
    }
    // Bitmaps in the window's own format make every copy to it a plain row copy.
    if (const SDL_Surface* pixels = WindowPixels(handle)) {
        g_bitmapFormat.store(pixels->format->format, std::memory_order_relaxed);
    }
    return handle;
}

SDL_Window* sdl::NativeWindow(WindowHandle window) {
    return window != nullptr ? window->sdl : nullptr;
}

void sdl::DestroyNativeWindow(WindowHandle window) {
    if (window == nullptr || window->sdl == nullptr) {
        return;
    }
    SDL_DestroyWindow(window->sdl);
    window->sdl = nullptr;
}

void sdl::ReleaseWindow(WindowHandle window) {
    DestroyNativeWindow(window);
    delete window;
}

int sdl::WakeDescriptor() { return WakeFd(); }

uint32_t sdl::RepaintEventType() {
    RegisterUserEvents();
    return g_repaintEvent;
}

uint32_t sdl::CloseEventType() {
    RegisterUserEvents();
    return g_closeEvent;
}

// ---- Window ---------------------------------------------------------------------------

bool WindowClientRect(WindowHandle window, Rect* out) {
    if (out == nullptr || window == nullptr || window->sdl == nullptr) {
        return false;
    }
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(window->sdl, &width, &height);
    *out = Rect{0, 0, width, height};
    return true;
}

SurfaceHandle AcquireWindowSurface(WindowHandle window) {
    if (window == nullptr || window->sdl == nullptr) {
        return nullptr;
    }
    return new (std::nothrow) Surface{window, nullptr, nullptr};
}

void ReleaseWindowSurface(WindowHandle, SurfaceHandle surface) {
    delete surface;
}

void RequestRepaint(WindowHandle window, const Rect&) {
    RegisterUserEvents();
    PushUserEvent(g_repaintEvent, window);
}

void RequestClose(WindowHandle window) {
    RegisterUserEvents();
    PushUserEvent(g_closeEvent, window);
}

void MarkPainted(WindowHandle) {
    // Each repaint event is consumed by the one paint it causes; nothing stays to be validated.
}

// ---- Surfaces, bitmaps, brushes -------------------------------------------------------

SurfaceHandle CreateCompatibleSurface(SurfaceHandle reference) {
    SDL_Surface* own = sdl::CreateBitmapPixels(FormatOf(reference), 1, 1);
    if (own == nullptr) {
        return nullptr;
    }
    Surface* surface = new (std::nothrow) Surface{nullptr, own, nullptr};
    if (surface == nullptr) {
        SDL_FreeSurface(own);
    }
    return surface;
}

void DeleteSurface(SurfaceHandle surface) {
    if (surface == nullptr) {
        return;
    }
    SDL_FreeSurface(surface->selected);
    SDL_FreeSurface(surface->own);
    delete surface;
}

BitmapHandle CreateCompatibleBitmap(SurfaceHandle reference, int32_t width, int32_t height) {
    return sdl::WrapPixels(sdl::CreateBitmapPixels(FormatOf(reference), width, height));
}

void DeleteBitmap(BitmapHandle bitmap) {
    if (bitmap == nullptr) {
        return;
    }
    SDL_FreeSurface(bitmap->pixels);
    delete bitmap;
}

bool BitmapSize(BitmapHandle bitmap, int32_t* width, int32_t* height) {
    if (bitmap == nullptr || bitmap->pixels == nullptr) {
        return false;
    }
    if (width != nullptr) {
        *width = bitmap->pixels->w;
    }
    if (height != nullptr) {
        *height = bitmap->pixels->h;
    }
    return true;
}

void SelectBitmap(SurfaceHandle surface, BitmapHandle bitmap) {
    if (surface == nullptr || surface->window != nullptr) {
        return;
    }
    SDL_Surface* next = bitmap != nullptr ? bitmap->pixels : nullptr;
    if (next == surface->selected) {
        return;
    }
    if (next != nullptr) {
        ++next->refcount;
    }
    SDL_FreeSurface(surface->selected);
    surface->selected = next;
}

bool CopyRect(SurfaceHandle dst, int32_t x, int32_t y, int32_t w, int32_t h, SurfaceHandle src,
              int32_t sx, int32_t sy) {
    SDL_Surface* to = PixelsOf(dst);
    SDL_Surface* from = PixelsOf(src);
    if (to == nullptr || from == nullptr) {
        return false;
    }
    if (w <= 0 || h <= 0) {
        return true;
    }
    SDL_Rect source{sx, sy, w, h};
    SDL_Rect target{x, y, w, h};
    SDL_Surface* copy = nullptr;
    if (from == to) {
        // An overlapping copy within one surface goes through a scratch copy of the source block.
        copy = SDL_CreateRGBSurfaceWithFormat(0, w, h, 0, from->format->format);
        if (copy == nullptr) {
            return false;
        }
        SDL_SetSurfaceBlendMode(copy, SDL_BLENDMODE_NONE);
        SDL_Rect into{0, 0, w, h};
        if (SDL_BlitSurface(from, &source, copy, &into) != 0) {
            SDL_FreeSurface(copy);
            return false;
        }
        // Parts of the block outside the surface were not copied and must stay out.
        source = into;
        target.x = x + into.x;
        target.y = y + into.y;
        from = copy;
    }
    SDL_SetSurfaceBlendMode(from, SDL_BLENDMODE_NONE);
    // Clips the block to both surfaces; target becomes the rectangle actually written.
    const bool copied = SDL_BlitSurface(from, &source, to, &target) == 0;
    SDL_FreeSurface(copy);
    return copied && PresentWindowRect(dst, target);
}

BrushHandle CreateSolidBrush(uint8_t red, uint8_t green, uint8_t blue) {
    return new (std::nothrow) Brush{red, green, blue};
}

void DeleteBrush(BrushHandle brush) {
    delete brush;
}

bool FillRect(SurfaceHandle surface, const Rect& rect, BrushHandle brush) {
    SDL_Surface* pixels = PixelsOf(surface);
    if (pixels == nullptr || brush == nullptr) {
        return false;
    }
    if (rect.right <= rect.left || rect.bottom <= rect.top) {
        return true;
    }
    const SDL_Rect wanted{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
    const SDL_Rect bounds{0, 0, pixels->w, pixels->h};
    SDL_Rect filled{};
    if (SDL_IntersectRect(&wanted, &bounds, &filled) == SDL_FALSE) {
        return true;
    }
    const uint32_t colour = SDL_MapRGB(pixels->format, brush->red, brush->green, brush->blue);
    if (SDL_FillRect(pixels, &filled, colour) != 0) {
        return false;
    }
    return PresentWindowRect(surface, filled);
}

bool ReadPixelForTest(SurfaceHandle surface, int32_t x, int32_t y, uint32_t* rgb) {
    SDL_Surface* pixels = PixelsOf(surface);
    if (pixels == nullptr || rgb == nullptr || x < 0 || y < 0 || x >= pixels->w || y >= pixels->h) {
        return false;
    }
    if (SDL_LockSurface(pixels) != 0) {
        return false;
    }
    const int bytes = pixels->format->BytesPerPixel;
    const uint8_t* at = static_cast<const uint8_t*>(pixels->pixels) + y * pixels->pitch + x * bytes;
    uint32_t value = 0;
    switch (bytes) {
        case 1: value = *at; break;
        case 2: value = *reinterpret_cast<const uint16_t*>(at); break;
        case 3:
            value = SDL_BYTEORDER == SDL_LIL_ENDIAN
                        ? static_cast<uint32_t>(at[0] | at[1] << 8 | at[2] << 16)
                        : static_cast<uint32_t>(at[2] | at[1] << 8 | at[0] << 16);
            break;
        default: value = *reinterpret_cast<const uint32_t*>(at); break;
    }
    SDL_UnlockSurface(pixels);
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    SDL_GetRGB(value, pixels->format, &red, &green, &blue);
    *rgb = static_cast<uint32_t>(red) << 16 | static_cast<uint32_t>(green) << 8 | blue;
    return true;
}

// ---- Message box ----------------------------------------------------------------------

void ShowMessageBox(WindowHandle owner, const char* text, const char* caption, BoxIcon icon) {
    const uint32_t flags = icon == BoxIcon::Warning ? SDL_MESSAGEBOX_WARNING : SDL_MESSAGEBOX_INFORMATION;
    SDL_ShowSimpleMessageBox(flags, caption != nullptr ? caption : "", text != nullptr ? text : "",
                             sdl::NativeWindow(owner));
}

}  // namespace plat
