#include "lark/testing/lark_process.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "sim/sim_testing.h"

namespace {

constexpr std::chrono::milliseconds kRunTimeout{20000};
constexpr std::chrono::milliseconds kStopTimeout{5000};

std::vector<char*> CStrings(std::vector<std::string>& strings) {
  std::vector<char*> result;
  for (std::string& s : strings) result.push_back(s.data());
  result.push_back(nullptr);
  return result;
}

ProcessResult_t FromWaitStatus(int status) {
  ProcessResult_t result;
  result.bStarted = true;
  if (WIFEXITED(status)) {
    result.bExited = true;
    result.nExitStatus = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.nSignal = WTERMSIG(status);
  }
  return result;
}

std::string ShortStep(const Json::Value& entry) {
  const std::string call = entry.get("call", "?").asString();
  if (call == "sleep") {
    const uint64_t us = entry["us"].asUInt64();
    return us % 1000 == 0 ? "sleep " + std::to_string(us / 1000) + "ms"
                          : "sleep " + std::to_string(us) + "us";
  }
  if (call == "PollNextEvent") {
    return entry["returned"].asBool() ? "PollNextEvent " + entry["type"].asString()
                                      : "PollNextEvent -";
  }
  for (const char* key : {"version", "key", "device", "pid", "arg", "type"}) {
    if (entry.isMember(key)) {
      const Json::Value& v = entry[key];
      return call + " " + (v.isBool() ? (v.asBool() ? "true" : "false") : v.asString());
    }
  }
  return call;
}

// lark finds its shell tools through PATH; nothing else is inherited.
std::string InheritedPath() {
  const char* path = getenv("PATH");
  return path && *path ? path : "/usr/bin:/bin";
}

}  // namespace

std::string ProcessResult_t::Describe() const {
  std::ostringstream out;
  if (!bStarted) {
    out << "not started";
  } else if (bTimedOut) {
    out << "timed out";
  } else if (bExited) {
    out << "exit status " << nExitStatus;
  } else {
    out << "killed by signal " << nSignal;
  }
  if (!sOutput.empty()) out << "; output:\n" << sOutput;
  return out.str();
}

CChildProcess::~CChildProcess() {
  if (m_pid > 0) Stop();
}

bool CChildProcess::Start(const std::vector<std::string>& argv,
                          const std::vector<std::string>& env,
                          const std::string& outputFile,
                          bool bBlockStopSignals) {
  m_sOutputFile = outputFile;
  std::vector<std::string> args = argv, envs = env;
  std::vector<char*> cArgs = CStrings(args), cEnv = CStrings(envs);

  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  if (posix_spawn_file_actions_init(&actions) != 0) {
    ADD_FAILURE() << "posix_spawn_file_actions_init failed";
    return false;
  }
  if (posix_spawnattr_init(&attr) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    ADD_FAILURE() << "posix_spawnattr_init failed";
    return false;
  }
  // Its own process group, so that a timeout also ends what it started.
  short flags = POSIX_SPAWN_SETPGROUP;
  sigset_t blocked;
  sigemptyset(&blocked);
  if (bBlockStopSignals) {
    flags |= POSIX_SPAWN_SETSIGMASK;
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGINT);
  }
  int rc = posix_spawnattr_setflags(&attr, flags);
  if (rc == 0) rc = posix_spawnattr_setpgroup(&attr, 0);
  if (rc == 0 && bBlockStopSignals) rc = posix_spawnattr_setsigmask(&attr, &blocked);
  if (rc == 0) rc = posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (rc == 0) {
    rc = posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(),
                                          O_WRONLY | O_CREAT | O_TRUNC, 0644);
  }
  if (rc == 0) rc = posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = -1;
  if (rc == 0) rc = posix_spawn(&pid, cArgs[0], &actions, &attr, cArgs.data(), cEnv.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    ADD_FAILURE() << "cannot start " << argv[0] << ": " << strerror(rc);
    return false;
  }
  m_pid = pid;
  m_pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (m_pidfd < 0) {
    ADD_FAILURE() << "pidfd_open: " << strerror(errno);
    kill(-m_pid, SIGKILL);
    int status;
    while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
    }
    m_pid = -1;
    return false;
  }
  return true;
}

