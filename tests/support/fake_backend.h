// A recording stand-in for the window and drawing backend, so the portable logic runs without a display.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace fake {

struct Box {
    plat::WindowHandle owner;
    std::string text;
    std::string caption;
    plat::BoxIcon icon;
};

// Forgets every handle, image, box and request; the window becomes width x height.
void Reset(int32_t width = 1920, int32_t height = 1080);
plat::WindowHandle TheWindow();

// Makes `path` decodable into a width x height bitmap of one colour (0x00RRGGBB).
void AddImage(const std::string& path, int32_t width, int32_t height, uint32_t rgb);
void RemoveImage(const std::string& path);
std::vector<std::string> DecodedPaths();
// The colour ButtonFaceColor reports (0x00BBGGRR) and the last background DecodeImageFile got.
void SetButtonFace(uint32_t colorref);
uint32_t LastDecodeBackground();

std::vector<Box> Boxes();

// Live handle counts; a double release or a release of an unknown handle is counted too.
int LiveBitmaps();
int LiveSurfaces();
int LiveBrushes();
int BadReleases();

// Pixel of a surface's selected bitmap (the window surface keeps what was copied to it).
uint32_t PixelAt(plat::SurfaceHandle surface, int32_t x, int32_t y);
plat::SurfaceHandle WindowSurface();

// Requests from the worker, in order: takes them, so a test can play the main thread.
struct Request {
    enum Kind { Repaint, Close } kind;
    plat::Rect rect;
};
// Blocks up to timeoutMs for the next request; false on time-out.
bool NextRequest(Request* request, int timeoutMs);
int CloseRequests();

}  // namespace fake
