#include "base/logbuffer.h"

#include <cstring>

#include "base/assert.h"
#include "base/systemtime.h"

namespace {

uint32_t CurrentTimeMS() {
  double ms = SystemTicksToSeconds(GetSystemTimeInTicks()) * 1000.0;
  // Through 64 bits: the wrap to 32 bits is intended, the float-to-int
  // conversion must stay in range.
  return static_cast<uint32_t>(static_cast<uint64_t>(ms));
}

uint64_t MessageSize(const BufferedLogMessage_t& message) {
  return message.m_sText.size() + 1;
}

}  // namespace

std::unique_ptr<CLogBuffer> CLogBuffer::s_pInstance;

CLogBuffer* CLogBuffer::GetInstance() {
  if (!s_pInstance) s_pInstance.reset(new CLogBuffer());
  return s_pInstance.get();
}

CLogBuffer::CLogBuffer() {
  m_callback.Initialize(
      [this](ELogLevel level, const char* text, void*) { Record(level, text); },
      nullptr);
}

CLogBuffer::~CLogBuffer() {
  // Before any member goes: a dispatch on another thread finishes first and
  // no later one reaches this buffer.
  CLog::GetInstance()->RemoveCallback(&m_callback);
}

void CLogBuffer::SetBufferLimit(uint64_t limit) {
  {
    std::lock_guard<std::recursive_mutex> lock(m_bufferMutex);
    m_nMaxLogBufferingSize = limit;
  }
  DiscardExcessLogBuffering();
}

void CLogBuffer::DiscardExcessLogBuffering() {
  if (TrimToLimit()) ReportZeroLimit();
}

bool CLogBuffer::TrimToLimit() {
  std::lock_guard<std::recursive_mutex> lock(m_bufferMutex);
  if (m_nBufferedSize <= m_nMaxLogBufferingSize) return false;
  if (m_nMaxLogBufferingSize == 0) {
    m_vecMessages.clear();
    m_nBufferedSize = 0;
    return true;
  }
  uint64_t excess = m_nBufferedSize - m_nMaxLogBufferingSize;
  size_t drop = 0;
  while (drop < m_vecMessages.size() &&
         MessageSize(m_vecMessages[drop]) <= excess) {
    uint64_t size = MessageSize(m_vecMessages[drop]);
    excess -= size;
    m_nBufferedSize -= size;
    ++drop;
  }
  m_vecMessages.erase(m_vecMessages.begin(), m_vecMessages.begin() + drop);
  return false;
}

void CLogBuffer::ReportZeroLimit() {
  {
    std::lock_guard<std::recursive_mutex> lock(m_bufferMutex);
    if (m_bReportingZeroLimit) return;
    m_bReportingZeroLimit = true;
  }
  // No lock of ours is held while reporting: the report logs, and the log
  // dispatcher's lock must never be taken inside the buffer's.
  AssertMsgNonFatal("m_nMaxLogBufferingSize > 0");

  std::lock_guard<std::recursive_mutex> lock(m_bufferMutex);
  m_bReportingZeroLimit = false;
  if (m_nMaxLogBufferingSize == 0) {
    m_vecMessages.clear();
    m_nBufferedSize = 0;
  }
}

void CLogBuffer::Record(ELogLevel level, const char* text) {
  if (level > m_eMaxLogLevel) return;
  {
    std::lock_guard<std::recursive_mutex> lock(m_bufferMutex);
    if (m_bReportingZeroLimit) return;
    BufferedLogMessage_t message{CurrentTimeMS(), level, text};
    m_nBufferedSize += MessageSize(message);
    m_vecMessages.push_back(std::move(message));
  }
  DiscardExcessLogBuffering();
}

uint64_t CLogBuffer::DumpLogBufferToBuffer(char* buffer, uint64_t size) {
  if (!buffer || size == 0) return 0;
  std::lock_guard<std::recursive_mutex> lock(m_bufferMutex);
  if (m_vecMessages.empty()) return 0;

  uint64_t room = size - 1;
  size_t first = m_vecMessages.size();
  while (first > 0 && m_vecMessages[first - 1].m_sText.size() < room) {
    room -= m_vecMessages[first - 1].m_sText.size();
    --first;
  }
  if (first == m_vecMessages.size()) return 0;

  uint64_t written = 0;
  for (size_t i = first; i < m_vecMessages.size(); ++i) {
    const std::string& text = m_vecMessages[i].m_sText;
    memcpy(buffer + written, text.data(), text.size());
    written += text.size();
  }
  buffer[written] = '\0';
  return written;
}

std::vector<BufferedLogMessage_t> CLogBuffer::GetMessages() {
  std::lock_guard<std::recursive_mutex> lock(m_bufferMutex);
  return m_vecMessages;
}

uint64_t CLogBuffer::GetBufferedSize() {
  std::lock_guard<std::recursive_mutex> lock(m_bufferMutex);
  return m_nBufferedSize;
}
