// The millisecond clock, the busy waits built on it, and the stop request that ends them.
#pragma once

#include <atomic>
#include <cstdint>

#include "model/records.h"

// Marks a slot armed by the thread that will read it and not yet filled by the other.
inline constexpr int32_t kPending = INT32_MIN;

// Counts per second of the counter; written once at start-up, before the worker exists.
extern int64_t g_qpcFrequency;
void InitClock();

// Whole milliseconds of the counter, wrapping modulo 2^32.
uint32_t NowMs();

// Stop request: every wait below ends early, reporting false, once it is set.
void RequestStop();
bool StopRequested();
void ClearStopRequest();

// Spins with a yield until n ms after its first clock reading (n may be negative: no wait).
// False when stopped.
bool WaitUntilMs(int32_t n);

// Arms the key slot and waits for a response or for limitMs (0: none) after onsetMs.
// *answer is 0 left, 1 right, -1 limit; *timeMs the key's stamp or the reading that found the
// limit passed. False when stopped (then neither is set).
bool WaitForResponse(Presenter& presenter, uint32_t limitMs, uint32_t onsetMs, int32_t* answer,
                     uint32_t* timeMs);
