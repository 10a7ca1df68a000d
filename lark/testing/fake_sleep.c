/* Test support, preloaded into the program under test: every sleep returns
 * at once, and when LARK_FAKE_SLEEP_LOG names a file, each requested
 * duration is appended to it as one JSON line {"call":"sleep","us":N}. The
 * lines are written with O_APPEND in one write each, so the file may be the
 * one other parts of the process append their own lines to. A failure to
 * record is reported on standard error; the sleep still returns at once. */

#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static const char kLogVariable[] = "LARK_FAKE_SLEEP_LOG";

static void report(const char* what) {
  char line[256];
  int n = snprintf(line, sizeof(line), "fake_sleep: %s: %s\n", what, strerror(errno));
  if (n > 0) (void)!write(STDERR_FILENO, line, (size_t)n);
}

static void record(uint64_t microseconds) {
  const char* path = getenv(kLogVariable);
  if (!path || !*path) return;

  char line[64];
  int n = snprintf(line, sizeof(line), "{\"call\":\"sleep\",\"us\":%llu}\n",
                   (unsigned long long)microseconds);
  if (n <= 0 || (size_t)n >= sizeof(line)) return;

  int fd;
  do {
    fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    report(path);
    return;
  }
  ssize_t written;
  do {
    written = write(fd, line, (size_t)n);
  } while (written < 0 && errno == EINTR);
  if (written != n) report("write");
  if (close(fd) != 0 && errno != EINTR) report("close");
}

static uint64_t to_microseconds(const struct timespec* ts) {
  if (!ts || ts->tv_sec < 0 || ts->tv_nsec < 0) return 0;
  return (uint64_t)ts->tv_sec * 1000000u + (uint64_t)ts->tv_nsec / 1000u;
}

int usleep(useconds_t usec) {
  record(usec);
  return 0;
}

unsigned int sleep(unsigned int seconds) {
  record((uint64_t)seconds * 1000000u);
  return 0;
}

int nanosleep(const struct timespec* req, struct timespec* rem) {
  if (!req || req->tv_nsec < 0 || req->tv_nsec >= 1000000000L) {
    errno = EINVAL;
    return -1;
  }
  record(to_microseconds(req));
  if (rem) rem->tv_sec = rem->tv_nsec = 0;
  return 0;
}

int clock_nanosleep(clockid_t clock, int flags, const struct timespec* req,
                    struct timespec* rem) {
  if (!req || req->tv_nsec < 0 || req->tv_nsec >= 1000000000L) return EINVAL;
  struct timespec wait = *req;
  if (flags & TIMER_ABSTIME) {
    /* An absolute deadline: record how far ahead of now it lay. */
    struct timespec now;
    if (clock_gettime(clock, &now) != 0) return errno;
    wait.tv_sec = req->tv_sec - now.tv_sec;
    wait.tv_nsec = req->tv_nsec - now.tv_nsec;
    if (wait.tv_nsec < 0) {
      wait.tv_nsec += 1000000000L;
      wait.tv_sec -= 1;
    }
    if (wait.tv_sec < 0) wait.tv_sec = wait.tv_nsec = 0;
  }
  record(to_microseconds(&wait));
  if (rem) rem->tv_sec = rem->tv_nsec = 0;
  return 0;
}
