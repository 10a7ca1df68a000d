#include "base/assert.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/recording_log_sink.h"

namespace {

struct Report {
  std::string message;
  std::string file;
  uint32_t line;
  bool fatal;
  void* userData;
};

// An assertion sink that keeps what it is given and, when asked, requests a
// debugger stop.
class RecordingAssertSink {
 public:
  explicit RecordingAssertSink(bool requestBreak = false,
                               void* userData = nullptr) {
    m_callback.Initialize(
        [this, requestBreak](const char* message, const char* file,
                             uint32_t line, bool fatal, void* user,
                             bool* shouldBreak) {
          reports.push_back({message, file, line, fatal, user});
          if (requestBreak) *shouldBreak = true;
        },
        userData);
  }
  std::vector<Report> reports;

 private:
  CAssertCallback m_callback;  // declared last: unregistered first
};

pid_t WaitForChild(pid_t pid, int* status) {
  pid_t r;
  do {
    r = waitpid(pid, status, 0);
  } while (r < 0 && errno == EINTR);
  return r;
}

// Kills and reaps the child unless it was reaped already, so that a failed
// check leaves no stopped process behind.
struct ChildGuard {
  pid_t pid;
  int readFd;
  bool reaped = false;
  ~ChildGuard() {
    close(readFd);
    if (reaped) return;
    kill(pid, SIGKILL);
    int status;
    WaitForChild(pid, &status);
  }
};

}  // namespace

// How the message arguments are read, by count; the failure is logged once
// at Error and handed to the sink unchanged.
TEST(Assert, MessageArgumentsAreReadByCount) {
  const std::string longText(9000, 'L');
  struct Row {
    const char* what;
    std::function<void(CAssert*, uint32_t line)> raise;
    std::string message;
  } rows[] = {
      {"count 0", [](CAssert* a, uint32_t l) { a->AssertMsgImpl("f.cpp", l, false, 0); },
       "<unknown>"},
      {"count 1 is not a format",
       [](CAssert* a, uint32_t l) { a->AssertMsgImpl("f.cpp", l, false, 1, "x %s %d%%"); },
       "x %s %d%%"},
      {"count 1 null",
       [](CAssert* a, uint32_t l) {
         a->AssertMsgImpl("f.cpp", l, false, 1, static_cast<const char*>(nullptr));
       },
       "<unknown>"},
      {"count 2",
       [](CAssert* a, uint32_t l) { a->AssertMsgImpl("f.cpp", l, false, 2, "x=%d", 5); },
       "x=5"},
      {"count 3",
       [](CAssert* a, uint32_t l) { a->AssertMsgImpl("f.cpp", l, false, 3, "%s-%u", "a", 7u); },
       "a-7"},
      {"count 2 null format",
       [](CAssert* a, uint32_t l) {
         a->AssertMsgImpl("f.cpp", l, false, 2, static_cast<const char*>(nullptr), 1);
       },
       "<unknown>"},
      {"cut to the buffer",
       [&longText](CAssert* a, uint32_t l) {
         a->AssertMsgImpl("f.cpp", l, false, 1, longText.c_str());
       },
       std::string(8191, 'L')},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + ": " + rows[i].what);
    CRecordingLogSink logged;
    RecordingAssertSink sink;
    uint32_t line = 100 + static_cast<uint32_t>(i);
    rows[i].raise(CAssert::GetInstance(), line);

    ASSERT_EQ(1u, sink.reports.size());
    EXPECT_EQ(rows[i].message, sink.reports[0].message);
    EXPECT_EQ("f.cpp", sink.reports[0].file);
    EXPECT_EQ(line, sink.reports[0].line);
    EXPECT_FALSE(sink.reports[0].fatal);

    std::vector<LoggedMessage> got = logged.Messages();
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ(LogLevel_Error, got[0].level);
    std::string expected = "ASSERT: \"" + rows[i].message + "\" at f.cpp:" +
                           std::to_string(line) + ".\n";
    if (expected.size() > 4095) expected = expected.substr(0, 4094) + "\n";
    EXPECT_EQ(expected, got[0].text);
  }
}

TEST(Assert, MacroReportsANonFatalFailureAtTheCallersPosition) {
  RecordingAssertSink sink;
  uint32_t line = __LINE__ + 1;
  AssertMsgNonFatal("the check failed");
  ASSERT_EQ(1u, sink.reports.size());
  EXPECT_EQ("the check failed", sink.reports[0].message);
  EXPECT_EQ(__FILE__, sink.reports[0].file);
  EXPECT_EQ(line, sink.reports[0].line);
  EXPECT_FALSE(sink.reports[0].fatal);
}

// The dispatcher passes the fatal flag on and leaves the decision to the
// sinks: with none asking for a stop, the caller simply goes on.
TEST(Assert, SinksRunInOrderAfterTheLogLineWithTheirOwnUserData) {
  CRecordingLogSink logged;
  int firstTag = 1, secondTag = 2;
  std::vector<std::string> events;
  CAssertCallback first, second;
  ASSERT_TRUE(first.Initialize(
      [&](const char*, const char*, uint32_t, bool fatal, void* user, bool*) {
        EXPECT_EQ(&firstTag, user);
        EXPECT_TRUE(fatal);
        events.push_back("first, log lines so far: " +
                         std::to_string(logged.Messages().size()));
      },
      &firstTag));
  ASSERT_TRUE(second.Initialize(
      [&](const char*, const char*, uint32_t, bool, void* user, bool*) {
        EXPECT_EQ(&secondTag, user);
        events.push_back("second");
      },
      &secondTag));
  CAssert::GetInstance()->AssertMsgImpl("f.cpp", 1, true, 1, "fatal one");
  EXPECT_EQ((std::vector<std::string>{"first, log lines so far: 1", "second"}),
            events);
}

