#include "base/log.h"

#include <cstdio>
#include <algorithm>

namespace {

constexpr int kLogBufferSize = 4096;
// Leaves room for the newline and the terminating zero.
constexpr int kMaxLogText = kLogBufferSize - 2;

void LogHelper(ELogLevel level, const char* format, va_list args) {
  CLog* log = CLog::GetInstance();
  if (log) log->Log(level, format, args);
}

}  // namespace

std::atomic<CLog*> CLog::s_pInstance{nullptr};
std::mutex CLog::s_mutex;

CLog* CLog::GetInstance() {
  CLog* instance = s_pInstance.load(std::memory_order_acquire);
  if (instance) return instance;
  std::lock_guard<std::mutex> lock(s_mutex);
  instance = s_pInstance.load(std::memory_order_relaxed);
  if (!instance) {
    instance = new CLog();
    s_pInstance.store(instance, std::memory_order_release);
  }
  return instance;
}

bool CLog::AddCallback(CLogCallback* callback) {
  if (!callback) return false;
  std::lock_guard<std::recursive_mutex> lock(m_callbackMutex);
  m_vecCallbacks.push_back(callback);
  return true;
}

void CLog::RemoveCallback(CLogCallback* callback) {
  if (!callback) return;
  std::lock_guard<std::recursive_mutex> lock(m_callbackMutex);
  m_vecCallbacks.erase(
      std::remove(m_vecCallbacks.begin(), m_vecCallbacks.end(), callback),
      m_vecCallbacks.end());
}

void CLog::Log(ELogLevel level, const char* format, va_list args) {
  char buffer[kLogBufferSize];
  int n = vsnprintf(buffer, sizeof(buffer), format, args);
  if (n < 0) n = 0;  // an encoding error leaves nothing usable
  if (n > kMaxLogText) n = kMaxLogText;
  // Cut here even when the kept part already ends in a newline; otherwise the
  // character after it would stay and the text would end without one.
  buffer[n] = '\0';
  if (n == 0 || buffer[n - 1] != '\n') {
    buffer[n] = '\n';
    buffer[n + 1] = '\0';
  }

  std::lock_guard<std::recursive_mutex> lock(m_callbackMutex);
  // Index loop: a sink may log again, nested, on this thread; the list is
  // only changed by sinks registering or leaving, which we tolerate.
  for (size_t i = 0; i < m_vecCallbacks.size(); ++i) {
    CLogCallback* cb = m_vecCallbacks[i];
    cb->m_fnCallback(level, buffer, cb->m_pUserData);
  }
}

void CLog::LogFormatted(ELogLevel level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  Log(level, format, args);
  va_end(args);
}

CLogCallback::~CLogCallback() {
  if (m_pLog) m_pLog->RemoveCallback(this);
}

bool CLogCallback::Initialize(Fn fn, void* userData) {
  if (!m_pLog) m_pLog = CLog::GetInstance();
  if (!m_pLog) return false;
  if (!fn) return false;
  m_fnCallback = std::move(fn);
  m_pUserData = userData;
  return m_pLog->AddCallback(this);
}

void Log(const char* format, ...) {
  va_list args;
  va_start(args, format);
  LogHelper(LogLevel_Info, format, args);
  va_end(args);
}

void Log(ELogLevel level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  LogHelper(level, format, args);
  va_end(args);
}

void LogDirect(ELogLevel level, const char* format, va_list args) {
  LogHelper(level, format, args);
}
