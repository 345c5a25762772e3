// Records shared by the SDL backend's source files.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "platform/platform.h"

namespace plat {

// A bitmap is a reference on an SDL surface; a memory surface that selects it holds another,
// so deleting a selected bitmap never leaves the surface with freed pixels.
struct Bitmap {
    SDL_Surface* pixels;
};

namespace sdl {

// The pixel format of new bitmaps: the window surface's once a window exists.
uint32_t BitmapPixelFormat();
// A new opaque-copy surface (no blending, no colour key) of the bitmap format; null on failure.
SDL_Surface* CreateBitmapPixels(uint32_t format, int32_t width, int32_t height);
// Wraps pixels into a bitmap, taking over their reference; frees them when the wrapper fails.
BitmapHandle WrapPixels(SDL_Surface* pixels);

}  // namespace sdl
}  // namespace plat
