// The worker thread's run: title, every trial, end screen, result file, close request.
#pragma once

#include "model/records.h"

void RunTrials(Presenter& presenter);
