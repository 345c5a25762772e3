// Recording stand-in for the window and drawing backend (the per-OS services stay real).
#include "support/fake_backend.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>

namespace plat {
struct Window {
    int32_t width;
    int32_t height;
};
struct Bitmap {
    int32_t width;
    int32_t height;
    std::vector<uint32_t> pixels;
};
struct Surface {
    Bitmap* selected;
    Bitmap own;  // what a surface draws into before a bitmap is selected (the window's pixels)
    bool isWindow;
};
struct Brush {
    uint32_t rgb;
};
}  // namespace plat

namespace {

struct State {
    std::mutex mutex;
    std::condition_variable changed;
    plat::Window window{1920, 1080};
    plat::Surface* windowSurface = nullptr;
    std::set<void*> bitmaps, surfaces, brushes;
    int badReleases = 0;
    std::map<std::string, plat::Bitmap> images;
    std::vector<std::string> decoded;
    uint32_t buttonFace = 0x00F0F0F0;
    uint32_t lastBackground = 0;
    std::vector<fake::Box> boxes;
    std::deque<fake::Request> requests;
    int closeRequests = 0;
};

State& S() {
    static State state;
    return state;
}

template <typename T>
void Release(std::set<void*>& live, T* handle) {
    if (handle == nullptr) return;
    if (live.erase(handle) == 0) {
        ++S().badReleases;
        return;
    }
    delete handle;
}

plat::Bitmap& Pixels(plat::Surface* surface) { return surface->selected ? *surface->selected : surface->own; }

}  // namespace

namespace fake {

void Reset(int32_t width, int32_t height) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    s.window = plat::Window{width, height};
    s.bitmaps.clear();
    s.surfaces.clear();
    s.brushes.clear();
    s.badReleases = 0;
    s.images.clear();
    s.decoded.clear();
    s.buttonFace = 0x00F0F0F0;
    s.lastBackground = 0;
    s.boxes.clear();
    s.requests.clear();
    s.closeRequests = 0;
    s.windowSurface = nullptr;
}

plat::WindowHandle TheWindow() { return &S().window; }

void AddImage(const std::string& path, int32_t width, int32_t height, uint32_t rgb) {
    std::lock_guard lock(S().mutex);
    S().images[path] = plat::Bitmap{width, height, std::vector<uint32_t>(size_t(width) * size_t(height), rgb)};
}

void RemoveImage(const std::string& path) {
    std::lock_guard lock(S().mutex);
    S().images.erase(path);
}

void SetButtonFace(uint32_t colorref) { S().buttonFace = colorref; }
uint32_t LastDecodeBackground() { return S().lastBackground; }

std::vector<std::string> DecodedPaths() {
    std::lock_guard lock(S().mutex);
    return S().decoded;
}

std::vector<Box> Boxes() {
    std::lock_guard lock(S().mutex);
    return S().boxes;
}

int LiveBitmaps() { return int(S().bitmaps.size()); }
int LiveSurfaces() { return int(S().surfaces.size()); }
int LiveBrushes() { return int(S().brushes.size()); }
int BadReleases() { return S().badReleases; }

uint32_t PixelAt(plat::SurfaceHandle surface, int32_t x, int32_t y) {
    std::lock_guard lock(S().mutex);
    plat::Bitmap& bitmap = Pixels(surface);
    return bitmap.pixels.at(size_t(y) * size_t(bitmap.width) + size_t(x));
}

plat::SurfaceHandle WindowSurface() { return S().windowSurface; }

bool NextRequest(Request* request, int timeoutMs) {
    State& s = S();
    std::unique_lock lock(s.mutex);
    if (!s.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !s.requests.empty(); }))
        return false;
    *request = s.requests.front();
    s.requests.pop_front();
    return true;
}

int CloseRequests() {
    std::lock_guard lock(S().mutex);
    return S().closeRequests;
}

}  // namespace fake

