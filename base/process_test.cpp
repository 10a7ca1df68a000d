#include "base/process.h"

#include "base/recording_log_sink.h"

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/ptrace.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/log.h"
#include "base/scoped_temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr auto k_WaitLimit = std::chrono::seconds(10);
// A user id that no account has and no other test process uses at the same
// time, so that nothing else counts against its process limit.
uid_t SpareUid(int test) {
  return static_cast<uid_t>(200000 + (getpid() % 100000) * 2 + test);
}

// A temporary directory named by its physical path, the form getcwd gives in
// it.
class PhysicalTempDir {
 public:
  PhysicalTempDir() {
    std::error_code error;
    if (!m_dir.path().empty()) m_path = fs::canonical(m_dir.path(), error);
  }
  const std::string& Path() const { return m_path; }

 private:
  ScopedTempDir m_dir;
  std::string m_path;
};

// Waits on `fd` until `done` holds or the limit passes: `done` is asked
// again whenever `fd` becomes readable, whose pending input is then drained.
bool WaitOn(int fd, const std::function<bool()>& done) {
  const auto deadline = Clock::now() + k_WaitLimit;
  while (!done()) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - Clock::now());
    if (fd < 0 || left.count() <= 0) return false;
    pollfd p = {fd, POLLIN, 0};
    int n = poll(&p, 1, static_cast<int>(left.count()));
    if (n < 0 && errno != EINTR) return false;
    char buffer[4096];
    if (n > 0) {
      // A pidfd is not read: it stays readable once the process has ended.
      while (read(fd, buffer, sizeof(buffer)) > 0) {
      }
    }
  }
  return true;
}

// Waits for `path` to appear, watching its directory rather than polling.
bool WaitForFile(const std::string& path) {
  int fd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  if (fd >= 0 && inotify_add_watch(fd, fs::path(path).parent_path().c_str(),
                                   IN_CREATE | IN_MOVED_TO) < 0) {
    close(fd);
    fd = -1;
  }
  bool found = WaitOn(fd, [&] { return fs::exists(path); });
  if (fd >= 0) close(fd);
  return found;
}

// A descriptor that becomes readable when the process `pid` ends, whether or
// not it is our child; -1 when it cannot be had (ESRCH: already gone).
int OpenPidFd(pid_t pid) { return static_cast<int>(syscall(SYS_pidfd_open, pid, 0)); }

struct HelperReport {
  std::map<std::string, std::string> values;
  std::vector<std::string> args;
  long Number(const std::string& key) const {
    auto it = values.find(key);
    return it == values.end() ? -1 : std::stol(it->second);
  }
};

// The report the helper program writes into `dir`, waiting for it.
bool ReadHelperReport(const std::string& dir, HelperReport* report) {
  const std::string path = dir + "/report";
  if (!WaitForFile(path)) return false;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    size_t eq = line.find('=');
    if (eq == std::string::npos) return false;
    std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "arg")
      report->args.push_back(value);
    else
      report->values[key] = value;
  }
  return true;
}

// State letter and parent of a process, from /proc; state 0 when it is gone.
struct ProcStat {
  char state = 0;
  long ppid = -1;
};
ProcStat ReadProcStat(uint32_t pid) {
  ProcStat stat;
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)),
                   std::istreambuf_iterator<char>());
  size_t paren = text.rfind(')');  // the name may hold anything
  if (paren == std::string::npos) return stat;
  std::istringstream rest(text.substr(paren + 1));
  rest >> stat.state >> stat.ppid;
  return stat;
}

// Every child of this process, live or zombie, over all its threads.
std::set<long> ChildrenOfThisProcess() {
  std::set<long> children;
  for (const auto& task : fs::directory_iterator("/proc/self/task")) {
    std::ifstream in(task.path() / "children");
    long pid;
    while (in >> pid) children.insert(pid);
  }
  return children;
}

std::string HelperProgram() { return LARK_PROCESS_TEST_HELPER; }

