#include "base/assert.h"

#include <signal.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "base/log.h"

namespace {

constexpr size_t kAssertMessageSize = 8192;
constexpr char kUnknownMessage[] = "<unknown>";

// Stops an attached debugger at the caller; execution resumes after it when
// the debugger continues.
inline void DebuggerBreak() {
#if defined(__x86_64__) || defined(__i386__)
  __asm__ volatile("int3");
#else
  raise(SIGTRAP);
#endif
}

}  // namespace

std::atomic<CAssert*> CAssert::m_pInstance{nullptr};
std::mutex CAssert::m_mutex;

CAssert* CAssert::GetInstance() {
  CAssert* instance = m_pInstance.load(std::memory_order_acquire);
  if (instance) return instance;
  std::lock_guard<std::mutex> lock(m_mutex);
  instance = m_pInstance.load(std::memory_order_relaxed);
  if (!instance) {
    instance = new CAssert();
    m_pInstance.store(instance, std::memory_order_release);
  }
  return instance;
}

bool CAssert::AddCallback(CAssertCallback* callback) {
  if (!callback) return false;
  std::lock_guard<std::recursive_mutex> lock(m_callbackMutex);
  m_vecCallbacks.push_back(callback);
  return true;
}

void CAssert::RemoveCallback(CAssertCallback* callback) {
  if (!callback) return;
  std::lock_guard<std::recursive_mutex> lock(m_callbackMutex);
  m_vecCallbacks.erase(
      std::remove(m_vecCallbacks.begin(), m_vecCallbacks.end(), callback),
      m_vecCallbacks.end());
}

void CAssert::AssertMsgImpl(const char* file, uint32_t line, bool fatal,
                            uint32_t argCount, ...) {
  char message[kAssertMessageSize] = {};
  va_list args;
  va_start(args, argCount);
  if (argCount == 0) {
    snprintf(message, sizeof(message), "%s", kUnknownMessage);
  } else {
    const char* text = va_arg(args, const char*);
    if (!text) {
      snprintf(message, sizeof(message), "%s", kUnknownMessage);
    } else if (argCount == 1) {
      snprintf(message, sizeof(message), "%s", text);
    } else {
      vsnprintf(message, sizeof(message), text, args);
    }
  }
  va_end(args);
  if (!file) file = kUnknownMessage;

  Log(LogLevel_Error, "ASSERT: \"%s\" at %s:%d.\n", message, file,
      static_cast<int>(line));

  bool shouldBreak = false;
  {
    std::lock_guard<std::recursive_mutex> lock(m_callbackMutex);
    // Index loop: a sink may assert again, nested, on this thread.
    for (size_t i = 0; i < m_vecCallbacks.size(); ++i) {
      CAssertCallback* cb = m_vecCallbacks[i];
      cb->m_fnCallback(message, file, line, fatal, cb->m_pUserData,
                       &shouldBreak);
    }
  }
  if (shouldBreak) DebuggerBreak();
}

CAssertCallback::~CAssertCallback() {
  if (m_pAssert) m_pAssert->RemoveCallback(this);
}

bool CAssertCallback::Initialize(Fn fn, void* userData) {
  m_pAssert = CAssert::GetInstance();
  if (!m_pAssert) return false;
  if (!fn) return false;
  m_fnCallback = std::move(fn);
  m_pUserData = userData;
  return m_pAssert->AddCallback(this);
}
