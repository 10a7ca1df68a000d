#pragma once
// Test helper: a log sink that keeps every message it receives, registered
// for its lifetime on the process-wide dispatcher or on a given one.

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
  explicit CRecordingLogSink(CLog* log = nullptr) : m_callback(log) {
    m_callback.Initialize(
        [this](ELogLevel level, const char* text, void*) {
          std::lock_guard<std::mutex> lock(m_mutex);
          m_messages.push_back({level, text});
        },
        nullptr);
  }

  std::vector<LoggedMessage> Messages() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const LoggedMessage& m : Messages()) texts.push_back(m.text);
    return texts;
  }

 private:
  mutable std::mutex m_mutex;
  std::vector<LoggedMessage> m_messages;
  CLogCallback m_callback;  // declared last: unregistered before the rest goes
};