// Reads one byte within the wait limit; 0 on timeout, end of file or error.
char ReadByteWithin(int fd) {
  const auto deadline = Clock::now() + k_WaitLimit;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - Clock::now());
    if (left.count() <= 0) return 0;
    pollfd p = {fd, POLLIN, 0};
    int n = poll(&p, 1, static_cast<int>(left.count()));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return 0;
    char c;
    ssize_t r = read(fd, &c, 1);
    if (r < 0 && errno == EINTR) continue;
    return r == 1 ? c : 0;
  }
}

// Reaps `pid` within the wait limit, killing it when it is late. Its exit
// status, or -1.
int ReapWithin(pid_t pid) {
  int status = 0;
  const int fd = OpenPidFd(pid);
  pid_t r = 0;
  bool done = WaitOn(fd, [&] {
    do {
      r = waitpid(pid, &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    return r != 0;
  });
  if (fd >= 0) close(fd);
  if (!done) {
    kill(pid, SIGKILL);
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return -1;
  }
  return (r == pid && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
}

// Runs `fn` in a forked child under the user id `uid` and returns the
// text it produced, or "(failed)". Needs root; the child makes no gtest
// checks of its own.
std::string RunAsOtherUser(uid_t uid, const std::function<std::string()>& fn) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return "(failed)";
  pid_t child = fork();
  if (child < 0) {
    close(fds[0]);
    close(fds[1]);
    return "(failed)";
  }
  if (child == 0) {
    close(fds[0]);
    if (setgid(uid) != 0 || setuid(uid) != 0) _exit(1);
    std::string text = fn();
    ssize_t n = write(fds[1], text.data(), text.size());
    _exit(n == static_cast<ssize_t>(text.size()) ? 0 : 1);
  }
  close(fds[1]);
  std::string text;
  for (char c; (c = ReadByteWithin(fds[0])) != 0;) text += c;
  close(fds[0]);
  return ReapWithin(child) == 0 ? text : "(failed)";
}

class ProcessLaunchTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(m_dir.Path().empty()); }
  PhysicalTempDir m_dir;
  CRecordingLogSink m_log;
};

TEST_F(ProcessLaunchTest, StartsDetachedInTheProgramsOwnDirectory) {
  // Its own name, so that looking it up by name cannot find anything else.
  const std::string name = "lkprobe" + std::to_string(getpid());
  const std::string program = m_dir.Path() + "/" + name;
  ASSERT_EQ(symlink(HelperProgram().c_str(), program.c_str()), 0);
  ASSERT_TRUE(ScopedTempDir::WriteFile(m_dir.Path() + "/hold", "x"));
  const std::set<long> childrenBefore = ChildrenOfThisProcess();

  uint32_t pid = 0;
  std::string output = "untouched";
  ASSERT_TRUE(BCreateProcess(program, "", "", &pid, false, &output));

  // The intermediate child is reaped and the program is not ours.
  EXPECT_EQ(ChildrenOfThisProcess(), childrenBefore);
  EXPECT_EQ(output, "untouched");
  HelperReport report;
  ASSERT_TRUE(ReadHelperReport(m_dir.Path(), &report));
  EXPECT_EQ(report.Number("pid"), static_cast<long>(pid));
  EXPECT_EQ(report.values["cwd"], m_dir.Path());
  EXPECT_TRUE(report.args.empty());
  // A session of its own, led by the intermediate child that is gone, so
  // the program can never take a controlling terminal.
  EXPECT_NE(report.Number("sid"), static_cast<long>(getsid(0)));
  EXPECT_EQ(report.Number("pgid"), report.Number("sid"));
  EXPECT_NE(report.Number("sid"), static_cast<long>(pid));
  ProcStat stat = ReadProcStat(pid);
  EXPECT_NE(stat.state, 0);
  EXPECT_NE(stat.ppid, static_cast<long>(getpid()));

  // Both queries see it while it runs.
  EXPECT_TRUE(BProcessRunning(pid));
  EXPECT_TRUE(BProcessRunning(name.c_str(), false));
  fs::remove(m_dir.Path() + "/hold");
  EXPECT_TRUE(m_log.Texts().empty());
}