TEST(Assert, RegistrationDuplicatesRemovalAndDestruction) {
  CAssert* dispatcher = CAssert::GetInstance();
  ASSERT_NE(nullptr, dispatcher);
  EXPECT_EQ(dispatcher, CAssert::GetInstance());
  EXPECT_FALSE(dispatcher->AddCallback(nullptr));
  dispatcher->RemoveCallback(nullptr);  // ignored

  int calls = 0;
  auto count = [&calls](const char*, const char*, uint32_t, bool, void*,
                        bool*) { ++calls; };
  CAssertCallback empty;
  EXPECT_FALSE(empty.Initialize(CAssertCallback::Fn(), nullptr));

  CAssertCallback twice;
  ASSERT_TRUE(twice.Initialize(count, nullptr));
  ASSERT_TRUE(dispatcher->AddCallback(&twice));
  dispatcher->AssertMsgImpl("f.cpp", 1, false, 0);
  EXPECT_EQ(2, calls);
  dispatcher->RemoveCallback(&twice);  // both entries
  dispatcher->AssertMsgImpl("f.cpp", 1, false, 0);
  EXPECT_EQ(2, calls);

  {
    CAssertCallback scoped;
    ASSERT_TRUE(scoped.Initialize(count, nullptr));
    dispatcher->AssertMsgImpl("f.cpp", 1, false, 0);
    EXPECT_EQ(3, calls);
  }
  dispatcher->AssertMsgImpl("f.cpp", 1, false, 0);
  EXPECT_EQ(3, calls);
}

// A sink may assert again on the same thread without deadlocking; the nested
// report reaches every sink.
TEST(Assert, SinkMayAssertAgainWhileDispatching) {
  CAssertCallback relay;
  ASSERT_TRUE(relay.Initialize(
      [](const char* message, const char*, uint32_t, bool, void*, bool*) {
        if (std::string(message) == "outer")
          CAssert::GetInstance()->AssertMsgImpl("g.cpp", 2, false, 1, "inner");
      },
      nullptr));
  RecordingAssertSink sink;
  CAssert::GetInstance()->AssertMsgImpl("f.cpp", 1, false, 1, "outer");
  ASSERT_EQ(2u, sink.reports.size());
  EXPECT_EQ("inner", sink.reports[0].message);
  EXPECT_EQ("outer", sink.reports[1].message);
}

// Runs in a child: two sinks, the first asking for a debugger stop.
void AssertWithBreakRequest() {
  struct rlimit none = {0, 0};
  setrlimit(RLIMIT_CORE, &none);  // no core file for the expected trap
  CAssertCallback breaker, last;
  breaker.Initialize(
      [](const char*, const char*, uint32_t, bool, void*, bool* brk) {
        fprintf(stderr, "breaker ran\n");
        *brk = true;
      },
      nullptr);
  last.Initialize(
      [](const char*, const char*, uint32_t, bool, void*, bool*) {
        fprintf(stderr, "last sink ran\n");
      },
      nullptr);
  CAssert::GetInstance()->AssertMsgImpl("f.cpp", 1, false, 1, "stop");
  fprintf(stderr, "went on\n");
  _exit(0);
}

// Without a debugger the trap ends the process with SIGTRAP, after every
// sink has run.
TEST(AssertDeathTest, BreakRequestTrapsAfterAllSinks) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(AssertWithBreakRequest(), ::testing::KilledBySignal(SIGTRAP),
              "breaker ran\nlast sink ran\n$");
}

// With a debugger attached the trap stops the process once the sinks have
// run, and continuing resumes right after the assertion.
TEST(Assert, BreakRequestStopsATracerAndResumesAfterContinue) {
  int fds[2];
  ASSERT_EQ(0, pipe2(fds, O_CLOEXEC));
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    alarm(30);  // bounds the parent's waits should anything go wrong
    close(fds[0]);
    if (ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) _exit(10);
    raise(SIGSTOP);
    CAssertCallback breaker;
    int out = fds[1];
    breaker.Initialize(
        [out](const char*, const char*, uint32_t, bool, void*, bool* brk) {
          if (write(out, "S", 1) != 1) _exit(11);
          *brk = true;
        },
        nullptr);
    CAssert::GetInstance()->AssertMsgImpl("f.cpp", 1, false, 1, "stop");
    if (write(out, "A", 1) != 1) _exit(12);
    _exit(0);
  }
  close(fds[1]);
  ChildGuard guard{pid, fds[0]};
  // The child is stopped when we read: what it wrote is there, and a
  // missing write must fail the check rather than block.
  ASSERT_EQ(0, fcntl(fds[0], F_SETFL, O_NONBLOCK));

  int status = 0;
  ASSERT_EQ(pid, WaitForChild(pid, &status));
  ASSERT_TRUE(WIFSTOPPED(status) && WSTOPSIG(status) == SIGSTOP)
      << "status " << status;
  ASSERT_EQ(0, ptrace(PTRACE_CONT, pid, nullptr, nullptr));

  ASSERT_EQ(pid, WaitForChild(pid, &status));
  ASSERT_TRUE(WIFSTOPPED(status) && WSTOPSIG(status) == SIGTRAP)
      << "status " << status;
  char got[2] = {};
  EXPECT_EQ(1, read(fds[0], got, 1));  // the sink ran before the stop
  EXPECT_EQ('S', got[0]);

  ASSERT_EQ(0, ptrace(PTRACE_CONT, pid, nullptr, nullptr));
  ASSERT_EQ(pid, WaitForChild(pid, &status));
  guard.reaped = true;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "status " << status;
  EXPECT_EQ(1, read(fds[0], got, 1));
  EXPECT_EQ('A', got[0]);
}
