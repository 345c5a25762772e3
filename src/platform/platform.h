// The operating-system services rtpresenter uses, in its own terms; one backend folder implements them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat {

// Opaque handles; a null handle is never valid, and releasing a null handle does nothing.
struct Window;
struct Surface;
struct Bitmap;
struct Brush;
struct Thread;
struct File;
using WindowHandle = Window*;
using SurfaceHandle = Surface*;   // a device context: the window's, or a memory one with a bitmap
using BitmapHandle = Bitmap*;
using BrushHandle = Brush*;
using ThreadHandle = Thread*;
using FileHandle = File*;

// Left, top, right, bottom in pixels; right and bottom are exclusive.
struct Rect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// ---- Window (main thread, except where said) -------------------------------------------

// The window's client rectangle: left and top 0, right and bottom its size.
bool WindowClientRect(WindowHandle window, Rect* out);
// A drawing surface of the window itself, kept until ReleaseWindowSurface.
SurfaceHandle AcquireWindowSurface(WindowHandle window);
void ReleaseWindowSurface(WindowHandle window, SurfaceHandle surface);
// Any thread: ask for one paint of the window; the main thread's paint handler follows.
void RequestRepaint(WindowHandle window, const Rect& changed);
// Any thread: ask the window to close; the main thread destroys it and ends its loop.
void RequestClose(WindowHandle window);
// From the paint handler: the window is up to date until the next repaint request.
void MarkPainted(WindowHandle window);

// ---- Surfaces, bitmaps, brushes ------------------------------------------------------

// A memory surface compatible with `reference` (null: the screen), with no bitmap of ours selected.
SurfaceHandle CreateCompatibleSurface(SurfaceHandle reference);
void DeleteSurface(SurfaceHandle surface);
// A bitmap of the given size in the pixel format of `reference`.
BitmapHandle CreateCompatibleBitmap(SurfaceHandle reference, int32_t width, int32_t height);
void DeleteBitmap(BitmapHandle bitmap);
bool BitmapSize(BitmapHandle bitmap, int32_t* width, int32_t* height);
// Makes `bitmap` the pixels that `surface` draws into and copies from.
void SelectBitmap(SurfaceHandle surface, BitmapHandle bitmap);
// Copies a w x h block from (sx, sy) of src to (x, y) of dst; complete when it returns.
// A copy to the window surface is on the screen when it returns.
bool CopyRect(SurfaceHandle dst, int32_t x, int32_t y, int32_t w, int32_t h, SurfaceHandle src,
              int32_t sx, int32_t sy);
BrushHandle CreateSolidBrush(uint8_t red, uint8_t green, uint8_t blue);
void DeleteBrush(BrushHandle brush);
bool FillRect(SurfaceHandle surface, const Rect& rect, BrushHandle brush);
// For tests only: the colour of one pixel as 0x00RRGGBB; false outside the surface.
bool ReadPixelForTest(SurfaceHandle surface, int32_t x, int32_t y, uint32_t* rgb);

// ---- Message box ---------------------------------------------------------------------

enum class BoxIcon { None, Warning };
// A modal box with an OK button; returns when it is dismissed. Texts are UTF-8.
void ShowMessageBox(WindowHandle owner, const char* text, const char* caption, BoxIcon icon);

// ---- Images --------------------------------------------------------------------------

// Brackets a series of DecodeImageFile calls on the calling thread.
uintptr_t StartImageDecoder();
void StopImageDecoder(uintptr_t token);
// The colour shown under transparent image pixels, as 0x00BBGGRR.
uint32_t ButtonFaceColor();
// Decodes an image file (path bytes as read from setup.txt) into a bitmap of its own pixel
// size, blending translucent pixels over `backgroundArgb` (0xAARRGGBB). Null on any failure.
BitmapHandle DecodeImageFile(const char* path, uint32_t backgroundArgb);

// ---- Services (any thread) -----------------------------------------------------------

// A monotonic counter and its counts per second (never 0).
int64_t CounterNow();
int64_t CounterFrequency();
// Gives up the rest of the time slice; returns at once when no other thread is ready.
void YieldThread();

using ThreadEntry = void (*)(void* argument);
// Null when the thread cannot be started.
ThreadHandle StartThread(ThreadEntry entry, void* argument);
// Waits until the thread has ended, then frees its handle.
void JoinThread(ThreadHandle thread);
// Raises (or restores) the scheduling priority of the calling thread for time-critical work.
void SetCurrentThreadTimeCritical(bool on);

struct LocalDateTime {
    int32_t year;    // e.g. 2024
    int32_t month;   // 1..12
    int32_t day;     // 1..31
    int32_t hour;    // 0..23
    int32_t minute;  // 0..59
    int32_t second;  // 0..60
};
// Seconds since 1970-01-01 UTC.
int64_t CalendarSeconds();
// Local date and time under the system's time-zone rules.
bool ToLocalTime(int64_t calendarSeconds, LocalDateTime* out);

// ---- Files ---------------------------------------------------------------------------

// Creates a new file for writing, never opening an existing one; others may read it meanwhile.
// Null on failure; *nameTaken tells whether it failed because the name already exists.
FileHandle CreateNewFile(const char* name, bool* nameTaken);
// Hands all bytes to the operating system; false if any could not be written.
bool WriteToFile(FileHandle file, const void* bytes, size_t count);
// Pushes everything written so far to the storage device.
bool FlushFileToDisk(FileHandle file);
// Closes and frees the handle; false when the close reported an error.
bool CloseFile(FileHandle file);

}  // namespace plat
