#include "lark/runtime_session.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/recording_log_sink.h"
#include "lark/first_app.h"
#include "lark/testing/lark_process.h"
#include "runtime_common/init_error_strings.h"

namespace {

using Steps = std::vector<std::string>;

// The internal interfaces, in the order they are bound.
const char* const kBoundVersions[] = {
    "IVRRenderModels_006",          "IVRRenderModelsInternal_XXX",
    "IVRResources_001",             "IVRDriverManager_001",
    "IVRSettings_003",              "IVRSettingsInternal_001",
    "IVRPaths_002",                 "IVRPathsInternal_XXX",
    "IVRProperties_001",            "IVRPropertiesInternal_001",
    "IHeronInternal_XXX",           "IVRDriverInputInternal_XXX",
    "IVRSystemLayerInternal_XXX",   "IGrebeInternal_XXX",
    "LocalizationManager",          "IEgretSystemInternal_XXX",
    "IVRInput_010",                 "IVRInputInternal_002",
    "IVRChaperone_004",             "IVRChaperoneSetup_006",
    "IVRChaperoneInternal_XXX",     "IVRChaperoneServerDriver_XXX",
    "IVRApplications_007",          "IVRSystem_023",
    "IVRMailbox_002",               "IVRDebug_001",
    "IVRBlockQueue_005",            "IVRControlPanel_006",
    "IVRApplicationsInternal_XXX",  "IVRNotificationsInternal_001",
    "IVROverlay_028",               "IVROverlayInternal_XXX",
    "IVRExtendedDisplay_001",       "IVRTrackedCameraInternal_XXX",
    "IVRCameraPassthroughInternal_001", "IVRDriverDirectInternal_XXX",
};

const Steps kBootstrapperOpen = {"VR_InitInternal2 7",
                                 "VR_IsInterfaceVersionValid IVRSystem_023",
                                 "VR_GetGenericInterface IVRSystem_023"};

Steps Bindings() {
  Steps steps;
  for (const char* version : kBoundVersions) {
    steps.push_back(std::string("VR_GetGenericInterface ") + version);
  }
  return steps;
}

Steps Concat(std::initializer_list<Steps> parts) {
  Steps all;
  for (const Steps& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

TEST(BindInternalInterfaces, BindsAll36InOrderThenNotifiesInput) {
  CLarkRun run;
  run.SetScenario(R"({"enable_home_app": false, "events": [{"type": 700}]})");
  const ProcessResult_t result = run.Run({});
  ASSERT_TRUE(result.bExited) << result.Describe();
  EXPECT_EQ(0, result.nExitStatus) << result.Describe();
  const CTranscript transcript = run.Transcript();
  const Steps steps = transcript.Steps();
  ASSERT_GE(steps.size(), 3u + 36u + 1u) << transcript.Dump();
  EXPECT_EQ(kBootstrapperOpen, Steps(steps.begin(), steps.begin() + 3)) << transcript.Dump();
  EXPECT_EQ(Bindings(), Steps(steps.begin() + 3, steps.begin() + 39)) << transcript.Dump();
  EXPECT_EQ("InputInternal false", steps[39]) << transcript.Dump();
  EXPECT_EQ(1u, transcript.Calls("InputInternal").size());
}

// What the main path and the shutdown mode do when the session cannot be
// used. Each row is run through the staged program.
TEST(RuntimeSessionFailures, EndTheProgramWithTheirStatus) {
  struct Row {
    const char* name;
    std::vector<std::string> args;
    const char* scenario;
    int status;
    Steps steps;  // the whole transcript, polls that found nothing left out
  };
  const Row rows[] = {
      {"already running", {}, R"({"init_error": 143})", 0, {"VR_InitInternal2 7"}},
      {"open refused", {}, R"({"init_error": 108})", 255, {"VR_InitInternal2 7"}},
      {"system version not served", {}, R"({"system_interface_valid": false})", 255,
       {"VR_InitInternal2 7", "VR_IsInterfaceVersionValid IVRSystem_023",
        "VR_ShutdownInternal"}},
      {"null system interface", {}, R"({"missing_interfaces": ["IVRSystem_023"]})", 255,
       kBootstrapperOpen},
      {"null internal input", {}, R"({"missing_interfaces": ["IVRInputInternal_002"]})",
       255, Concat({kBootstrapperOpen, Bindings()})},
      {"shutdown: open refused", {"-shutdown"}, R"({"background_init_error": 108})", 255,
       {"VR_InitInternal2 3"}},
      {"shutdown: already running is no success", {"-shutdown"},
       R"({"background_init_error": 143})", 255, {"VR_InitInternal2 3"}},
      {"shutdown: system version not served", {"-shutdown"},
       R"({"system_interface_valid": false})", 255,
       {"VR_InitInternal2 3", "VR_IsInterfaceVersionValid IVRSystem_023",
        "VR_ShutdownInternal"}},
      {"shutdown: null system interface", {"-shutdown"},
       R"({"missing_interfaces": ["IVRSystem_023"]})", 255,
       {"VR_InitInternal2 3", "VR_IsInterfaceVersionValid IVRSystem_023",
        "VR_GetGenericInterface IVRSystem_023", "VR_ShutdownInternal"}},
      {"shutdown: null control panel", {"-shutdown"},
       R"({"missing_interfaces": ["IVRControlPanel_006"]})", 255,
       {"VR_InitInternal2 3", "VR_IsInterfaceVersionValid IVRSystem_023",
        "VR_GetGenericInterface IVRSystem_023", "VRControlPanel", "VR_ShutdownInternal"}},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + ": " + rows[i].name + " " + rows[i].scenario);
    CLarkRun run;
    run.SetScenario(rows[i].scenario);
    const ProcessResult_t result = run.Run(rows[i].args);
    ASSERT_TRUE(result.bExited) << result.Describe();
    EXPECT_EQ(rows[i].status, result.nExitStatus) << result.Describe();
    const CTranscript transcript = run.Transcript();
    EXPECT_EQ(rows[i].steps, transcript.Steps()) << transcript.Dump();
  }
}

// The scenario keys shutdown tests share: the quit request must not end a
// server that a test running beside this one is waiting on.
constexpr char kKeepServers[] = R"("quit_ends_server": false)";

const Steps kShutdownOpen = {"VR_InitInternal2 3", "VR_IsInterfaceVersionValid IVRSystem_023",
                             "VR_GetGenericInterface IVRSystem_023", "VRControlPanel",
                             "QuitRequest false"};

TEST(ShutdownMode, QuitEventAlreadyQueuedMeansNoSleepBeforeShutdown) {
  CLarkRun run;
  // An event ahead of the quit event is drained with it.
  run.SetScenario(std::string("{") + kKeepServers + R"(, "events": [{"type": 100}]})");
  const ProcessResult_t result = run.Run({"-shutdown"});
  ASSERT_TRUE(result.bExited) << result.Describe();
  EXPECT_EQ(0, result.nExitStatus) << result.Describe();
  const CTranscript transcript = run.Transcript();
  const Steps steps = transcript.Steps(true);
  const Steps expected = Concat({kShutdownOpen, {"PollNextEvent 100", "PollNextEvent 700",
                                                 "VR_ShutdownInternal"}});
  ASSERT_GE(steps.size(), expected.size()) << transcript.Dump();
  EXPECT_EQ(expected, Steps(steps.begin(), steps.begin() + expected.size()))
      << transcript.Dump();
  // Whatever follows is the wait for the server: sleeps of 100 ms only (a
  // server of another test may be running).
  for (size_t i = expected.size(); i < steps.size(); ++i) {
    EXPECT_EQ("sleep 100ms", steps[i]) << transcript.Dump();
  }
}

TEST(ShutdownMode, WaitsAHundredPassesForAQuitEventThatNeverComes) {
  CLarkRun run;
  run.SetScenario(std::string("{") + kKeepServers + R"(, "quit_posts_event": false})");
  const ProcessResult_t result = run.Run({"-shutdown"});
  ASSERT_TRUE(result.bExited) << result.Describe();
  EXPECT_EQ(0, result.nExitStatus) << result.Describe();
  const CTranscript transcript = run.Transcript();
  // 100 passes, each an empty poll and a sleep, then the shutdown.
  const Steps steps = transcript.Steps(true);
  const auto shutdown = std::find(steps.begin(), steps.end(), "VR_ShutdownInternal");
  ASSERT_NE(steps.end(), shutdown) << transcript.Dump();
  ASSERT_EQ(kShutdownOpen, Steps(steps.begin(), steps.begin() + kShutdownOpen.size()))
      << transcript.Dump();
  const Steps wait(steps.begin() + kShutdownOpen.size(), shutdown);
  ASSERT_EQ(200u, wait.size()) << transcript.Dump();
  for (size_t i = 0; i < wait.size(); i += 2) {
    SCOPED_TRACE("pass " + std::to_string(i / 2));
    EXPECT_EQ("PollNextEvent -", wait[i]);
    EXPECT_EQ("sleep 100ms", wait[i + 1]);
  }
}

// The shutdown mode against a running server: a runtime tree of its own in
// a temporary directory, whose heron is the one this test starts and stops,
// so that neither a server of a test running beside it nor the quit request
// of such a test interferes.
class ShutdownWithServer : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    ASSERT_FALSE(m_dir.path().empty());
    m_sBin = m_dir.At("runtime/bin/linux64");
    std::error_code ec;
    fs::create_directories(m_sBin, ec);
    ASSERT_FALSE(ec) << "mkdir " << m_sBin << ": " << ec.message();
    const fs::path staged = fs::path(LARK_STAGED_BINARY).parent_path();
    for (const char* name : {"lark", "heron", "libtandem_api.so", "libtolva_api.so"}) {
      fs::copy_file(staged / name, fs::path(m_sBin) / name, ec);
      ASSERT_FALSE(ec) << "copy " << name << ": " << ec.message();
    }
    ASSERT_TRUE(m_heron.Start({m_sBin + "/heron"}, {"PATH=/usr/bin:/bin"},
                              m_dir.At("heron.txt"), true));
  }