TEST_F(ProcessLaunchTest, ArgumentsReachTheProgram) {
  struct Row {
    const char* text;  // for the text form; null: use `vec`
    std::vector<std::string> vec;
    std::vector<std::string> expected;
  };
  const Row rows[] = {
      {"", {}, {}},
      {"a", {}, {"a"}},
      {"a  b", {}, {"a", "", "b"}},
      {" a ", {}, {"", "a", ""}},
      {nullptr, {"one word", "", "'q' $HOME"}, {"one word", "", "'q' $HOME"}},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(::testing::Message()
                 << "row " << i << ": \"" << (row.text ? row.text : "(vector)")
                 << "\"");
    const std::string dir = m_dir.Path() + "/row" + std::to_string(i);
    ASSERT_TRUE(fs::create_directory(dir));
    uint32_t pid = 0;
    bool started = row.text ? BCreateProcess(HelperProgram(), row.text, dir,
                                             &pid, false, nullptr)
                            : BCreateProcess(HelperProgram(), row.vec, dir,
                                             &pid, false, nullptr);
    ASSERT_TRUE(started);
    HelperReport report;
    ASSERT_TRUE(ReadHelperReport(dir, &report));
    EXPECT_EQ(report.args, row.expected);
    EXPECT_EQ(report.values["cwd"], dir);
  }
}

TEST_F(ProcessLaunchTest, MissingWorkingDirectoryFailsAndIsLogged) {
  const std::string missing = m_dir.Path() + "/missing";
  const std::string helper = HelperProgram();
  const std::set<long> childrenBefore = ChildrenOfThisProcess();

  // Given, and derived from the program's path by the vector form.
  std::vector<char*> argv = {const_cast<char*>(helper.c_str()), nullptr};
  uint32_t pid = 0;
  EXPECT_FALSE(
      BCreateProcess(missing.c_str(), argv.data(), &pid, false, nullptr));
  EXPECT_EQ(pid, 0xFFFFFFFFu);
  const std::string inMissing = missing + "/program";
  pid = 0;
  EXPECT_FALSE(BCreateProcess(inMissing, std::vector<std::string>{}, "", &pid,
                              false, nullptr));
  EXPECT_EQ(pid, 0xFFFFFFFFu);

  EXPECT_EQ(m_log.Texts(),
            (std::vector<std::string>{
                "Failed to change directory to '" + missing +
                    "' when launching process '" + helper + "': 2\n",
                "Failed to change directory to '" + missing +
                    "' when launching process '" + inMissing + "': 2\n"}));
  EXPECT_EQ(ChildrenOfThisProcess(), childrenBefore);
}

TEST_F(ProcessLaunchTest, ProgramWithoutDirectoryRunsInCallersDirectory) {
  // A bare name is found on PATH; it has no directory of its own to enter.
  const std::string report = m_dir.Path() + "/report";
  uint32_t pid = 0;
  ASSERT_TRUE(BCreateProcess(
      "sh",
      std::vector<std::string>{"-c", "pwd -P > '" + report + ".tmp' && mv '" +
                                         report + ".tmp' '" + report + "'"},
      "", &pid, false, nullptr));
  EXPECT_GT(pid, 0u);
  ASSERT_TRUE(WaitForFile(report));
  std::ifstream in(report);
  std::string dir;
  std::getline(in, dir);
  EXPECT_EQ(dir, fs::current_path().string());
  EXPECT_TRUE(m_log.Texts().empty());
}

