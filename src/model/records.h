// The records that hold one run: the Presenter and what it owns, with their construction and release.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

// One numbered image of a group, loaded into a bitmap.
struct StimulusImage {
    plat::BitmapHandle bitmap = nullptr;  // owned
    const std::string* condition;         // the owning group's condition text; not owned
};

// One imageGroup line of setup.txt and, once prepared, its loaded images. Copies share `images`,
// so groups are copied only while `images` is still null.
struct ImageGroup {
    std::string pattern;
    std::string name;
    int32_t first = -1;
    int32_t last = 0;
    int32_t side;  // 0 L, 1 R, -1 any other letter
    std::string condition;
    StimulusImage* images = nullptr;  // owned array of imageCount entries
    int32_t imageCount = 0;
};

// One entry of the trial table, in run order.
struct Trial {
    StimulusImage* stimulus;  // not owned
    int32_t answer;           // 0 left, 1 right, -1 no response within the limit
    uint32_t rtMs;
};

// The experiment description read from setup.txt, with the images it names.
struct Setup {
    plat::SurfaceHandle imageDC = nullptr;  // owned; the source of every image copy
    std::string titleImagePath;
    plat::BitmapHandle titleBitmap = nullptr;  // owned
    std::string blankImagePath;
    plat::BitmapHandle blankBitmap = nullptr;  // owned
    std::string fixImagePath;
    plat::BitmapHandle fixBitmap = nullptr;  // owned
    std::string label;
    std::vector<ImageGroup> groups;
    uint8_t shuffle = 1;  // only 1 shuffles
    int32_t repeat = 1;
    int32_t blankMs = 1000;
    std::vector<int32_t> fixMs;
    int32_t limitMs = 0;
};

// Everything of a run. Built by CreatePresenter, released by DestroyPresenter.
struct Presenter {
    plat::WindowHandle hwnd = nullptr;
    plat::ThreadHandle workerThread = nullptr;
    plat::Rect clientRect{0, 0, 0, 0};
    plat::BitmapHandle backBitmap[2] = {nullptr, nullptr};  // owned
    plat::SurfaceHandle windowDC = nullptr;                 // owned; given back to hwnd
    plat::SurfaceHandle backDC[2] = {nullptr, nullptr};     // owned
    int32_t frontIndex = 0;  // changed by the worker under g_paintGate only
    Setup setup;
    int32_t imageWidth = 0;
    int32_t imageHeight = 0;
    uint8_t bgColor[3] = {0, 0, 0};  // red, green, blue
    Trial* trials = nullptr;         // owned array of trialCount entries
    int32_t trialCount = 0;
    plat::Rect stimulusRect{0, 0, 0, 0};

    // Slots shared between the window thread and the worker (see run/handoff.h).
    std::atomic<int32_t> keyAnswer{0};
    std::atomic<uint32_t> keyTimeMs{0};
    std::atomic<int32_t> paintDone{0};
    std::atomic<uint32_t> paintTimeMs{0};
};

// The one Presenter of the process; null until the window's creation has built it.
extern Presenter* g_presenter;

// Releases each owned handle that is not null, exactly once (the field is cleared after).
void ReleaseStimulusImage(StimulusImage& image);
void ReleaseImageGroup(ImageGroup& group);
void ReleaseSetup(Setup& setup);
