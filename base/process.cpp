#include "base/process.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <strings.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>

#include "base/log.h"
#include "base/path_utils.h"
#include "base/strtools_public.h"

namespace {

// What the intermediate child tells the caller. The caller does the logging:
// a forked child of a threaded process may only make async-signal-safe calls,
// and the log dispatcher takes locks another thread may have held at fork.
enum EChildStep : int32_t {
  k_eStepNone = 0,
  k_eStepSession = 1,    // setsid or sigprocmask; cannot happen in practice
  k_eStepDirectory = 2,  // chdir
  k_eStepFork = 3,       // second fork
};

struct ChildReport_t {
  int32_t m_nPid;  // the grandchild, or -1
  int32_t m_eFailedStep;
  int32_t m_nErrno;
};
// One write of at most PIPE_BUF bytes is atomic, so the caller sees all of it
// or nothing.
static_assert(sizeof(ChildReport_t) <= PIPE_BUF, "report must be atomic");

void CloseFd(int* fd) {
  if (*fd < 0) return;
  // Linux releases the descriptor even when close reports EINTR, so a retry
  // could close someone else's.
  close(*fd);
  *fd = -1;
}

// Async-signal-safe; a short write leaves the caller with an incomplete
// report, which it treats as a failed launch.
void WriteReport(int fd, const ChildReport_t& report) {
  ssize_t n;
  do {
    n = write(fd, &report, sizeof(report));
  } while (n < 0 && errno == EINTR);
}

// Runs in the intermediate child and never returns. Only async-signal-safe
// calls from here to exec.
[[noreturn]] void RunIntermediateChild(int readFd, int writeFd,
                                       const char* workingDirectory,
                                       char* const* argv) {
  close(readFd);
  ChildReport_t report = {-1, k_eStepNone, 0};

  // A session of its own takes everything it starts out of the caller's
  // session and process group; an empty mask keeps no signal blocked in what
  // is started.
  sigset_t none;
  sigemptyset(&none);
  if (setsid() < 0 || sigprocmask(SIG_SETMASK, &none, nullptr) != 0) {
    report.m_eFailedStep = k_eStepSession;
    report.m_nErrno = errno;
  } else if (workingDirectory && workingDirectory[0] &&
             chdir(workingDirectory) != 0) {
    report.m_eFailedStep = k_eStepDirectory;
    report.m_nErrno = errno;
  } else {
    pid_t grandchild = fork();
    if (grandchild == 0) {
      close(writeFd);
      execvp(argv[0], argv);
      _exit(0);
    }
    report.m_nPid = grandchild;
    if (grandchild < 0) {
      report.m_nPid = -1;
      report.m_eFailedStep = k_eStepFork;
      report.m_nErrno = errno;
    }
  }
  WriteReport(writeFd, report);
  close(writeFd);
  _exit(0);
}

// Single-quotes `text` for /bin/sh so that it stays one word, whatever it
// holds.
std::string ShellQuote(const char* text) {
  std::string quoted = "'";
  for (const char* p = text; *p; ++p) {
    if (*p == '\'')
      quoted += "'\\''";
    else
      quoted += *p;
  }
  quoted += '\'';
  return quoted;
}

}  // namespace

