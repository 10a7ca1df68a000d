#include "base/threadtools.h"

#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "base/log.h"

namespace {

thread_local uint32_t t_nCachedThreadId = 0;

}  // namespace

// Created before main in this order and destroyed at exit in reverse: the
// keys are deleted and the mutex destroyed.
uint32_t g_ThreadMainThreadID = ThreadGetCurrentId();
CThreadLocalPtr<CThread> g_pCurThread;
CThreadLocalInt<long> g_nCurThreadSuspendCount;
CThreadMutex g_SuspendResumeLock;

void ThreadSleep(uint64_t milliseconds) {
  if (milliseconds == 0) {
    sched_yield();
    return;
  }
  // The product is formed in 32 bits, as every caller of this helper expects.
  uint32_t micros = static_cast<uint32_t>(milliseconds) * 1000u;
  usleep(micros);
}

void CThread::Sleep(uint32_t milliseconds) { usleep(milliseconds * 1000u); }

uint32_t ThreadGetCurrentId() {
  if (t_nCachedThreadId == 0)
    t_nCachedThreadId = static_cast<uint32_t>(syscall(SYS_gettid));
  return t_nCachedThreadId;
}

uint32_t ThreadGetCurrentProcessId() { return static_cast<uint32_t>(getpid()); }

CThreadMutex::CThreadMutex() {
  pthread_mutexattr_init(&m_Attr);
  pthread_mutexattr_settype(&m_Attr, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(&m_Mutex, &m_Attr);
}

CThreadMutex::~CThreadMutex() {
  pthread_mutex_destroy(&m_Mutex);
  pthread_mutexattr_destroy(&m_Attr);
}

void CThreadMutex::Lock() { pthread_mutex_lock(&m_Mutex); }
void CThreadMutex::Unlock() { pthread_mutex_unlock(&m_Mutex); }
bool CThreadMutex::TryLock() { return pthread_mutex_trylock(&m_Mutex) == 0; }

CThreadLocalBase::CThreadLocalBase() {
  if (pthread_key_create(&m_hKey, nullptr) != 0) {
    Log("Out of thread local storage!\n");
    return;
  }
  m_bValid = true;
}

void* CThreadLocalBase::GetRaw() const {
  return m_bValid ? pthread_getspecific(m_hKey) : nullptr;
}

void CThreadLocalBase::SetRaw(void* value) {
  if (m_bValid) pthread_setspecific(m_hKey, value);
}

void CThreadLocalBase::DeleteKey() {
  if (!m_bValid) return;
  pthread_key_delete(m_hKey);
  m_bValid = false;
}
