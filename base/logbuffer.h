#pragma once
// In-memory buffer of the most recent log messages, oldest dropped first,
// for crash dump comments.
//
// A `CLogBuffer` registers itself on the process-wide log dispatcher when
// built and records every message up to Info level (Detail is skipped) that
// arrives afterwards. It keeps the sum of (text length + 1) over its messages
// near a limit: old messages are dropped whole, so the sum may stay above
// the limit by less than the size of the oldest one, and the newest message
// is always kept. A limit of 0 is a programming error: it is reported as a
// non-fatal assertion and the buffer then keeps nothing; messages logged
// while that report is made are not recorded, so the report cannot feed
// itself.
//
// Thread safety: every operation may be called from any thread, except the
// first `GetInstance`, which belongs to start-up before other threads run.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/log.h"

struct BufferedLogMessage_t {
  uint32_t m_nTimeMS;  // monotonic raw clock in ms, modulo 2^32
  ELogLevel m_eLevel;
  std::string m_sText;  // as dispatched, ending in a newline
};

class CLogBuffer {
 public:
  // The process-wide buffer, created (and registered) on first use and
  // destroyed at exit.
  static CLogBuffer* GetInstance();

  // An empty buffer with a limit of 65,536, registered on the process-wide
  // dispatcher until destroyed.
  CLogBuffer();
  ~CLogBuffer();
  CLogBuffer(const CLogBuffer&) = delete;
  CLogBuffer& operator=(const CLogBuffer&) = delete;

  // Sets the limit and drops the excess at once. 0 is reported as an
  // assertion (see above).
  void SetBufferLimit(uint64_t limit);

  // Drops the oldest messages while the buffer is above its limit.
  void DiscardExcessLogBuffering();

  // Copies the newest messages that fit, oldest of them first, into `buffer`
  // and ends them with a zero byte; returns the characters copied. Returns 0
  // and writes nothing when `size` is 0, `buffer` is null, nothing is
  // buffered or not even the newest message fits, so the caller keeps its
  // buffer terminated itself.
  uint64_t DumpLogBufferToBuffer(char* buffer, uint64_t size);

  // A copy of the buffered messages, oldest first, and the sum of their
  // (text length + 1).
  std::vector<BufferedLogMessage_t> GetMessages();
  uint64_t GetBufferedSize();

 private:
  void Record(ELogLevel level, const char* text);
  // Drops messages over the limit; with a limit of 0 drops all and returns
  // true so that the caller reports it once it holds no lock.
  bool TrimToLimit();
  void ReportZeroLimit();

  CLogCallback m_callback;
  std::recursive_mutex m_bufferMutex;
  std::vector<BufferedLogMessage_t> m_vecMessages;
  uint64_t m_nMaxLogBufferingSize = 65536;
  uint64_t m_nBufferedSize = 0;
  ELogLevel m_eMaxLogLevel = LogLevel_Info;
  // Set while the zero limit is being reported; nothing is recorded then.
  bool m_bReportingZeroLimit = false;

  static std::unique_ptr<CLogBuffer> s_pInstance;
};
