#pragma once
// Process-wide assertion dispatch.
//
// A failed internal check is reported with `CAssert::AssertMsgImpl` (or the
// `AssertMsgNonFatal` macro below): the failure is logged at Error level
// through the log dispatcher, then handed to every sink registered with a
// `CAssertCallback`. The dispatcher itself never ends the process, not even
// for a fatal assertion: what to do about one is the sinks' decision. A sink
// may ask for a debugger stop by setting the break flag it is given; the
// dispatcher then executes a breakpoint trap after all sinks have run, which
// stops an attached debugger and, with none attached, ends the process with
// SIGTRAP.
//
// Thread safety: any thread may assert. The recursive lock is held while the
// sinks run, so a sink may assert again on the same thread, and a sink is
// never removed while it runs.

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

class CAssertCallback;

class CAssert {
 public:
  // The single dispatcher, created on first use and never destroyed.
  static CAssert* GetInstance();

  // Appends the sink (duplicates allowed); false for a null pointer.
  bool AddCallback(CAssertCallback* callback);
  // Removes every entry equal to `callback`; a null pointer is ignored.
  void RemoveCallback(CAssertCallback* callback);

  // Reports one failure at `file`:`line`. `argCount` says how the message
  // arguments that follow are read: 0, none (the message is "<unknown>");
  // 1, one string that is the whole message; 2 or more, a printf format and
  // its arguments. A null string or format reads as "<unknown>". Messages
  // longer than 8191 characters are cut. Returns to the caller unless a sink
  // asked for a debugger stop.
  void AssertMsgImpl(const char* file, uint32_t line, bool fatal,
                     uint32_t argCount, ...);

 private:
  CAssert() = default;

  std::recursive_mutex m_callbackMutex;
  std::vector<CAssertCallback*> m_vecCallbacks;

  static std::atomic<CAssert*> m_pInstance;
  static std::mutex m_mutex;
};

// A sink's registration. Destroying it unregisters the sink, so an owner
// destroys its registration before anything the sink uses.
class CAssertCallback {
 public:
  // (message, source file, line, fatal, user data, break flag to set for a
  // debugger stop)
  using Fn = std::function<void(const char*, const char*, uint32_t, bool,
                                void*, bool*)>;

  CAssertCallback() = default;
  ~CAssertCallback();
  CAssertCallback(const CAssertCallback&) = delete;
  CAssertCallback& operator=(const CAssertCallback&) = delete;

  // Registers `fn` with `userData` on the process-wide dispatcher; false
  // (and not registered) when `fn` is empty.
  bool Initialize(Fn fn, void* userData);

 private:
  friend class CAssert;
  Fn m_fnCallback;
  void* m_pUserData = nullptr;
  CAssert* m_pAssert = nullptr;
};

// Reports a failed check that the program survives: `message` (a string) is
// the whole text, the source position is the caller's.
#define AssertMsgNonFatal(message) \
  CAssert::GetInstance()->AssertMsgImpl(__FILE__, __LINE__, false, 1, (message))
