// The 15-bit linear congruential generator, one state per thread.
#include "stimuli/random15.h"

namespace {
thread_local uint32_t t_random15State = 1;
}

void SeedRandom15(uint32_t seed) { t_random15State = seed; }

int32_t Random15() {
    t_random15State = t_random15State * 214013u + 2531011u;
    return static_cast<int32_t>((t_random15State >> 16) & 0x7FFFu);
}
