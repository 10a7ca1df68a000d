// lark as a whole, through the staged binary: exit statuses, the startup
// information the runtime receives, and the switches that end it early.

#include <signal.h>
#include <stdlib.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lark/startup_info.h"
#include "lark/testing/argv.h"
#include "lark/testing/lark_process.h"

namespace {

using Steps = std::vector<std::string>;

TEST(Lark, ExitStatusTable) {
  struct Row {
    const char* name;
    std::vector<std::string> args;
    const char* scenario;
    int status;
  };
  const Row rows[] = {
      {"shutdown mode finished", {"-shutdown"}, R"({"quit_ends_server": false})", 0},
      {"runtime already running", {}, R"({"init_error": 143})", 0},
      {"quit event while polling", {}, R"({"hmd_present": false, "events": [{"type": 700}]})",
       0},
      {"first application connected", {}, "{}", 0},
      {"session cannot be opened", {}, R"({"init_error": 301})", 255},
      {"no system interface", {}, R"({"system_interface_valid": false})", 255},
      {"polling ran out of time", {}, R"({"enable_home_app": false})", 255},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + ": " + rows[i].name);
    CLarkRun run;
    run.SetScenario(rows[i].scenario);
    const ProcessResult_t result = run.Run(rows[i].args);
    ASSERT_TRUE(result.bExited) << result.Describe();
    EXPECT_EQ(rows[i].status, result.nExitStatus) << result.Describe();
  }
}

TEST(Lark, DefaultStartOnTheSimulatedRuntime) {
  CLarkRun run;  // no scenario: the simulated runtime's defaults
  const ProcessResult_t result = run.Run({});
  ASSERT_TRUE(result.bExited) << result.Describe();
  EXPECT_EQ(0, result.nExitStatus) << result.Describe();
  const CTranscript transcript = run.Transcript();
  const Steps summary = transcript.Summary();
  ASSERT_FALSE(summary.empty()) << transcript.Dump();
  EXPECT_EQ("VR_InitInternal2 7", summary.front());
  EXPECT_EQ("ApplicationKeyForProcess 40000", summary.back()) << transcript.Dump();
  EXPECT_TRUE(transcript.SleepsMs().empty()) << transcript.Dump();
  // The arguments the runtime relies on.
  for (const Json::Value& poll : transcript.Calls("PollNextEvent")) {
    EXPECT_EQ(60, poll["size"].asInt());
  }
  for (const Json::Value& query : transcript.Calls("ApplicationKeyForProcess")) {
    EXPECT_EQ(128, query["size"].asInt());
  }
  const std::vector<Json::Value> settings = transcript.Calls("GetBool");
  ASSERT_EQ(1u, settings.size());
  EXPECT_EQ("tolvavr", settings[0]["section"].asString());
  // The session stays open for the runtime: lark never shuts it down.
  EXPECT_TRUE(transcript.Calls("VR_ShutdownInternal").empty()) << transcript.Dump();
}

// The text the runtime receives is exactly what the builder makes of the
// same command line (the child's environment is clean, so is ours here).
TEST(Lark, RuntimeReceivesTheStartupInformationText) {
  const char* saved = getenv(k_pchEnableThreadWatchdogsVar);
  const std::string savedValue = saved ? saved : "";
  unsetenv(k_pchEnableThreadWatchdogsVar);

  const std::vector<std::vector<std::string>> rows = {
      {},
      {"-keepalive", "-startupinfo", "Heron2", "-TOLVAVIVESETUP", "-hang"},
      {"-disablewatchdogs", "-startupreason", "-mutesettings", "-vkvalidation"},
      {"-startupreason"},
  };
  for (size_t i = 0; i < rows.size(); ++i) {
    std::string input;
    for (const std::string& arg : rows[i]) input += " [" + arg + "]";
    SCOPED_TRACE("row " + std::to_string(i) + ":" + input);
    TestArgv argv(rows[i]);
    const std::string expected = SerializeStartupInfo(BuildStartupInfo(argv.argc(), argv.argv()));

    CLarkRun run;
    run.SetScenario(R"({"init_error": 143})");
    const ProcessResult_t result = run.Run(rows[i]);
    ASSERT_TRUE(result.bExited) << result.Describe();
    EXPECT_EQ(0, result.nExitStatus) << result.Describe();
    const std::vector<Json::Value> opens = run.Transcript().Calls("VR_InitInternal2");
    ASSERT_EQ(1u, opens.size());
    EXPECT_EQ(7, opens[0]["type"].asInt());
    EXPECT_EQ(expected, opens[0]["startup_info"].asString());
  }

  if (saved) setenv(k_pchEnableThreadWatchdogsVar, savedValue.c_str(), 1);
  unsetenv(k_pchVkValidationVar);  // the builder set it here
}

