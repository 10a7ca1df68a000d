#pragma once
// Process-wide log dispatch.
//
// `Log` formats a message once, on the stack, and hands it to every sink
// registered with the dispatcher `CLog`. Nothing is written by this unit
// itself: a message given before any sink has registered is dropped
// silently. Every message reaches the sinks ending in exactly one newline
// appended when missing, and at most 4095 characters long (longer texts are
// cut). Levels are not filtered here; each sink filters for itself.
//
// Thread safety: any thread may log. The dispatcher's recursive lock is held
// while the sinks run, so a sink may log again on the same thread, and a sink
// is never removed while it runs.

#include <atomic>
#include <cstdarg>
#include <functional>
#include <mutex>
#include <vector>

enum ELogLevel : int {
  LogLevel_Fatal = 0,  // only a level: logging at it does not stop anything
  LogLevel_Error = 1,
  LogLevel_Warning = 2,
  LogLevel_Info = 3,
  LogLevel_Detail = 4,
};

class CLogCallback;

class CLog {
 public:
  // The process-wide dispatcher, created on first use and never destroyed.
  static CLog* GetInstance();

  // A dispatcher of one's own, with no sinks: messages given to it reach
  // only the sinks registered on it, never those of the process-wide one.
  CLog() = default;
  CLog(const CLog&) = delete;
  CLog& operator=(const CLog&) = delete;

  // Appends the sink (duplicates allowed); false for a null pointer.
  bool AddCallback(CLogCallback* callback);
  // Removes every entry equal to `callback`; a null pointer is ignored.
  void RemoveCallback(CLogCallback* callback);

  // Formats into a 4096-byte buffer and dispatches to every sink in
  // registration order.
  void Log(ELogLevel level, const char* format, va_list args);
  // The variadic form. A template, so that a first value of 0 or nullptr is
  // formatted as a value instead of being taken for an argument list.
  template <typename... Args>
  void Log(ELogLevel level, const char* format, Args... args) {
    LogFormatted(level, format, args...);
  }

 private:
  void LogFormatted(ELogLevel level, const char* format, ...);

  std::recursive_mutex m_callbackMutex;
  std::vector<CLogCallback*> m_vecCallbacks;

  static std::atomic<CLog*> s_pInstance;
  static std::mutex s_mutex;
};

// A sink's registration. Destroying it unregisters the sink, so an owner
// destroys its registration before anything the sink uses.
class CLogCallback {
 public:
  using Fn = std::function<void(ELogLevel, const char*, void*)>;

  // `log` null means the process-wide dispatcher.
  explicit CLogCallback(CLog* log = nullptr) : m_pLog(log) {}
  ~CLogCallback();
  CLogCallback(const CLogCallback&) = delete;
  CLogCallback& operator=(const CLogCallback&) = delete;

  // Registers `fn` with `userData`; false (and not registered) when `fn` is
  // empty or no dispatcher could be had.
  bool Initialize(Fn fn, void* userData);

 private:
  friend class CLog;
  Fn m_fnCallback;
  void* m_pUserData = nullptr;
  CLog* m_pLog = nullptr;
};

// Info level; the form most callers use.
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Log(ELogLevel level, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
// For callers that already hold an argument list.
void LogDirect(ELogLevel level, const char* format, va_list args);
