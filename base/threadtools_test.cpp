#include "base/threadtools.h"

#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "base/recording_log_sink.h"

namespace {

TEST(ThreadTools, CurrentIdIsKernelThreadIdPerThread) {
  uint32_t self = ThreadGetCurrentId();
  EXPECT_EQ(self, static_cast<uint32_t>(syscall(SYS_gettid)));
  EXPECT_EQ(ThreadGetCurrentId(), self);  // cached value is the same

  uint32_t other = 0, otherKernel = 0;
  std::thread t([&] {
    other = ThreadGetCurrentId();
    otherKernel = static_cast<uint32_t>(syscall(SYS_gettid));
  });
  t.join();
  EXPECT_EQ(other, otherKernel);
  EXPECT_NE(other, self);
  EXPECT_EQ(ThreadGetCurrentProcessId(), static_cast<uint32_t>(getpid()));
}

TEST(ThreadTools, StartupObjectsExistBeforeMain) {
  // The test runner's main thread ran the static initialisers.
  EXPECT_EQ(g_ThreadMainThreadID, static_cast<uint32_t>(getpid()));
  EXPECT_TRUE(g_pCurThread.IsValid());
  EXPECT_TRUE(g_nCurThreadSuspendCount.IsValid());
  EXPECT_TRUE(g_SuspendResumeLock.TryLock());
  g_SuspendResumeLock.Unlock();
}

TEST(ThreadTools, SleepCountIsCutTo32BitsOfMicroseconds) {
  // 2^32 + 1 ms keeps only its low 32 bits: a 1 ms sleep, not 50 days.
  auto start = std::chrono::steady_clock::now();
  ThreadSleep((uint64_t{1} << 32) + 1);
  ThreadSleep(0);
  CThread::Sleep(0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(ThreadTools, MutexIsRecursiveAndExcludesOtherThreads) {
  CThreadMutex mutex;
  mutex.Lock();
  mutex.Lock();  // would deadlock if not recursive
  bool otherGotIt = true;
  std::thread([&] { otherGotIt = mutex.TryLock(); }).join();
  EXPECT_FALSE(otherGotIt);
  mutex.Unlock();
  std::thread([&] { otherGotIt = mutex.TryLock(); }).join();
  EXPECT_FALSE(otherGotIt);  // still held once
  mutex.Unlock();
  std::thread([&] {
    otherGotIt = mutex.TryLock();
    if (otherGotIt) mutex.Unlock();
  }).join();
  EXPECT_TRUE(otherGotIt);
}

TEST(ThreadTools, ThreadLocalValuesArePerThread) {
  CThreadLocalInt<long> count;
  CThreadLocalPtr<int> ptr;
  int value = 5;
  count.Set(-7);
  ptr.Set(&value);
  long otherCount = 1;
  int* otherPtr = &value;
  std::thread([&] {
    otherCount = count.Get();
    otherPtr = ptr.Get();
  }).join();
  EXPECT_EQ(count.Get(), -7);
  EXPECT_EQ(ptr.Get(), &value);
  EXPECT_EQ(otherCount, 0);
  EXPECT_EQ(otherPtr, nullptr);
}

TEST(ThreadTools, ThreadLocalWithoutKeyIsUnusableAndSaysSo) {
  CRecordingLogSink sink;

  // Use up every key the process may have, so the next creation fails.
  std::vector<pthread_key_t> taken;
  pthread_key_t key;
  while (taken.size() < 100000 && pthread_key_create(&key, nullptr) == 0)
    taken.push_back(key);

  {
    CThreadLocalInt<long> starved;
    EXPECT_FALSE(starved.IsValid());
    starved.Set(42);
    EXPECT_EQ(starved.Get(), 0);
  }
  for (pthread_key_t k : taken) pthread_key_delete(k);

  EXPECT_EQ(sink.Texts(), std::vector<std::string>{"Out of thread local storage!\n"});
}

}  // namespace
