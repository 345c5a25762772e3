// Image decoding with SDL_image into opaque bitmaps blended over a background colour.
#include <SDL.h>
#include <SDL_image.h>

#include "platform/platform.h"
#include "platform/sdl/backend_internal.h"

namespace plat {

namespace {

// Rounded c * a / 255 + bg * (255 - a) / 255, exact for a = 0 and a = 255.
uint32_t BlendChannel(uint32_t colour, uint32_t background, uint32_t alpha) {
    return (colour * alpha + background * (255 - alpha) + 127) / 255;
}

}  // namespace

uintptr_t StartImageDecoder() {
    const int wanted = IMG_INIT_JPG | IMG_INIT_PNG | IMG_INIT_TIF | IMG_INIT_WEBP;
    // Formats whose library is missing simply fail to decode later; the token records the rest.
    return static_cast<uintptr_t>(IMG_Init(wanted)) + 1;
}

void StopImageDecoder(uintptr_t token) {
    if (token != 0) {
        IMG_Quit();
    }
}

uint32_t ButtonFaceColor() {
    // The default Windows button face, RGB(240, 240, 240).
    return 0x00F0F0F0;
}

BitmapHandle DecodeImageFile(const char* path, uint32_t backgroundArgb) {
    if (path == nullptr) {
        return nullptr;
    }
    SDL_Surface* decoded = IMG_Load(path);
    if (decoded == nullptr) {
        return nullptr;
    }
    // A colour key (GIF, paletted PNG) becomes alpha 0 in the conversion.
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(decoded);
    if (argb == nullptr) {
        return nullptr;
    }
    if (SDL_LockSurface(argb) != 0) {
        SDL_FreeSurface(argb);
        return nullptr;
    }
    const uint32_t backRed = (backgroundArgb >> 16) & 0xFF;
    const uint32_t backGreen = (backgroundArgb >> 8) & 0xFF;
    const uint32_t backBlue = backgroundArgb & 0xFF;
    for (int y = 0; y < argb->h; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(argb->pixels) + y * argb->pitch);
        for (int x = 0; x < argb->w; ++x) {
            const uint32_t pixel = row[x];
            const uint32_t alpha = pixel >> 24;
            if (alpha == 255) {
                continue;
            }
            const uint32_t red = BlendChannel((pixel >> 16) & 0xFF, backRed, alpha);
            const uint32_t green = BlendChannel((pixel >> 8) & 0xFF, backGreen, alpha);
            const uint32_t blue = BlendChannel(pixel & 0xFF, backBlue, alpha);
            row[x] = 0xFF000000u | red << 16 | green << 8 | blue;
        }
    }
    SDL_UnlockSurface(argb);

    const uint32_t format = sdl::BitmapPixelFormat();
    SDL_Surface* pixels = argb;
    if (format != SDL_PIXELFORMAT_ARGB8888) {
        pixels = SDL_ConvertSurfaceFormat(argb, format, 0);
        SDL_FreeSurface(argb);
        if (pixels == nullptr) {
            return nullptr;
        }
    }
    SDL_SetSurfaceBlendMode(pixels, SDL_BLENDMODE_NONE);
    return sdl::WrapPixels(pixels);
}

}  // namespace plat
