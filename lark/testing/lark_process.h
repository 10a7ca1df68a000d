#pragma once
// Test support: runs the staged lark (or another staged program) as a
// process of its own, with a clean environment and a scenario for the
// simulated runtime, and reads back what it did.
//
// Every wait here is bounded: a child that outlives its deadline is killed
// and the run is reported as timed out. Failures to set a run up are
// reported through gtest (ADD_FAILURE) and yield a result with bStarted
// false, so a test goes on to fail on its own assertions instead of hanging.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include <json/value.h>

#include "base/scoped_temp_dir.h"

struct ProcessResult_t {
  bool bStarted = false;
  bool bTimedOut = false;
  bool bExited = false;  // ended through exit; else killed by nSignal
  int nExitStatus = -1;
  int nSignal = 0;
  std::string sOutput;  // standard output and error together

  std::string Describe() const;
};

// A child started with exactly `env`, its output going to `outputFile`.
// The destructor kills a child still running and reaps it.
class CChildProcess {
 public:
  CChildProcess() = default;
  ~CChildProcess();
  CChildProcess(const CChildProcess&) = delete;
  CChildProcess& operator=(const CChildProcess&) = delete;

  // False (and a gtest failure) when the process cannot be started. With
  // `bBlockStopSignals`, SIGTERM and SIGINT start out blocked, so that a
  // server that waits for them cannot be killed before it is ready.
  bool Start(const std::vector<std::string>& argv,
             const std::vector<std::string>& env, const std::string& outputFile,
             bool bBlockStopSignals = false);
  // Waits at most `timeout` for the end; kills the child on timeout.
  ProcessResult_t Wait(std::chrono::milliseconds timeout);
  // SIGTERM, then a bounded wait, then SIGKILL.
  ProcessResult_t Stop();

  pid_t Pid() const { return m_pid; }

 private:
  pid_t m_pid = -1;
  int m_pidfd = -1;
  std::string m_sOutputFile;
};

// What the simulated runtime recorded, in order, with the sleeps of the
// fake-sleep library among the calls.
class CTranscript {
 public:
  explicit CTranscript(std::vector<Json::Value> entries = {})
      : m_entries(std::move(entries)) {}

  const std::vector<Json::Value>& Entries() const { return m_entries; }
  // The entries with "call" equal to `call`.
  std::vector<Json::Value> Calls(const std::string& call) const;
  // One short line per entry, e.g. "VR_GetGenericInterface IVRSystem_023",
  // "PollNextEvent 700", "PollNextEvent -", "sleep 500ms". With
  // `bEmptyPolls` false the polls that found nothing are left out.
  std::vector<std::string> Steps(bool bEmptyPolls = false) const;
  // Steps() from the first entry after the first step equal to `from` (all
  // of them when `from` is empty, none when it does not occur), with runs of
  // equal steps collapsed into one "<step> x<count>".
  std::vector<std::string> Summary(const std::string& from = "",
                                   bool bEmptyPolls = false) const;
  // Requested sleep lengths in milliseconds, in order.
  std::vector<uint64_t> SleepsMs() const;
  // Steps() joined by newlines, for failure messages.
  std::string Dump() const;

 private:
  std::vector<Json::Value> m_entries;
};

// One run of the staged lark: a temporary HOME, a scenario file and a
// transcript shared with the fake-sleep library.
class CLarkRun {
 public:
  CLarkRun();

  // Scenario JSON for the simulated runtime; without one the simulated
  // runtime uses its defaults.
  void SetScenario(const std::string& json);
  // Extra "NAME=value" environment entries for the child.
  void AddEnvironment(const std::string& entry) { m_extraEnv.push_back(entry); }
  // Runs `binary` (default: the staged lark) with `args`.
  ProcessResult_t Run(const std::vector<std::string>& args,
                      const std::string& binary = LARK_STAGED_BINARY);

  CTranscript Transcript() const;
  const std::string& Home() const { return m_sHome; }
  const std::string& TranscriptPath() const { return m_sTranscript; }
  // The clean environment the child gets (without the extra entries).
  std::vector<std::string> BaseEnvironment() const;

 private:
  ScopedTempDir m_dir;
  std::string m_sHome;
  std::string m_sScenario;  // empty: none
  std::string m_sTranscript;
  std::vector<std::string> m_extraEnv;
};

// Reads a file whole; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);
