// Loads the run's images into bitmaps and builds and shuffles the trial table.
#include "stimuli/stimuli.h"

#include <climits>
#include <new>

#include "app/app.h"
#include "stimuli/image_name.h"
#include "stimuli/random15.h"

namespace {

// The number of images a group names, or -1 when first/last describe no valid count.
int64_t GroupImageCount(const ImageGroup& group) {
    const int64_t count = static_cast<int64_t>(group.last) - group.first + 1;
    return count < 0 || count > INT32_MAX ? -1 : count;
}

// repeat x the images of all groups, or -1 when it is negative or does not fit 32 bits.
int64_t TrialCountOf(const Setup& setup) {
    if (setup.repeat < 0) return -1;
    int64_t total = 0;
    for (const ImageGroup& group : setup.groups) {
        const int64_t count = GroupImageCount(group);
        if (count < 0) return -1;
        total += count;
        if (total > INT32_MAX) return -1;
    }
    const int64_t trials = total * setup.repeat;
    return trials > INT32_MAX ? -1 : trials;
}

bool LoadFixedImage(Presenter& presenter, const std::string& path, plat::BitmapHandle& bitmap,
                    const char* failureText) {
    bitmap = LoadImageFile(path.c_str());
    if (bitmap != nullptr) return true;
    plat::ShowMessageBox(presenter.hwnd, failureText, text::kCaptionError, plat::BoxIcon::Warning);
    return false;
}

}  // namespace

plat::BitmapHandle LoadImageFile(const char* path) {
    // Transparent pixels show the button-face colour; its COLORREF has red in the low byte.
    const uint32_t face = plat::ButtonFaceColor();
    const uint32_t red = face & 0xFFu;
    const uint32_t green = (face >> 8) & 0xFFu;
    const uint32_t blue = (face >> 16) & 0xFFu;
    const uint32_t argb = 0xFF000000u | (red << 16) | (green << 8) | blue;
    return plat::DecodeImageFile(path, argb);
}

bool LoadGroupImages(ImageGroup& group, const std::string* condition) {
    const int64_t count = GroupImageCount(group);
    if (count < 0) return false;  // refused by PrepareStimuli before anything is loaded
    group.imageCount = static_cast<int32_t>(count);
    group.images = new (std::nothrow) StimulusImage[static_cast<size_t>(count)];
    if (group.images == nullptr) {
        group.imageCount = 0;
        return false;
    }
    for (int32_t k = 0; k < group.imageCount; ++k) group.images[k].bitmap = nullptr;
    for (int32_t k = 0; k < group.imageCount; ++k) {
        StimulusImage& image = group.images[k];
        std::string name;
        // A pattern we cannot format safely fails like a file that does not load.
        if (FormatImageName(group.pattern, group.first + k, &name)) image.bitmap = LoadImageFile(name.c_str());
        if (image.bitmap == nullptr) {
            plat::ShowMessageBox(nullptr, text::kTrialLoadFailed, text::kCaptionError, plat::BoxIcon::Warning);
            return false;
        }
        image.condition = condition;
    }
    return true;
}

bool BuildTrialTable(Presenter& presenter) {
    const int64_t count = TrialCountOf(presenter.setup);
    if (count < 0) return false;
    Trial* trials = new (std::nothrow) Trial[static_cast<size_t>(count)];
    if (trials == nullptr) return false;
    int32_t i = 0;
    for (int32_t r = 0; r < presenter.setup.repeat; ++r) {
        for (ImageGroup& group : presenter.setup.groups) {
            for (int32_t k = 0; k < group.imageCount; ++k) trials[i++].stimulus = &group.images[k];
        }
    }
    presenter.trials = trials;
    presenter.trialCount = static_cast<int32_t>(count);
    return true;
}

void ShuffleTrialTable(Presenter& presenter) {
    const int32_t count = presenter.trialCount;
    for (int32_t j = 0; j < count; ++j) {
        const int32_t r = Random15();
        const auto k = static_cast<int32_t>(r / 32768.0 * count);
        StimulusImage* held = presenter.trials[j].stimulus;
        presenter.trials[j].stimulus = presenter.trials[k].stimulus;
        presenter.trials[k].stimulus = held;
    }
}

bool PrepareStimuli(Presenter& presenter) {
    Setup& setup = presenter.setup;
    if (!LoadFixedImage(presenter, setup.titleImagePath, setup.titleBitmap, text::kTitleLoadFailed)) return false;
    if (!LoadFixedImage(presenter, setup.blankImagePath, setup.blankBitmap, text::kBlankLoadFailed)) return false;
    if (!LoadFixedImage(presenter, setup.fixImagePath, setup.fixBitmap, text::kFixLoadFailed)) return false;
    // Counts that cannot make a table are refused before any group image is read.
    if (TrialCountOf(setup) < 0) return false;
    for (ImageGroup& group : setup.groups) {
        if (!LoadGroupImages(group, &group.condition)) return false;
    }
    setup.imageDC = plat::CreateCompatibleSurface(presenter.windowDC);
    plat::SelectBitmap(setup.imageDC, setup.titleBitmap);
    if (!BuildTrialTable(presenter)) return false;
    SeedRandom15(static_cast<uint32_t>(static_cast<uint64_t>(plat::CalendarSeconds())));
    if (setup.shuffle == 1) ShuffleTrialTable(presenter);
    return true;
}
