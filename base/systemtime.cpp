#include "base/systemtime.h"

#include <locale.h>
#include <sys/time.h>
#include <time.h>

#include <cstdio>

namespace {

// The time base, set up once on the first conversion.
struct SystemTimeBase {
  bool systemTimeInitialized = false;
  uint64_t systemTicksPerSecond = 0;
  double systemSecondsPerTick = 0.0;
  uint64_t systemBaseTicks = 0;
};

const SystemTimeBase& GetSystemTimeBase() {
  static const SystemTimeBase base = [] {
    SystemTimeBase b;
    b.systemTicksPerSecond = 1000000000ull;
    b.systemSecondsPerTick = 1e-9;
    b.systemBaseTicks = GetSystemTimeInTicks();
    b.systemTimeInitialized = true;
    return b;
  }();
  return base;
}

// Day and month names must not follow the user's locale: readers of the log
// parse them. Created once; null if the C library cannot make one, in which
// case the process locale is used.
locale_t CLocale() {
  static const locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return loc;
}

}  // namespace

uint64_t GetSystemTimeInTicks() {
  struct timespec ts;
  if (clock_gettime(CLOCK_MONOTONIC_RAW, &ts) != 0) return 0;
  return static_cast<uint64_t>(ts.tv_sec) * 1000000000ull +
         static_cast<uint64_t>(ts.tv_nsec);
}

double SystemTicksToSeconds(uint64_t ticks) {
  return static_cast<double>(ticks) * GetSystemTimeBase().systemSecondsPerTick;
}

int64_t GetGMUnixTime() {
  time_t now = time(nullptr);
  if (now == static_cast<time_t>(-1)) return 0;
  return static_cast<int64_t>(now);
}

std::string GetVRLogTimeString(bool withMicroseconds) {
  struct timeval tv;
  if (gettimeofday(&tv, nullptr) != 0) return std::string();
  time_t seconds = tv.tv_sec;
  struct tm local;
  if (!localtime_r(&seconds, &local)) return std::string();

  const char* pattern =
      withMicroseconds ? "%a %b %d %Y %H:%M:%S" : "%a %b %d %H:%M:%S %Y";
  char buffer[128];
  locale_t loc = CLocale();
  size_t n = loc ? strftime_l(buffer, sizeof(buffer), pattern, &local, loc)
                 : strftime(buffer, sizeof(buffer), pattern, &local);
  if (n == 0) return std::string();
  // The microseconds are appended as text, not by handing the formatted
  // date to printf as a format.
  if (withMicroseconds) {
    snprintf(buffer + n, sizeof(buffer) - n, ".%06u",
             static_cast<unsigned>(tv.tv_usec));
  }
  return std::string(buffer);
}
