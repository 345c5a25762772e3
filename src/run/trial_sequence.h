// The worker thread's run: title, every trial, end screen, result file, close request.
#pragma once

#include <cstdint>
#include <vector>

#include "model/records.h"

void RunTrials(Presenter& presenter);

// One fixation duration drawn with the calling thread's Random15; 0 when the list is empty.
int32_t ChooseFixationMs(const std::vector<int32_t>& fixMs);