  ProcessResult_t RunShutdown() { return m_run.Run({"-shutdown"}, m_sBin + "/lark"); }

  ScopedTempDir m_dir;
  std::string m_sBin;
  CChildProcess m_heron;
  CLarkRun m_run;
};

TEST_F(ShutdownWithServer, ServerThatDoesNotEndGetsTheFullWait) {
  m_run.SetScenario(std::string("{") + kKeepServers + "}");
  const ProcessResult_t result = RunShutdown();
  const ProcessResult_t heronResult = m_heron.Stop();
  ASSERT_TRUE(result.bExited) << result.Describe();
  EXPECT_EQ(0, result.nExitStatus) << result.Describe();
  const CTranscript transcript = m_run.Transcript();
  EXPECT_EQ(Concat({kShutdownOpen, {"PollNextEvent 700", "VR_ShutdownInternal",
                                    "sleep 100ms x100"}}),
            transcript.Summary()) << transcript.Dump();
  // It was still there for lark to see, and ends as a server should.
  EXPECT_TRUE(heronResult.bExited) << heronResult.Describe();
  EXPECT_EQ(0, heronResult.nExitStatus) << heronResult.Describe();
}

TEST_F(ShutdownWithServer, QuitRequestEndsTheServer) {
  const ProcessResult_t result = RunShutdown();
  ASSERT_TRUE(result.bExited) << result.Describe();
  EXPECT_EQ(0, result.nExitStatus) << result.Describe();
  // Ended by the quit request's SIGTERM, as a server should: exit 0.
  const ProcessResult_t heronResult = m_heron.Wait(std::chrono::milliseconds(5000));
  ASSERT_FALSE(heronResult.bTimedOut) << heronResult.Describe();
  EXPECT_TRUE(heronResult.bExited) << heronResult.Describe();
  EXPECT_EQ(0, heronResult.nExitStatus) << heronResult.Describe();
}

