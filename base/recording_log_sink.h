#pragma once
// Test support: a log sink that keeps every message it receives, registered
// for its lifetime on the process-wide dispatcher or on a given one.
// Registration cannot fail for a sink with a function, so there is nothing
// to report.

#include <mutex>
#include <string>
#include <vector>

#include "base/log.h"

struct LoggedMessage {
  ELogLevel level;
  std::string text;
};

class CRecordingLogSink {
 public:
  // `log` null means the process-wide dispatcher.
  explicit CRecordingLogSink(CLog* log = nullptr);

  // What arrived so far, oldest first: with levels, or the texts alone.
  std::vector<LoggedMessage> Messages() const;
  std::vector<std::string> Texts() const;

 private:
  mutable std::mutex m_mutex;
  std::vector<LoggedMessage> m_messages;
  CLogCallback m_callback;  // declared last: unregistered before the rest goes
};
