// Windows window, drawing, message-box and image-decoding operations over USER32, GDI32 and GDI+.
#include <windows.h>

#include <gdiplus.h>

#include <string>

#include "platform/platform.h"

namespace plat {

namespace {

HWND AsWin(WindowHandle window) { return reinterpret_cast<HWND>(window); }
HDC AsWin(SurfaceHandle surface) { return reinterpret_cast<HDC>(surface); }
HBITMAP AsWin(BitmapHandle bitmap) { return reinterpret_cast<HBITMAP>(bitmap); }
HBRUSH AsWin(BrushHandle brush) { return reinterpret_cast<HBRUSH>(brush); }

RECT ToRect(const Rect& rect) { return RECT{rect.left, rect.top, rect.right, rect.bottom}; }

// Our texts are UTF-8; the wide API shows them whatever the system's ANSI code page is.
std::wstring Utf8ToWide(const char* text) {
    if (text == nullptr) return std::wstring();
    int units = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (units <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), units);
    wide.resize(static_cast<size_t>(units) - 1);
    return wide;
}

}  // namespace

// ---- Window ----------------------------------------------------------------------------

bool WindowClientRect(WindowHandle window, Rect* out) {
    RECT client;
    if (!GetClientRect(AsWin(window), &client)) return false;
    *out = Rect{client.left, client.top, client.right, client.bottom};
    return true;
}

SurfaceHandle AcquireWindowSurface(WindowHandle window) {
    return reinterpret_cast<SurfaceHandle>(GetDC(AsWin(window)));
}

void ReleaseWindowSurface(WindowHandle window, SurfaceHandle surface) {
    if (surface == nullptr) return;
    ReleaseDC(AsWin(window), AsWin(surface));
}

void RequestRepaint(WindowHandle window, const Rect& changed) {
    RECT rect = ToRect(changed);
    InvalidateRect(AsWin(window), &rect, FALSE);
}

void RequestClose(WindowHandle window) { PostMessageA(AsWin(window), WM_CLOSE, 0, 0); }

void MarkPainted(WindowHandle window) { ValidateRect(AsWin(window), nullptr); }

// ---- Surfaces, bitmaps, brushes ------------------------------------------------------

SurfaceHandle CreateCompatibleSurface(SurfaceHandle reference) {
    return reinterpret_cast<SurfaceHandle>(CreateCompatibleDC(AsWin(reference)));
}

void DeleteSurface(SurfaceHandle surface) {
    if (surface != nullptr) DeleteDC(AsWin(surface));
}

// A memory surface that still holds GDI's initial 1 x 1 monochrome bitmap would make a
// monochrome bitmap; our memory surfaces are made for the screen, so that format is meant.
namespace {
bool HoldsInitialMonochromeBitmap(HDC surface) {
    if (GetObjectType(surface) != OBJ_MEMDC) return false;
    BITMAP selected;
    HGDIOBJ current = GetCurrentObject(surface, OBJ_BITMAP);
    if (current == nullptr || GetObjectA(current, sizeof selected, &selected) == 0) return true;
    return selected.bmBitsPixel == 1 && selected.bmPlanes == 1;
}
}  // namespace

BitmapHandle CreateCompatibleBitmap(SurfaceHandle reference, int32_t width, int32_t height) {
    if (reference != nullptr && !HoldsInitialMonochromeBitmap(AsWin(reference)))
        return reinterpret_cast<BitmapHandle>(::CreateCompatibleBitmap(AsWin(reference), width, height));
    // Without a usable reference the screen's format is meant, as for CreateCompatibleSurface.
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    return reinterpret_cast<BitmapHandle>(bitmap);
}

void DeleteBitmap(BitmapHandle bitmap) {
    if (bitmap != nullptr) DeleteObject(AsWin(bitmap));
}

bool BitmapSize(BitmapHandle bitmap, int32_t* width, int32_t* height) {
    if (bitmap == nullptr) return false;
    BITMAP info;
    if (GetObjectA(AsWin(bitmap), sizeof info, &info) != static_cast<int>(sizeof info)) return false;
    *width = info.bmWidth;
    *height = info.bmHeight;
    return true;
}

void SelectBitmap(SurfaceHandle surface, BitmapHandle bitmap) {
    SelectObject(AsWin(surface), AsWin(bitmap));
}

bool CopyRect(SurfaceHandle dst, int32_t x, int32_t y, int32_t w, int32_t h, SurfaceHandle src,
              int32_t sx, int32_t sy) {
    bool copied = BitBlt(AsWin(dst), x, y, w, h, AsWin(src), sx, sy, SRCCOPY) != 0;
    // GDI may hold the call in this thread's batch; callers time-stamp the copy right after it
    // returns, and the other thread may copy from `dst` next.
    GdiFlush();
    return copied;
}

BrushHandle CreateSolidBrush(uint8_t red, uint8_t green, uint8_t blue) {
    return reinterpret_cast<BrushHandle>(::CreateSolidBrush(RGB(red, green, blue)));
}

void DeleteBrush(BrushHandle brush) {
    if (brush != nullptr) DeleteObject(AsWin(brush));
}

bool FillRect(SurfaceHandle surface, const Rect& rect, BrushHandle brush) {
    RECT area = ToRect(rect);
    bool filled = ::FillRect(AsWin(surface), &area, AsWin(brush)) != 0;
    GdiFlush();  // the other thread may copy from this surface next
    return filled;
}

bool ReadPixelForTest(SurfaceHandle surface, int32_t x, int32_t y, uint32_t* rgb) {
    if (surface == nullptr || rgb == nullptr) return false;
    COLORREF colour = GetPixel(AsWin(surface), x, y);
    if (colour == CLR_INVALID) return false;  // outside the bitmap or the clipping region
    *rgb = static_cast<uint32_t>(GetRValue(colour)) << 16 |
           static_cast<uint32_t>(GetGValue(colour)) << 8 | GetBValue(colour);
    return true;
}

// ---- Message box ---------------------------------------------------------------------

void ShowMessageBox(WindowHandle owner, const char* text, const char* caption, BoxIcon icon) {
    std::wstring wideText = Utf8ToWide(text);
    std::wstring wideCaption = Utf8ToWide(caption);
    UINT style = MB_OK | (icon == BoxIcon::Warning ? MB_ICONWARNING : 0u);
    MessageBoxW(AsWin(owner), wideText.c_str(), wideCaption.c_str(), style);
}

// ---- Images --------------------------------------------------------------------------

uintptr_t StartImageDecoder() {
    Gdiplus::GdiplusStartupInput input;  // version 1, no debug callback, nothing suppressed
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return 0;
    return token;
}

void StopImageDecoder(uintptr_t token) {
    if (token != 0) Gdiplus::GdiplusShutdown(token);
}

uint32_t ButtonFaceColor() { return GetSysColor(COLOR_BTNFACE); }

BitmapHandle DecodeImageFile(const char* path, uint32_t backgroundArgb) {
    if (path == nullptr) return nullptr;
    WCHAR widePath[MAX_PATH];
    // A path that does not fit is refused rather than decoded from a truncated name.
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, widePath, MAX_PATH) == 0) return nullptr;
    Gdiplus::GpBitmap* image = nullptr;
    Gdiplus::DllExports::GdipCreateBitmapFromFile(widePath, &image);
    HBITMAP bitmap = nullptr;
    if (image != nullptr)
        Gdiplus::DllExports::GdipCreateHBITMAPFromBitmap(image, &bitmap, backgroundArgb);
    Gdiplus::DllExports::GdipDisposeImage(image);
    return reinterpret_cast<BitmapHandle>(bitmap);
}

}  // namespace plat