// The log lines of the session, seen in-process through a recording sink
// with the simulated runtime loaded into the test.
class SessionLogTest : public ::testing::Test {
 protected:
  void SetUp() override { unsetenv("TANDEM_SIM_TRANSCRIPT"); }
  void TearDown() override { unsetenv("TANDEM_SIM_SCENARIO"); }

  void UseScenario(const std::string& json) {
    const std::string path = m_dir.path() + "/scenario.json";
    ASSERT_TRUE(ScopedTempDir::WriteFile(path, json));
    setenv("TANDEM_SIM_SCENARIO", path.c_str(), 1);
  }

  ScopedTempDir m_dir;
};

TEST_F(SessionLogTest, MainPathLogsWhyItEnds) {
  struct Row {
    const char* scenario;
    bool usable;
    int status;
    vr::EVRInitError loggedError;
  };
  const Row rows[] = {
      {R"({"init_error": 143})", false, 0, vr::VRInitError_Init_AlreadyRunning},
      {R"({"init_error": 108})", false, -1, static_cast<vr::EVRInitError>(108)},
      {R"({"system_interface_valid": false})", false, -1,
       vr::VRInitError_Init_InterfaceNotFound},
      {R"({"missing_interfaces": ["IVRSystem_023"]})", false, -1, vr::VRInitError_None},
      {"{}", true, 0, vr::VRInitError_None},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + ": " + rows[i].scenario);
    UseScenario(rows[i].scenario);
    CRecordingLogSink sink;
    vr::IVRSystem* pSystem = nullptr;
    int status = 12345;
    EXPECT_EQ(rows[i].usable, BOpenBootstrapperSession("{}\n", &pSystem, &status));
    if (rows[i].usable) {
      EXPECT_NE(nullptr, pSystem);
      EXPECT_TRUE(sink.Texts().empty());
      vr::VR_ShutdownInternal();
      continue;
    }
    EXPECT_EQ(rows[i].status, status);
    EXPECT_EQ(std::vector<std::string>{std::string("VR_Init error, exiting: ") +
                                       GetEnglishStringForHmdError(rows[i].loggedError) +
                                       "\n"},
              sink.Texts());
  }
}

