#include "base/log.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/recording_log_sink.h"

namespace {

void LogThroughList(ELogLevel level, const char* format, ...)
    __attribute__((format(printf, 2, 3)));
void LogThroughList(ELogLevel level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  LogDirect(level, format, args);
  va_end(args);
}

}  // namespace

// Every text reaches the sinks ending in a newline and at most 4094
// characters before it.
TEST(Log, TextsArriveEndingInOneNewlineAndCutToFit) {
  const std::string x4093(4093, 'x');
  struct Row {
    std::string text;
    std::string expected;
  } rows[] = {
      {"abc", "abc\n"},
      {"abc\n", "abc\n"},
      {"", "\n"},
      {"a\n\n", "a\n\n"},
      {std::string(5000, 'x'), std::string(4094, 'x') + "\n"},
      {std::string(4095, 'x'), std::string(4094, 'x') + "\n"},
      {std::string(4094, 'x'), std::string(4094, 'x') + "\n"},
      {x4093 + "\n", x4093 + "\n"},
      // The cut falls right after a newline: the rest must not stay behind
      // it, or the text would end without one.
      {x4093 + "\n" + std::string(1000, 'y'), x4093 + "\n"},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + ": " +
                 std::to_string(rows[i].text.size()) + " chars, starting \"" +
                 rows[i].text.substr(0, 8) + "\"");
    CRecordingLogSink sink;
    Log("%s", rows[i].text.c_str());
    std::vector<std::string> texts = sink.Texts();
    ASSERT_EQ(1u, texts.size());
    EXPECT_EQ(rows[i].expected, texts[0]);
  }
}

TEST(Log, EntryPointsFormatAndCarryTheirLevel) {
  CRecordingLogSink sink;
  Log("plain %d", 1);
  Log(LogLevel_Warning, "warn %s", "two");
  LogThroughList(LogLevel_Detail, "list %c", '3');
  CLog::GetInstance()->Log(LogLevel_Fatal, "member %u", 4u);
  // A first value of 0 or nullptr is a value to format, never an argument list.
  CLog::GetInstance()->Log(LogLevel_Info, "zero %d", 0);
  CLog::GetInstance()->Log(LogLevel_Info, "null %p", nullptr);
  CLog::GetInstance()->Log(LogLevel_Info, "none");

  std::vector<LoggedMessage> got = sink.Messages();
  ASSERT_EQ(7u, got.size());
  EXPECT_EQ("zero 0\n", got[4].text);
  EXPECT_EQ("null (nil)\n", got[5].text);
  EXPECT_EQ("none\n", got[6].text);
  EXPECT_EQ(LogLevel_Info, got[0].level);
  EXPECT_EQ("plain 1\n", got[0].text);
  EXPECT_EQ(LogLevel_Warning, got[1].level);
  EXPECT_EQ("warn two\n", got[1].text);
  EXPECT_EQ(LogLevel_Detail, got[2].level);
  EXPECT_EQ("list 3\n", got[2].text);
  EXPECT_EQ(LogLevel_Fatal, got[3].level);
  EXPECT_EQ("member 4\n", got[3].text);
}

// One formatting per message: every sink is handed the very same buffer, in
// registration order, each with its own user data.
TEST(Log, AllSinksShareOneFormattedBufferInRegistrationOrder) {
  CLog log;
  struct Seen {
    int sink;
    const char* buffer;
  };
  std::vector<Seen> seen;
  int tags[3] = {0, 1, 2};
  CLogCallback callbacks[3] = {CLogCallback(&log), CLogCallback(&log),
                               CLogCallback(&log)};
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(callbacks[i].Initialize(
        [&seen](ELogLevel, const char* text, void* user) {
          seen.push_back({*static_cast<int*>(user), text});
        },
        &tags[i]));
  }
  log.Log(LogLevel_Info, "once %d", 1);
  ASSERT_EQ(3u, seen.size());
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(i, seen[i].sink);
    EXPECT_EQ(seen[0].buffer, seen[i].buffer);
  }
}

TEST(Log, RegistrationDuplicatesRemovalAndDestruction) {
  CLog log;
  int calls = 0;
  auto count = [&calls](ELogLevel, const char*, void*) { ++calls; };

  EXPECT_FALSE(log.AddCallback(nullptr));
  log.RemoveCallback(nullptr);  // ignored

  CLogCallback empty(&log);
  EXPECT_FALSE(empty.Initialize(CLogCallback::Fn(), nullptr));
  log.Log(LogLevel_Info, "nobody");  // an empty sink is never called

  CLogCallback twice(&log);
  ASSERT_TRUE(twice.Initialize(count, nullptr));
  ASSERT_TRUE(log.AddCallback(&twice));
  log.Log(LogLevel_Info, "m");
  EXPECT_EQ(2, calls);
  log.RemoveCallback(&twice);  // removes both entries
  log.Log(LogLevel_Info, "m");
  EXPECT_EQ(2, calls);

  {
    CLogCallback scoped(&log);
    ASSERT_TRUE(scoped.Initialize(count, nullptr));
    log.Log(LogLevel_Info, "m");
    EXPECT_EQ(3, calls);
  }
  log.Log(LogLevel_Info, "m");
  EXPECT_EQ(3, calls);
}

// A dispatcher of one's own and the process-wide one do not see each other's
// messages.
TEST(Log, PrivateDispatcherIsSeparateFromTheProcessWideOne) {
  CLog privateLog;
  CRecordingLogSink global;
  CRecordingLogSink mine(&privateLog);
  Log("to everyone");
  privateLog.Log(LogLevel_Info, "to mine");
  EXPECT_EQ(std::vector<std::string>{"to everyone\n"}, global.Texts());
  EXPECT_EQ(std::vector<std::string>{"to mine\n"}, mine.Texts());
}

// A sink may log from inside a dispatch on the same thread: the nested
// message reaches every sink before the outer one goes on.
TEST(Log, SinkMayLogAgainWhileDispatching) {
  CLogCallback relay;
  ASSERT_TRUE(relay.Initialize(
      [](ELogLevel, const char* text, void*) {
        if (std::string(text) == "outer\n") Log(LogLevel_Warning, "inner");
      },
      nullptr));
  CRecordingLogSink sink;
  Log("outer");
  std::vector<LoggedMessage> got = sink.Messages();
  ASSERT_EQ(2u, got.size());
  EXPECT_EQ("inner\n", got[0].text);
  EXPECT_EQ(LogLevel_Warning, got[0].level);
  EXPECT_EQ("outer\n", got[1].text);
}
