// The 15-bit pseudo-random generator, with one state per thread that starts at 1.
#pragma once

#include <cstdint>

void SeedRandom15(uint32_t seed);
// Next value, 0 to 32767, from the calling thread's state.
int32_t Random15();