TEST_F(ProcessLaunchTest, ProgramThatCannotRunStillReportsItsId) {
  // In the root directory: the derived directory is empty, so none is
  // entered; the exec failure is not seen by the caller.
  const std::string program =
      "/lark-no-such-program-" + std::to_string(getpid());
  uint32_t pid = 0;
  ASSERT_TRUE(BCreateProcess(program, "", "", &pid, false, nullptr));
  ASSERT_GT(pid, 0u);
  ASSERT_NE(pid, 0xFFFFFFFFu);
  // It ends at once: gone, or a zombie waiting for its new parent.
  const int fd = OpenPidFd(static_cast<pid_t>(pid));
  EXPECT_TRUE(WaitOn(fd, [&] {
    char state = ReadProcStat(pid).state;
    return state == 0 || state == 'Z';
  }));
  if (fd >= 0) close(fd);
  EXPECT_TRUE(m_log.Texts().empty());
}

TEST_F(ProcessLaunchTest, NoDescriptorForThePipeFailsAndIsLogged) {
  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  // The lowest free descriptor becomes the limit: no new one can be made.
  int probe = open("/dev/null", O_RDONLY | O_CLOEXEC);
  ASSERT_GE(probe, 0);
  close(probe);
  rlimit tight = saved;
  tight.rlim_cur = static_cast<rlim_t>(probe);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
  uint32_t pid = 7;
  bool started =
      BCreateProcess(HelperProgram(), "", m_dir.Path(), &pid, false, nullptr);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);

  EXPECT_FALSE(started);
  EXPECT_EQ(pid, 0u);
  EXPECT_EQ(m_log.Texts(),
            std::vector<std::string>{"Failed to create PID pipe\n"});
}

TEST_F(ProcessLaunchTest, ForkFailuresAreReportedAndLogged) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run under a spare user id";
  // RLIMIT_NPROC counts the processes of the real user id; the child is the
  // only process of its user, so a limit of 1 stops the first fork and 2 the
  // second.
  struct Row {
    rlim_t limit;
    std::string expected;
  };
  const std::string helper = HelperProgram();
  const Row rows[] = {
      {1, "0 0 Unable to fork child to start process: " + helper + "\n"},
      {2, "0 4294967295 Unable to fork grandchild to start process: " + helper +
              "\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << "process limit " << row.limit);
    std::string got = RunAsOtherUser(SpareUid(0), [&] {
      rlimit limit = {row.limit, row.limit};
      if (setrlimit(RLIMIT_NPROC, &limit) != 0) return std::string("setrlimit");
      CRecordingLogSink log;
      uint32_t pid = 7;
      // A directory the spare user may enter.
      bool started = BCreateProcess(helper, "", "/", &pid, false, nullptr);
      std::string text = std::to_string(started) + " " + std::to_string(pid);
      for (const std::string& line : log.Texts()) text += " " + line;
      return text;
    });
    EXPECT_EQ(got, row.expected);
  }
}

TEST(ProcessRunningTest, ById) {
  // A process that has been reaped leaves an id nobody has.
  pid_t gone = fork();
  ASSERT_GE(gone, 0);
  if (gone == 0) _exit(0);
  ASSERT_EQ(ReapWithin(gone), 0);

  struct Row {
    uint32_t pid;
    bool expected;
  };
  const Row rows[] = {
      {static_cast<uint32_t>(getpid()), true},
      {0, true},            // the caller's process group
      {0xFFFFFFFFu, true},  // every process the caller may signal
      {static_cast<uint32_t>(gone), false},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    SCOPED_TRACE(::testing::Message()
                 << "row " << i << ": pid " << rows[i].pid);
    EXPECT_EQ(BProcessRunning(rows[i].pid), rows[i].expected);
  }
}

TEST(ProcessRunningTest, ProcessOfAnotherUserIsRunning) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run under a spare user id";
  const uint32_t parent = static_cast<uint32_t>(getpid());
  // From the other user's side this process may not be signalled (EPERM).
  std::string got = RunAsOtherUser(SpareUid(1), [&] {
    bool refused = kill(static_cast<pid_t>(parent), 0) != 0 && errno == EPERM;
    return std::string(refused ? "refused " : "allowed ") +
           (BProcessRunning(parent) ? "running" : "not running");
  });
  EXPECT_EQ(got, "refused running");
}