bool BCreateProcess(const char* workingDirectory, char* const* argv,
                    uint32_t* pid, bool /*flag*/, std::string* /*output*/) {
  if (pid) *pid = 0;
  if (!argv || !argv[0]) return false;

  int fds[2] = {-1, -1};
  if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    Log("Failed to create PID pipe\n");
    return false;
  }

  pid_t child = fork();
  if (child < 0) {
    CloseFd(&fds[0]);
    CloseFd(&fds[1]);
    Log("Unable to fork child to start process: %s\n", argv[0]);
    return false;
  }
  if (child == 0) RunIntermediateChild(fds[0], fds[1], workingDirectory, argv);

  CloseFd(&fds[1]);
  // The intermediate child ends right after the second fork, having written
  // its report first; once it is reaped the report is in the pipe, so the
  // non-blocking read below cannot miss it. ECHILD (SIGCHLD ignored, the
  // child reaped by the kernel) also returns only after it has ended.
  while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }

  ChildReport_t report = {-1, k_eStepNone, 0};
  ssize_t n;
  do {
    n = read(fds[0], &report, sizeof(report));
  } while (n < 0 && errno == EINTR);
  CloseFd(&fds[0]);

  int32_t reported = -1;
  if (n == static_cast<ssize_t>(sizeof(report))) {
    reported = report.m_nPid;
    if (report.m_eFailedStep == k_eStepDirectory) {
      Log("Failed to change directory to '%s' when launching process '%s': "
          "%d",
          workingDirectory, argv[0], report.m_nErrno);
    } else if (report.m_eFailedStep == k_eStepFork) {
      Log("Unable to fork grandchild to start process: %s\n", argv[0]);
    }
  }
  if (pid) *pid = static_cast<uint32_t>(reported);
  return reported > 0;
}

bool BCreateProcess(const std::string& program,
                    const std::vector<std::string>& arguments,
                    std::string workingDirectory, uint32_t* pid, bool flag,
                    std::string* output) {
  // The program's own directory. A bare name has none (it is found on PATH),
  // so the caller's directory stays.
  if (workingDirectory.empty() && program.find('/') != std::string::npos)
    workingDirectory = Path_StripFilename(program);

  // Copies, because exec takes non-const strings.
  std::vector<std::string> strings;
  strings.reserve(arguments.size() + 1);
  strings.push_back(program);
  strings.insert(strings.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  argv.reserve(strings.size() + 1);
  for (std::string& s : strings) argv.push_back(s.data());
  argv.push_back(nullptr);

  return BCreateProcess(workingDirectory.c_str(), argv.data(), pid, flag,
                        output);
}

bool BCreateProcess(const std::string& program, const std::string& arguments,
                    std::string workingDirectory, uint32_t* pid, bool flag,
                    std::string* output) {
  return BCreateProcess(program, TokenizeString(arguments, ' '),
                        std::move(workingDirectory), pid, flag, output);
}

bool BProcessRunning(const char* name, bool /*flag*/) {
  if (!name) return false;
  // The runtime's container settings must not leak into the system's pidof.
  // The name is quoted so that it reaches pidof as one word and nothing in it
  // is run by the shell.
  std::string command =
      "TOLVAVR_VRENV= TOLVA_RUNTIME= "
      "LD_LIBRARY_PATH=\"$SYSTEM_LD_LIBRARY_PATH\" QT_PLUGIN_PATH= pidof " +
      ShellQuote(name) + " > /dev/null";
  return system(command.c_str()) == 0;
}

bool BProcessRunning(uint32_t pid) {
  if (kill(static_cast<pid_t>(pid), 0) == 0) return true;
  return errno == EPERM;
}

bool Plat_IsInDebugSession() {
  // The stream is shared by every caller (the log writer, assertions, crash
  // handling); the lock keeps two threads from interleaving its reads.
  static std::mutex s_mutex;
  static FILE* s_pStatusFile = nullptr;
  std::lock_guard<std::mutex> lock(s_mutex);

  if (!s_pStatusFile) {
    s_pStatusFile = fopen("/proc/self/status", "re");
    if (!s_pStatusFile) return false;
  }
  rewind(s_pStatusFile);
  fflush(s_pStatusFile);

  static const char k_szTracerLabel[] = "TracerPid:";
  const size_t labelLength = sizeof(k_szTracerLabel) - 1;
  char line[256];
  while (fgets(line, sizeof(line), s_pStatusFile)) {
    if (strncasecmp(line, k_szTracerLabel, labelLength) != 0) continue;
    // strtol skips the separator after the label.
    return static_cast<int32_t>(strtol(line + labelLength, nullptr, 10)) != 0;
  }
  return false;
}