ProcessResult_t CChildProcess::Wait(std::chrono::milliseconds timeout) {
  ProcessResult_t result;
  if (m_pid <= 0) return result;

  const auto deadline = std::chrono::steady_clock::now() + timeout;
  bool bEnded = false;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    struct pollfd pfd = {m_pidfd, POLLIN, 0};
    const int n = poll(&pfd, 1, static_cast<int>(left.count()));
    if (n > 0) {
      bEnded = true;
      break;
    }
    if (n < 0 && errno != EINTR) {
      ADD_FAILURE() << "poll: " << strerror(errno);
      break;
    }
  }
  if (!bEnded) kill(-m_pid, SIGKILL);

  int status = 0;
  pid_t waited;
  do {
    waited = waitpid(m_pid, &status, 0);
  } while (waited < 0 && errno == EINTR);
  if (waited == m_pid) {
    result = FromWaitStatus(status);
  } else {
    ADD_FAILURE() << "waitpid: " << strerror(errno);
  }
  result.bTimedOut = !bEnded;
  if (!bEnded) kill(-m_pid, SIGKILL);  // leftovers of its group
  close(m_pidfd);
  m_pidfd = -1;
  m_pid = -1;
  result.sOutput = ReadWholeFile(m_sOutputFile);
  return result;
}

ProcessResult_t CChildProcess::Stop() {
  if (m_pid <= 0) return {};
  kill(m_pid, SIGTERM);
  return Wait(kStopTimeout);
}

std::vector<Json::Value> CTranscript::Calls(const std::string& call) const {
  return sim::CallsNamed(m_entries, call);
}

std::vector<std::string> CTranscript::Steps(bool bEmptyPolls) const {
  std::vector<std::string> result;
  for (const Json::Value& entry : m_entries) {
    std::string step = ShortStep(entry);
    if (!bEmptyPolls && step == "PollNextEvent -") continue;
    result.push_back(step);
  }
  return result;
}

std::vector<std::string> CTranscript::Summary(const std::string& from,
                                              bool bEmptyPolls) const {
  const std::vector<std::string> steps = Steps(bEmptyPolls);
  auto it = steps.begin();
  if (!from.empty()) {
    it = std::find(steps.begin(), steps.end(), from);
    if (it != steps.end()) ++it;
  }
  std::vector<std::string> result;
  while (it != steps.end()) {
    auto runEnd = std::find_if(it, steps.end(), [&](const std::string& s) { return s != *it; });
    const auto count = runEnd - it;
    result.push_back(count > 1 ? *it + " x" + std::to_string(count) : *it);
    it = runEnd;
  }
  return result;
}

std::vector<uint64_t> CTranscript::SleepsMs() const {
  std::vector<uint64_t> result;
  for (const Json::Value& entry : Calls("sleep")) result.push_back(entry["us"].asUInt64() / 1000);
  return result;
}

std::string CTranscript::Dump() const {
  std::string out;
  for (const std::string& step : Steps(true)) out += step + "\n";
  return out;
}

CLarkRun::CLarkRun() {
  if (m_dir.path().empty()) {
    ADD_FAILURE() << "cannot make a temporary directory: " << strerror(errno);
    return;
  }
  m_sHome = m_dir.path() + "/home";
  if (mkdir(m_sHome.c_str(), 0700) != 0) {
    ADD_FAILURE() << "mkdir " << m_sHome << ": " << strerror(errno);
  }
  m_sTranscript = m_dir.path() + "/transcript.jsonl";
}

void CLarkRun::SetScenario(const std::string& json) {
  m_sScenario = m_dir.At("scenario.json");
  if (!ScopedTempDir::WriteFile(m_sScenario, json)) ADD_FAILURE() << "cannot write " << m_sScenario;
}

std::vector<std::string> CLarkRun::BaseEnvironment() const {
  std::vector<std::string> env = {
      "HOME=" + m_sHome,
      "PATH=" + InheritedPath(),
      "TANDEM_SIM_TRANSCRIPT=" + m_sTranscript,
      "LARK_FAKE_SLEEP_LOG=" + m_sTranscript,
      std::string("LD_PRELOAD=") + LARK_FAKE_SLEEP,
      // The preloaded library comes before the sanitizer runtime, and -crash
      // must die of its signal rather than end in a sanitizer report.
      "ASAN_OPTIONS=verify_asan_link_order=0:handle_segv=0",
      "UBSAN_OPTIONS=handle_segv=0",
  };
  if (!m_sScenario.empty()) env.push_back("TANDEM_SIM_SCENARIO=" + m_sScenario);
  return env;
}

ProcessResult_t CLarkRun::Run(const std::vector<std::string>& args,
                              const std::string& binary) {
  if (m_dir.path().empty()) return {};
  std::vector<std::string> argv = {binary};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> env = BaseEnvironment();
  env.insert(env.end(), m_extraEnv.begin(), m_extraEnv.end());

  CChildProcess child;
  if (!child.Start(argv, env, m_dir.path() + "/output.txt")) return {};
  return child.Wait(kRunTimeout);
}

CTranscript CLarkRun::Transcript() const {
  std::vector<Json::Value> entries = sim::ReadTranscript(m_sTranscript);
  for (const Json::Value& entry : entries) {
    if (entry.isNull()) ADD_FAILURE() << "a transcript line is no JSON object";
  }
  return CTranscript(std::move(entries));
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "";
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}
