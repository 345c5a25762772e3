// Turns an image group's file-name pattern and an image number into a file name, safely.
#pragma once

#include <cstdint>
#include <string>

// The pattern may hold literal text, "%%" and at most one integer conversion
// (flags, width, precision, length letters, then d i u o x X). False for any other pattern
// or a name longer than kMaxImageNameBytes.
bool FormatImageName(const std::string& pattern, int32_t number, std::string* name);

inline constexpr size_t kMaxImageNameBytes = 255;
