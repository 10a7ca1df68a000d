#include "base/recording_log_sink.h"

CRecordingLogSink::CRecordingLogSink(CLog* log) : m_callback(log) {
  m_callback.Initialize(
      [this](ELogLevel level, const char* text, void*) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_messages.push_back({level, text});
      },
      nullptr);
}

std::vector<LoggedMessage> CRecordingLogSink::Messages() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_messages;
}

std::vector<std::string> CRecordingLogSink::Texts() const {
  std::vector<std::string> texts;
  for (const LoggedMessage& m : Messages()) texts.push_back(m.text);
  return texts;
}
