#pragma once
// Clocks: a monotonic tick counter for stamping and measuring, wall-clock
// seconds, and the local time stamp that log lines start with.
//
// None of these can fail in practice; should the C library refuse a clock
// reading, the functions return 0 (ticks, seconds) or an empty string (time
// stamp) rather than garbage.

#include <cstdint>
#include <string>

// The monotonic raw clock (unaffected by clock adjustments) as nanoseconds
// since its origin, usually boot. 0 if the clock cannot be read.
uint64_t GetSystemTimeInTicks();

// Converts ticks of GetSystemTimeInTicks to seconds. No base is subtracted,
// so the result counts from the clock's origin as well.
double SystemTicksToSeconds(uint64_t ticks);

// Seconds since 1970 (UTC) from the C library's time; 0 if it fails.
int64_t GetGMUnixTime();

// The current local time, formatted with C-locale names whatever locale the
// process uses. With microseconds: "Wed Dec 09 2026 13:03:34.041763" (the
// log line form); without: "Wed Dec 09 13:03:34 2026". Empty on failure.
std::string GetVRLogTimeString(bool withMicroseconds);