// The shutdown mode gives up silently: its caller reads the status alone.
TEST_F(SessionLogTest, ShutdownModeFailsWithoutALogLine) {
  const char* const scenarios[] = {
      R"({"background_init_error": 108})",
      R"({"system_interface_valid": false})",
      R"({"missing_interfaces": ["IVRControlPanel_006"]})",
  };
  for (size_t i = 0; i < std::size(scenarios); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + ": " + scenarios[i]);
    UseScenario(scenarios[i]);
    CRecordingLogSink sink;
    EXPECT_EQ(-1, RunShutdownMode());
    EXPECT_TRUE(sink.Texts().empty());
  }
}

TEST_F(SessionLogTest, MissingInternalInputIsLoggedAsInterfaceNotFound) {
  UseScenario(R"({"missing_interfaces": ["IVRInputInternal_002"]})");
  vr::IVRSystem* pSystem = nullptr;
  int status = 0;
  ASSERT_TRUE(BOpenBootstrapperSession("{}\n", &pSystem, &status));
  CRecordingLogSink sink;
  EXPECT_FALSE(BBindInternalInterfaces());
  EXPECT_EQ(std::vector<std::string>{std::string("VR_Init error, exiting: ") +
                                     GetEnglishStringForHmdError(
                                         vr::VRInitError_Init_InterfaceNotFound) +
                                     "\n"},
            sink.Texts());
}

TEST_F(SessionLogTest, PollingAnnouncesItself) {
  UseScenario(R"({"enable_home_app": false, "events": [{"type": 700}]})");
  vr::IVRSystem* pSystem = nullptr;
  int status = 0;
  ASSERT_TRUE(BOpenBootstrapperSession("{}\n", &pSystem, &status));
  CRecordingLogSink sink;
  EXPECT_EQ(0, RunFirstApplicationLaunch(pSystem));
  EXPECT_EQ(std::vector<std::string>{"Platform handles tutorial / initial home app launch "
                                     "tandem.tool.tolvavr_environments. Starting Event "
                                     "Polling...\n"},
            sink.Texts());
}

}  // namespace