// The key that tells the runtime who opened the session replaces whatever
// the parent had set; -vkvalidation reaches the runtime's environment.
TEST(Lark, EnvironmentHandedToTheRuntime) {
  struct Row {
    std::vector<std::string> args;
    const char* inherited;  // extra environment entry, or null
    const char* vkvalidation;  // expected, or null for unset
  } const rows[] = {
      {{}, nullptr, nullptr},
      {{}, "TOLVAVR_APPKEY=someone.else", nullptr},
      {{"-VKValidation"}, "TOLVAVR_VKVALIDATION=0", "1"},
      {{"-shutdown", "-vkvalidation"}, nullptr, nullptr},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    CLarkRun run;
    run.SetScenario(R"({"init_error": 143, "background_init_error": 143})");
    if (rows[i].inherited) run.AddEnvironment(rows[i].inherited);
    const ProcessResult_t result = run.Run(rows[i].args);
    ASSERT_TRUE(result.bExited) << result.Describe();
    const std::vector<Json::Value> opens = run.Transcript().Calls("VR_InitInternal2");
    ASSERT_EQ(1u, opens.size());
    EXPECT_EQ("tandem.component.lark", opens[0]["app_key"].asString());
    if (rows[i].vkvalidation)
      EXPECT_EQ(rows[i].vkvalidation, opens[0]["vkvalidation"].asString());
    else
      EXPECT_TRUE(opens[0]["vkvalidation"].isNull()) << opens[0].toStyledString();
  }
}

TEST(Lark, ShutdownBesideOtherOptionsRunsOnlyTheShutdownMode) {
  CLarkRun run;
  run.SetScenario(R"({"quit_ends_server": false})");
  const ProcessResult_t result =
      run.Run({"-keepalive", "-crash", "-startupinfo", "heron", "-SHUTDOWN", "-hang"});
  ASSERT_TRUE(result.bExited) << result.Describe();
  EXPECT_EQ(0, result.nExitStatus) << result.Describe();
  const CTranscript transcript = run.Transcript();
  const std::vector<Json::Value> opens = transcript.Calls("VR_InitInternal2");
  ASSERT_EQ(1u, opens.size()) << transcript.Dump();
  EXPECT_EQ(3, opens[0]["type"].asInt());
  EXPECT_TRUE(opens[0]["startup_info"].isNull()) << transcript.Dump();
  EXPECT_EQ(1u, transcript.Calls("QuitRequest").size()) << transcript.Dump();
  EXPECT_TRUE(transcript.Calls("InputInternal").empty()) << transcript.Dump();
}

TEST(Lark, CrashDiesOfSegvBeforeTheSession) {
  CLarkRun run;
  const ProcessResult_t result = run.Run({"-keepalive", "-Crash"});
  ASSERT_TRUE(result.bStarted);
  EXPECT_FALSE(result.bTimedOut);
  EXPECT_FALSE(result.bExited) << result.Describe();
  EXPECT_EQ(SIGSEGV, result.nSignal) << result.Describe();
  EXPECT_TRUE(run.Transcript().Entries().empty()) << run.Transcript().Dump();
}

}  // namespace
