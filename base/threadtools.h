#pragma once
// Thread and time basics: sleeping, thread and process ids, a recursive
// mutex and per-thread value slots. Start-up creates the main thread's id and
// a few process-wide objects before main and releases them at exit.

#include <pthread.h>
#include <cstdint>

// 0 yields the processor once; otherwise sleeps ms * 1000 microseconds (the
// product formed in 32 bits from the count's low 32 bits).
void ThreadSleep(uint64_t milliseconds);

// Kernel thread id of the caller, cached per thread after the first call. A
// forked child inherits the parent's cached value until it execs.
uint32_t ThreadGetCurrentId();
uint32_t ThreadGetCurrentProcessId();

class CThread {
 public:
  // Always sleeps ms * 1000 microseconds, also for 0 (no yield).
  static void Sleep(uint32_t milliseconds);
};

// A recursive mutex: the owning thread may lock again; each lock needs its
// own unlock.
class CThreadMutex {
 public:
  CThreadMutex();
  ~CThreadMutex();
  CThreadMutex(const CThreadMutex&) = delete;
  CThreadMutex& operator=(const CThreadMutex&) = delete;

  void Lock();
  void Unlock();
  bool TryLock();

 private:
  pthread_mutex_t m_Mutex;
  pthread_mutexattr_t m_Attr;
};

// One thread-specific key. When the key cannot be created the constructor
// logs "Out of thread local storage!" and the object is unusable: reads give
// the zero value and writes are ignored.
class CThreadLocalBase {
 public:
  CThreadLocalBase();
  CThreadLocalBase(const CThreadLocalBase&) = delete;
  CThreadLocalBase& operator=(const CThreadLocalBase&) = delete;

  bool IsValid() const { return m_bValid; }

 protected:
  ~CThreadLocalBase() = default;  // the derived class deletes the key
  void* GetRaw() const;
  void SetRaw(void* value);
  void DeleteKey();

 private:
  pthread_key_t m_hKey;
  bool m_bValid = false;
};

template <typename T>
class CThreadLocalPtr : public CThreadLocalBase {
 public:
  ~CThreadLocalPtr() { DeleteKey(); }
  T* Get() const { return static_cast<T*>(GetRaw()); }
  void Set(T* value) { SetRaw(value); }
};

template <typename T>
class CThreadLocalInt : public CThreadLocalBase {
 public:
  ~CThreadLocalInt() { DeleteKey(); }
  T Get() const {
    return static_cast<T>(reinterpret_cast<intptr_t>(GetRaw()));
  }
  void Set(T value) {
    SetRaw(reinterpret_cast<void*>(static_cast<intptr_t>(value)));
  }
};

// Process-wide objects made at start-up; nothing on the start-up path reads
// them beyond their creation.
extern uint32_t g_ThreadMainThreadID;
extern CThreadLocalPtr<CThread> g_pCurThread;
extern CThreadLocalInt<long> g_nCurThreadSuspendCount;
extern CThreadMutex g_SuspendResumeLock;
