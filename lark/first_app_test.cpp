// The first-application launch and polling, run through the staged program
// on scenarios of the simulated runtime: one row per state and event.

#include "lark/first_app.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lark/testing/lark_process.h"

namespace {

using Steps = std::vector<std::string>;

const std::string kHeadset = "GetTrackedDeviceClass 0";
const std::string kSettings = "VR_GetGenericInterface IVRSettings_003";
const std::string kHomeSetting = "GetBool enableHomeApp";
const std::string kApps = "VR_GetGenericInterface IVRApplications_007";
const std::string kLaunchHome = "LaunchApplication tandem.tool.tolvavr_environments";

struct Row {
  const char* name;
  const char* scenario;
  int status;
  Steps steps;  // after the internal input call; empty polls left out
};

TEST(FirstApplication, StateTable) {
  const Row rows[] = {
      {"headset and home app: launch at once, home connects", "{}", 0,
       {kHeadset, kSettings, kHomeSetting, kApps, kLaunchHome, "PollNextEvent 1306",
        "ApplicationKeyForProcess 40000"}},
      {"(false, true): headset activated later launches home once",
       R"({"hmd_present": false, "events": [{"type": 100, "after_polls": 2},
                                            {"type": 100, "after_polls": 2}]})",
       0,
       {kHeadset, kSettings, kHomeSetting, "sleep 500ms x2", "PollNextEvent 100", kApps,
        kLaunchHome, "PollNextEvent 100", "PollNextEvent 1306",
        "ApplicationKeyForProcess 40000"}},
      {"(false, false): activation launches nothing, then the monitor counts",
       R"({"hmd_present": false, "enable_home_app": false,
           "events": [{"type": 100, "after_polls": 1},
                      {"type": 1306, "pid": 42, "after_polls": 1}],
           "process_keys": {"42": "tandem.component.plover"}})",
       0,
       {kHeadset, kSettings, kHomeSetting, "sleep 500ms", "PollNextEvent 100",
        "PollNextEvent 1306", kApps, "ApplicationKeyForProcess 42"}},
      {"(true, false): activation launches nothing; quit ends",
       R"({"enable_home_app": false, "events": [{"type": 100}, {"type": 700}]})", 0,
       {kHeadset, kSettings, kHomeSetting, "PollNextEvent 100", "PollNextEvent 700"}},
      {"quit: events behind it are not taken",
       R"({"hmd_present": false, "events": [{"type": 700}, {"type": 100}]})", 0,
       {kHeadset, kSettings, kHomeSetting, "PollNextEvent 700"}},
      {"tutorial connects, key in capitals",
       R"({"hmd_present": false, "enable_home_app": false,
           "events": [{"type": 1306, "pid": 5, "after_polls": 1}],
           "process_keys": {"5": "TANDEM.TOOL.TOLVAVR_TUTORIAL"}})",
       0,
       {kHeadset, kSettings, kHomeSetting, "sleep 500ms", "PollNextEvent 1306", kApps,
        "ApplicationKeyForProcess 5"}},
      {"home connects without our launch",
       R"({"enable_home_app": false, "events": [{"type": 1306, "pid": 6}],
           "process_keys": {"6": "tandem.tool.tolvavr_environments"}})",
       0,
       {kHeadset, kSettings, kHomeSetting, "PollNextEvent 1306", kApps,
        "ApplicationKeyForProcess 6"}},
      {"(true, any): monitor connects",
       R"({"enable_home_app": false, "events": [{"type": 1306, "pid": 7}],
           "process_keys": {"7": "Tandem.Component.Plover"}})",
       0,
       {kHeadset, kSettings, kHomeSetting, "PollNextEvent 1306", kApps,
        "ApplicationKeyForProcess 7"}},
      {"(false, any): monitor ignored until the headset is seen",
       R"({"hmd_present": false, "enable_home_app": false,
           "events": [{"type": 1306, "pid": 7},
                      {"type": 100, "after_polls": 1},
                      {"type": 1306, "pid": 7, "after_polls": 1}],
           "process_keys": {"7": "tandem.component.plover"}})",
       0,
       {kHeadset, kSettings, kHomeSetting, "PollNextEvent 1306", kApps,
        "ApplicationKeyForProcess 7", "sleep 500ms", "PollNextEvent 100",
        "PollNextEvent 1306", "ApplicationKeyForProcess 7"}},
      {"120 passes without an ending event; other events ignored",
       R"({"hmd_present": false,
           "events": [{"type": 100, "device": 1}, {"type": 1306, "pid": 99},
                      {"type": 1306, "pid": 98}, {"type": 1234}],
           "process_keys": {"98": "tandem.tool.other"}})",
       255,
       {kHeadset, kSettings, kHomeSetting, "PollNextEvent 100", "PollNextEvent 1306", kApps,
        "ApplicationKeyForProcess 99", "PollNextEvent 1306", "ApplicationKeyForProcess 98",
        "PollNextEvent 1234", "sleep 500ms x120"}},
      {"launch that never connects: time runs out, no second launch",
       R"({"launch_connects": false})", 255,
       {kHeadset, kSettings, kHomeSetting, kApps, kLaunchHome, "sleep 500ms x120"}},
      {"init token changing: every cached read fetches again",
       R"({"init_token_changes": true})", 0,
       {kHeadset, kSettings, kHomeSetting, kApps, kLaunchHome, "PollNextEvent 1306", kApps,
        "ApplicationKeyForProcess 40000"}},
      {"null settings interface", R"({"missing_interfaces": ["IVRSettings_003"]})", 255,
       {kHeadset, kSettings}},
      {"null applications interface at the launch",
       R"({"missing_interfaces": ["IVRApplications_007"]})", 255,
       {kHeadset, kSettings, kHomeSetting, kApps}},
      {"null applications interface at a connection",
       R"({"missing_interfaces": ["IVRApplications_007"], "enable_home_app": false,
           "events": [{"type": 1306, "pid": 5}]})",
       255, {kHeadset, kSettings, kHomeSetting, "PollNextEvent 1306", kApps}},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + ": " + rows[i].name + "\n" + rows[i].scenario);
    CLarkRun run;
    run.SetScenario(rows[i].scenario);
    const ProcessResult_t result = run.Run({});
    ASSERT_TRUE(result.bExited) << result.Describe();
    EXPECT_EQ(rows[i].status, result.nExitStatus) << result.Describe();
    const CTranscript transcript = run.Transcript();
    EXPECT_EQ(rows[i].steps, transcript.Summary("InputInternal false")) << transcript.Dump();
  }
}

}  // namespace
