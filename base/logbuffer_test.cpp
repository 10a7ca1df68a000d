#include "base/logbuffer.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/assert.h"
#include "base/recording_log_sink.h"

namespace {

std::vector<std::string> TextsOf(CLogBuffer& buffer) {
  std::vector<std::string> texts;
  for (const BufferedLogMessage_t& m : buffer.GetMessages())
    texts.push_back(m.m_sText);
  return texts;
}

uint64_t SumOfSizes(const std::vector<BufferedLogMessage_t>& messages) {
  uint64_t sum = 0;
  for (const BufferedLogMessage_t& m : messages) sum += m.m_sText.size() + 1;
  return sum;
}

// Buffers "a\n", "bb\n", "ccc\n": sizes 3, 4 and 5, 12 in all.
class LogBufferABC : public ::testing::Test {
 protected:
  void SetUp() override {
    Log("a");
    Log("bb");
    Log("ccc");
    ASSERT_EQ(12u, buffer.GetBufferedSize());
  }
  CLogBuffer buffer;
};

}  // namespace

TEST(LogBuffer, KeepsFatalToInfoAsDispatchedAndSkipsDetail) {
  CLogBuffer buffer;
  Log(LogLevel_Fatal, "f");
  Log(LogLevel_Error, "e");
  Log(LogLevel_Warning, "w\n");
  Log(LogLevel_Info, "i");
  Log(LogLevel_Detail, "d");

  std::vector<BufferedLogMessage_t> got = buffer.GetMessages();
  ASSERT_EQ(4u, got.size());
  const ELogLevel levels[] = {LogLevel_Fatal, LogLevel_Error, LogLevel_Warning,
                              LogLevel_Info};
  const char* texts[] = {"f\n", "e\n", "w\n", "i\n"};
  for (size_t i = 0; i < got.size(); ++i) {
    SCOPED_TRACE("message " + std::to_string(i));
    EXPECT_EQ(levels[i], got[i].m_eLevel);
    EXPECT_EQ(texts[i], got[i].m_sText);
  }
  EXPECT_EQ(SumOfSizes(got), buffer.GetBufferedSize());
}

// Messages of varied sizes under the default limit: the buffer stays above
// its limit by less than its oldest message, and keeps the newest.
TEST(LogBuffer, StaysWithinTheDefaultLimitByLessThanTheOldestMessage) {
  CLogBuffer buffer;
  for (int i = 0; i < 2000; ++i) {
    Log("message %d %s", i, std::string(i % 97, '.').c_str());
    if (i % 5 != 0) continue;  // each check copies the whole buffer
    std::vector<BufferedLogMessage_t> got = buffer.GetMessages();
    ASSERT_FALSE(got.empty());
    uint64_t sum = SumOfSizes(got);
    ASSERT_EQ(sum, buffer.GetBufferedSize()) << "after message " << i;
    if (sum > 65536) {
      ASSERT_LT(sum - 65536, got.front().m_sText.size() + 1)
          << "after message " << i;
    }
    ASSERT_EQ(0u, got.back().m_sText.find("message " + std::to_string(i) + " "))
        << "after message " << i;
  }
  EXPECT_GT(buffer.GetBufferedSize(), 60000u);
}

// Lowering the limit drops old messages at once, whole ones only, and never
// the newest.
TEST_F(LogBufferABC, LowerLimitDropsOldestWholeMessagesAtOnce) {
  struct Row {
    uint64_t limit;
    std::vector<std::string> kept;
  } rows[] = {
      {12, {"a\n", "bb\n", "ccc\n"}},
      {11, {"a\n", "bb\n", "ccc\n"}},  // excess 1 is less than "a\n"
      {9, {"bb\n", "ccc\n"}},
      {6, {"bb\n", "ccc\n"}},
      {5, {"ccc\n"}},
      {1, {"ccc\n"}},  // the newest stays even above the limit
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + ": limit " +
                 std::to_string(rows[i].limit));
    buffer.SetBufferLimit(rows[i].limit);
    EXPECT_EQ(rows[i].kept, TextsOf(buffer));
    EXPECT_EQ(SumOfSizes(buffer.GetMessages()), buffer.GetBufferedSize());
  }
}