TEST(ProcessRunningTest, ByName) {
  ScopedTempDir dir;
  ASSERT_FALSE(dir.path().empty());
  const std::string self = fs::read_symlink("/proc/self/exe").filename();
  const std::string injected = dir.path() + "/injected";
  struct Row {
    std::string name;
    bool expected;
  };
  const Row rows[] = {
      {self, true},
      {"lark-no-such-process-" + std::to_string(getpid()), false},
      {"", false},
      // Reaches pidof as one word; the shell runs nothing of it.
      {self + "; touch " + injected, false},
      {"$(touch " + injected + ")", false},
      {"'; touch " + injected + "; '", false},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    SCOPED_TRACE(::testing::Message() << "row " << i << ": " << rows[i].name);
    EXPECT_EQ(BProcessRunning(rows[i].name.c_str(), false), rows[i].expected);
    EXPECT_FALSE(fs::exists(injected));
  }
}

// A forked child traces this very process and detaches on request (or when
// this process closes its end of the pipe).
TEST(DebugSessionTest, TrueWhileTracedFalseAfterDetach) {
  ASSERT_FALSE(Plat_IsInDebugSession())
      << "the tests must run without a tracer";
  int toTracer[2], fromTracer[2];
  ASSERT_EQ(pipe2(toTracer, O_CLOEXEC), 0);
  ASSERT_EQ(pipe2(fromTracer, O_CLOEXEC), 0);
  const pid_t tracee = getpid();
  const pid_t tracer = fork();
  ASSERT_GE(tracer, 0);
  if (tracer == 0) {
    close(toTracer[1]);
    close(fromTracer[0]);
    alarm(30);  // a tracer that dies detaches, whatever happens to the test
    char c = 0;
    if (read(toTracer[0], &c, 1) != 1 || c != 'g') _exit(1);
    char ack = ptrace(PTRACE_SEIZE, tracee, nullptr, nullptr) == 0 ? 'a' : 'e';
    if (write(fromTracer[1], &ack, 1) != 1 || ack != 'a') _exit(1);
    ssize_t ignored = read(toTracer[0], &c, 1);  // request or end of file
    (void)ignored;
    // Detaching needs the tracee stopped.
    if (ptrace(PTRACE_INTERRUPT, tracee, nullptr, nullptr) != 0) _exit(1);
    int status = 0;
    pid_t r;
    while ((r = waitpid(tracee, &status, __WALL)) < 0 && errno == EINTR) {
    }
    if (r != tracee || !WIFSTOPPED(status)) _exit(1);
    // A signal caught on its way to the tracee is handed back.
    long sig = (status >> 16) == PTRACE_EVENT_STOP ? 0 : WSTOPSIG(status);
    if (ptrace(PTRACE_DETACH, tracee, nullptr, reinterpret_cast<void*>(sig)) !=
        0)
      _exit(1);
    _exit(write(fromTracer[1], "d", 1) == 1 ? 0 : 1);
  }
  close(toTracer[0]);
  close(fromTracer[1]);
  // Where the Yama module restricts tracing, allow this one tracer.
  int allowed = prctl(PR_SET_PTRACER, tracer, 0, 0, 0);
  EXPECT_TRUE(allowed == 0 || errno == EINVAL);

  bool attached =
      write(toTracer[1], "g", 1) == 1 && ReadByteWithin(fromTracer[0]) == 'a';
  EXPECT_TRUE(attached);
  bool tracedSeen = attached && Plat_IsInDebugSession();
  bool detached = attached && write(toTracer[1], "x", 1) == 1 &&
                  ReadByteWithin(fromTracer[0]) == 'd';
  close(toTracer[1]);
  close(fromTracer[0]);
  EXPECT_EQ(ReapWithin(tracer), 0);
  if (allowed == 0) prctl(PR_SET_PTRACER, 0, 0, 0, 0);

  EXPECT_TRUE(tracedSeen);
  EXPECT_TRUE(detached);
  EXPECT_FALSE(Plat_IsInDebugSession());
}

}  // namespace
