#include "base/systemtime.h"

#include <regex.h>
#include <time.h>

#include <cstring>

#include <gtest/gtest.h>

namespace {

uint64_t RawNow() {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC_RAW, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000000ull + ts.tv_nsec;
}

}  // namespace

TEST(SystemTime, TicksFollowTheMonotonicRawClockInNanoseconds) {
  uint64_t before = RawNow();
  uint64_t ticks = GetSystemTimeInTicks();
  uint64_t after = RawNow();
  EXPECT_LE(before, ticks);
  EXPECT_LE(ticks, after);
  EXPECT_LE(ticks, GetSystemTimeInTicks());
}

TEST(SystemTime, TicksConvertToSecondsWithoutSubtractingABase) {
  EXPECT_DOUBLE_EQ(0.0, SystemTicksToSeconds(0));
  EXPECT_DOUBLE_EQ(1.0, SystemTicksToSeconds(1000000000ull));
  EXPECT_DOUBLE_EQ(2.5, SystemTicksToSeconds(2500000000ull));
  // Counting from the clock's origin: the current reading converts to the
  // raw clock's seconds, not to the seconds since the first call.
  uint64_t now = GetSystemTimeInTicks();
  EXPECT_NEAR(static_cast<double>(now) / 1e9, SystemTicksToSeconds(now), 1e-6);
}

TEST(SystemTime, UnixTimeIsTheCLibrarysTime) {
  time_t before = time(nullptr);
  int64_t now = GetGMUnixTime();
  time_t after = time(nullptr);
  EXPECT_LE(before, now);
  EXPECT_LE(now, after);
}

// Both forms name the current local time; parsing the stamp back must give
// a moment between the readings taken around it.
TEST(SystemTime, LogTimeStringFormsNameTheCurrentLocalTime) {
  struct Row {
    bool withMicroseconds;
    const char* shape;
    const char* parse;
  } rows[] = {
      {true,
       "^(Mon|Tue|Wed|Thu|Fri|Sat|Sun) "
       "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [0-9]{2} [0-9]{4} "
       "[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{6}$",
       "%a %b %d %Y %H:%M:%S"},
      {false,
       "^(Mon|Tue|Wed|Thu|Fri|Sat|Sun) "
       "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [0-9]{2} "
       "[0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}$",
       "%a %b %d %H:%M:%S %Y"},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE("row " + std::to_string(i) +
                 (row.withMicroseconds ? " with" : " without") + " microseconds");
    time_t before = time(nullptr);
    std::string stamp = GetVRLogTimeString(row.withMicroseconds);
    time_t after = time(nullptr);
    SCOPED_TRACE(stamp);
    regex_t shape;
    ASSERT_EQ(0, regcomp(&shape, row.shape, REG_EXTENDED | REG_NOSUB));
    EXPECT_EQ(0, regexec(&shape, stamp.c_str(), 0, nullptr, 0));
    regfree(&shape);

    struct tm parsed;
    memset(&parsed, 0, sizeof(parsed));
    ASSERT_NE(nullptr, strptime(stamp.c_str(), row.parse, &parsed));
    parsed.tm_isdst = -1;
    time_t stamped = mktime(&parsed);
    EXPECT_LE(before, stamped);
    EXPECT_LE(stamped, after);
  }
}