// The newest messages that fit, oldest of them first; a message needs its
// length plus one spare byte besides the terminating zero.
TEST_F(LogBufferABC, DumpCopiesTheNewestMessagesThatFit) {
  struct Row {
    uint64_t size;
    std::string expected;  // empty: returns 0 and writes nothing
  } rows[] = {
      {0, ""},   {1, ""},           {5, ""},
      {6, "ccc\n"},                 {8, "ccc\n"},
      {9, "bb\nccc\n"},             {10, "bb\nccc\n"},
      {11, "a\nbb\nccc\n"},         {4096, "a\nbb\nccc\n"},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + ": size " +
                 std::to_string(rows[i].size));
    std::vector<char> out(rows[i].size + 16, '#');
    uint64_t n = buffer.DumpLogBufferToBuffer(out.data(), rows[i].size);
    EXPECT_EQ(rows[i].expected.size(), n);
    if (rows[i].expected.empty()) {
      EXPECT_EQ(std::vector<char>(out.size(), '#'), out);
    } else {
      EXPECT_STREQ(rows[i].expected.c_str(), out.data());
    }
    // Beyond the destination nothing is touched.
    for (size_t j = rows[i].size; j < out.size(); ++j) ASSERT_EQ('#', out[j]);
  }
  EXPECT_EQ(3u, buffer.GetMessages().size());  // dumping consumes nothing
  EXPECT_EQ(0u, buffer.DumpLogBufferToBuffer(nullptr, 100));
}

TEST(LogBuffer, DumpOfAnEmptyBufferWritesNothing) {
  CLogBuffer buffer;
  char out[8] = "#######";
  EXPECT_EQ(0u, buffer.DumpLogBufferToBuffer(out, sizeof(out)));
  EXPECT_STREQ("#######", out);
}

// A zero limit reports an assertion to a real sink that itself logs, so the
// report flows back into the dispatcher while the buffer is involved. Each
// message meeting the zero limit must give exactly one report, the buffer
// must hold nothing afterwards, and nothing may recurse.
TEST(LogBuffer, ZeroLimitReportsOnceAndEmptiesWithoutFeedingItself) {
  CLogBuffer buffer;
  CRecordingLogSink logged;
  struct Report {
    std::string message, file;
    bool fatal;
  };
  std::vector<Report> reports;
  CAssertCallback sink;
  ASSERT_TRUE(sink.Initialize(
      [&reports](const char* message, const char* file, uint32_t, bool fatal,
                 void*, bool*) {
        ASSERT_LT(reports.size(), 10u) << "assertion reports recurse";
        reports.push_back({message, file, fatal});
        Log(LogLevel_Error, "sink saw: %s", message);
      },
      nullptr));

  Log("before");
  buffer.SetBufferLimit(0);
  ASSERT_EQ(1u, reports.size());
  EXPECT_EQ("m_nMaxLogBufferingSize > 0", reports[0].message);
  EXPECT_NE(std::string::npos, reports[0].file.find("logbuffer"));
  EXPECT_FALSE(reports[0].fatal);
  EXPECT_TRUE(buffer.GetMessages().empty());
  EXPECT_EQ(0u, buffer.GetBufferedSize());
  // The report and the sink's line went to the other sinks all the same.
  std::vector<std::string> texts = logged.Texts();
  ASSERT_EQ(3u, texts.size());
  EXPECT_EQ(0u, texts[1].find("ASSERT: \"m_nMaxLogBufferingSize > 0\" at "));
  EXPECT_EQ("sink saw: m_nMaxLogBufferingSize > 0\n", texts[2]);

  Log("while zero");
  EXPECT_EQ(2u, reports.size());
  EXPECT_TRUE(buffer.GetMessages().empty());
  EXPECT_EQ(0u, buffer.GetBufferedSize());

  buffer.SetBufferLimit(100);
  Log("after");
  EXPECT_EQ(2u, reports.size());
  EXPECT_EQ(std::vector<std::string>{"after\n"}, TextsOf(buffer));
}

TEST(LogBuffer, DestroyedBufferIsNoLongerReached) {
  auto buffer = std::make_unique<CLogBuffer>();
  Log("kept");
  buffer.reset();
  Log("after destruction");  // would touch freed memory if still registered
}

TEST(LogBuffer, ProcessWideInstanceRecordsWhatFollowsIt) {
  CLogBuffer* buffer = CLogBuffer::GetInstance();
  ASSERT_NE(nullptr, buffer);
  EXPECT_EQ(buffer, CLogBuffer::GetInstance());
  Log("for the process-wide buffer");
  ASSERT_FALSE(buffer->GetMessages().empty());
  EXPECT_EQ("for the process-wide buffer\n", buffer->GetMessages().back().m_sText);
}
