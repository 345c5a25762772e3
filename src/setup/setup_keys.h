// Interprets the keys of setup.txt into the Presenter's experiment description.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/records.h"
#include "setup/setup_reader.h"

// Reads setup.txt and applies it; true when at least one imageGroup line was accepted, and
// then stimulusRect is centred in clientRect.
bool ApplySetup(Presenter& presenter);

// The same over lines already read (bottom line applied first).
bool ApplySetupLines(Presenter& presenter, const std::vector<TokenLine>& lines);

// Optional sign and decimal digits up to the first non-digit, saturated to 32 bits; else 0.
int32_t ParseSetupNumber(const std::string& token);