namespace plat {

bool WindowClientRect(WindowHandle window, Rect* out) {
    *out = Rect{0, 0, window->width, window->height};
    return true;
}

SurfaceHandle AcquireWindowSurface(WindowHandle window) {
    std::lock_guard lock(S().mutex);
    auto* surface = new Surface{nullptr, Bitmap{window->width, window->height,
                                                std::vector<uint32_t>(size_t(window->width) * size_t(window->height))},
                                true};
    S().surfaces.insert(surface);
    S().windowSurface = surface;
    return surface;
}

void ReleaseWindowSurface(WindowHandle, SurfaceHandle surface) {
    std::lock_guard lock(S().mutex);
    Release(S().surfaces, surface);
    S().windowSurface = nullptr;
}

void RequestRepaint(WindowHandle, const Rect& changed) {
    std::lock_guard lock(S().mutex);
    S().requests.push_back(fake::Request{fake::Request::Repaint, changed});
    S().changed.notify_all();
}

void RequestClose(WindowHandle) {
    std::lock_guard lock(S().mutex);
    ++S().closeRequests;
    S().requests.push_back(fake::Request{fake::Request::Close, Rect{0, 0, 0, 0}});
    S().changed.notify_all();
}

void MarkPainted(WindowHandle) {}

SurfaceHandle CreateCompatibleSurface(SurfaceHandle) {
    std::lock_guard lock(S().mutex);
    auto* surface = new Surface{nullptr, Bitmap{1, 1, std::vector<uint32_t>(1)}, false};
    S().surfaces.insert(surface);
    return surface;
}

void DeleteSurface(SurfaceHandle surface) {
    std::lock_guard lock(S().mutex);
    Release(S().surfaces, surface);
}

BitmapHandle CreateCompatibleBitmap(SurfaceHandle, int32_t width, int32_t height) {
    std::lock_guard lock(S().mutex);
    auto* bitmap = new Bitmap{width, height, std::vector<uint32_t>(size_t(width) * size_t(height))};
    S().bitmaps.insert(bitmap);
    return bitmap;
}

void DeleteBitmap(BitmapHandle bitmap) {
    std::lock_guard lock(S().mutex);
    Release(S().bitmaps, bitmap);
}

bool BitmapSize(BitmapHandle bitmap, int32_t* width, int32_t* height) {
    if (bitmap == nullptr) return false;
    *width = bitmap->width;
    *height = bitmap->height;
    return true;
}

void SelectBitmap(SurfaceHandle surface, BitmapHandle bitmap) {
    std::lock_guard lock(S().mutex);
    if (surface != nullptr && bitmap != nullptr) surface->selected = bitmap;
}

bool CopyRect(SurfaceHandle dst, int32_t x, int32_t y, int32_t w, int32_t h, SurfaceHandle src, int32_t sx,
              int32_t sy) {
    std::lock_guard lock(S().mutex);
    if (dst == nullptr || src == nullptr) return false;
    Bitmap& to = Pixels(dst);
    Bitmap& from = Pixels(src);
    for (int32_t row = 0; row < h; ++row) {
        for (int32_t col = 0; col < w; ++col) {
            const int32_t fx = sx + col, fy = sy + row, tx = x + col, ty = y + row;
            if (fx < 0 || fy < 0 || fx >= from.width || fy >= from.height) continue;
            if (tx < 0 || ty < 0 || tx >= to.width || ty >= to.height) continue;
            to.pixels[size_t(ty) * size_t(to.width) + size_t(tx)] =
                from.pixels[size_t(fy) * size_t(from.width) + size_t(fx)];
        }
    }
    return true;
}

BrushHandle CreateSolidBrush(uint8_t red, uint8_t green, uint8_t blue) {
    std::lock_guard lock(S().mutex);
    auto* brush = new Brush{(uint32_t(red) << 16) | (uint32_t(green) << 8) | blue};
    S().brushes.insert(brush);
    return brush;
}

void DeleteBrush(BrushHandle brush) {
    std::lock_guard lock(S().mutex);
    Release(S().brushes, brush);
}

bool FillRect(SurfaceHandle surface, const Rect& rect, BrushHandle brush) {
    std::lock_guard lock(S().mutex);
    if (surface == nullptr || brush == nullptr) return false;
    Bitmap& to = Pixels(surface);
    for (int32_t y = std::max(rect.top, 0); y < std::min(rect.bottom, to.height); ++y)
        for (int32_t x = std::max(rect.left, 0); x < std::min(rect.right, to.width); ++x)
            to.pixels[size_t(y) * size_t(to.width) + size_t(x)] = brush->rgb;
    return true;
}

void ShowMessageBox(WindowHandle owner, const char* text, const char* caption, BoxIcon icon) {
    std::lock_guard lock(S().mutex);
    S().boxes.push_back(fake::Box{owner, text, caption, icon});
}

uintptr_t StartImageDecoder() { return 1; }
void StopImageDecoder(uintptr_t) {}
uint32_t ButtonFaceColor() { return S().buttonFace; }

BitmapHandle DecodeImageFile(const char* path, uint32_t backgroundArgb) {
    std::lock_guard lock(S().mutex);
    S().decoded.push_back(path);
    S().lastBackground = backgroundArgb;
    auto found = S().images.find(path);
    if (found == S().images.end()) return nullptr;
    auto* bitmap = new Bitmap(found->second);
    S().bitmaps.insert(bitmap);
    return bitmap;
}

}  // namespace plat
