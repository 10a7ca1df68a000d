// The simulated runtime server: does nothing until SIGTERM or SIGINT and
// then exits 0, so that waits for the server meet a real process.

#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

int main() {
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);

  // A parent may have left these ignored; a waited-for signal must arrive.
  signal(SIGTERM, SIG_DFL);
  signal(SIGINT, SIG_DFL);
  if (sigprocmask(SIG_BLOCK, &stopSignals, nullptr) != 0) {
    fprintf(stderr, "heron (sim): cannot block SIGTERM and SIGINT: %s\n", strerror(errno));
    return 1;
  }
  for (;;) {
    int signalNumber = 0;
    const int error = sigwait(&stopSignals, &signalNumber);
    if (error == 0) return 0;
    if (error != EINTR) {
      fprintf(stderr, "heron (sim): sigwait failed: %s\n", strerror(error));
      return 1;
    }
  }
}
