// Loads the images named in the setup into bitmaps and builds the trial table.
#pragma once

#include <string>

#include "model/records.h"

// One file to one bitmap over the system's button-face colour; null when missing or undecodable.
plat::BitmapHandle LoadImageFile(const char* path);

// The numbered images of one group; false after a load failure, which it reports itself.
bool LoadGroupImages(ImageGroup& group, const std::string* condition);

// Title, blank and fixation images, every group's images, imageDC and the trial table,
// shuffled when the setup asks. False after any failure, each reported when it returns.
bool PrepareStimuli(Presenter& presenter);

// Allocates the table for repeat x total entries in fill order; false (nothing allocated)
// when the counts are negative, overflow 32 bits or cannot be allocated.
bool BuildTrialTable(Presenter& presenter);

// Exchanges every position with one drawn from the calling thread's Random15.
void ShuffleTrialTable(Presenter& presenter);
