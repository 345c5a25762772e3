// Release of the run records: every owned handle that is set, once.
#include "model/records.h"

Presenter* g_presenter = nullptr;

void ReleaseStimulusImage(StimulusImage& image) {
    if (image.bitmap != nullptr) {
        plat::DeleteBitmap(image.bitmap);
        image.bitmap = nullptr;
    }
}

void ReleaseImageGroup(ImageGroup& group) {
    if (group.images != nullptr) {
        for (int32_t i = 0; i < group.imageCount; ++i) ReleaseStimulusImage(group.images[i]);
        delete[] group.images;
        group.images = nullptr;
    }
    group.condition.clear();
    group.name.clear();
    group.pattern.clear();
}

void ReleaseSetup(Setup& setup) {
    if (setup.imageDC != nullptr) {
        plat::DeleteSurface(setup.imageDC);
        setup.imageDC = nullptr;
    }
    for (plat::BitmapHandle* bitmap : {&setup.titleBitmap, &setup.blankBitmap, &setup.fixBitmap}) {
        if (*bitmap != nullptr) {
            plat::DeleteBitmap(*bitmap);
            *bitmap = nullptr;
        }
    }
    setup.fixMs.clear();
    setup.fixMs.shrink_to_fit();
    for (ImageGroup& group : setup.groups) ReleaseImageGroup(group);
    setup.groups.clear();
    setup.groups.shrink_to_fit();
    setup.titleImagePath.clear();
    setup.blankImagePath.clear();
    setup.fixImagePath.clear();
    setup.label.clear();
}
