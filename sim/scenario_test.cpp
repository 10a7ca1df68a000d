#include "sim/scenario.h"

#include <gtest/gtest.h>

#include "base/scoped_temp_dir.h"

namespace sim {
namespace {

TEST(Scenario, DefaultsAreAHealthyRuntimeWithAHeadset) {
  Scenario scenario;
  std::string error;
  ASSERT_TRUE(ParseScenario("{}", &scenario, &error)) << error;
  EXPECT_EQ(scenario.initError, 0);
  EXPECT_EQ(scenario.backgroundInitError, 0);
  EXPECT_TRUE(scenario.systemInterfaceValid);
  EXPECT_TRUE(scenario.missingInterfaces.empty());
  EXPECT_TRUE(scenario.hmdPresent);
  EXPECT_TRUE(scenario.enableHomeApp);
  EXPECT_TRUE(scenario.processKeys.empty());
  EXPECT_TRUE(scenario.events.empty());
  EXPECT_TRUE(scenario.launchConnects);
  EXPECT_FALSE(scenario.initTokenChanges);
  EXPECT_TRUE(scenario.quitPostsEvent);
  EXPECT_TRUE(scenario.quitEndsServer);
}

TEST(Scenario, ReadsEveryKey) {
  Scenario scenario;
  std::string error;
  ASSERT_TRUE(ParseScenario(R"({
      "init_error": 143, "background_init_error": -3,
      "system_interface_valid": false,
      "missing_interfaces": ["IVRSettings_003", "IVRControlPanel_006"],
      "hmd_present": false, "enable_home_app": false,
      "process_keys": {"4242": "tandem.component.plover", "0": "zero"},
      "events": [{"type": 1306, "pid": 4242, "after_polls": 3}, {"type": 100, "device": 2}],
      "launch_connects": false, "init_token_changes": true,
      "quit_posts_event": false, "quit_ends_server": false})",
                            &scenario, &error))
      << error;
  EXPECT_EQ(scenario.initError, 143);
  EXPECT_EQ(scenario.backgroundInitError, -3);
  EXPECT_FALSE(scenario.systemInterfaceValid);
  EXPECT_EQ(scenario.missingInterfaces,
            (std::set<std::string>{"IVRSettings_003", "IVRControlPanel_006"}));
  EXPECT_FALSE(scenario.hmdPresent);
  EXPECT_FALSE(scenario.enableHomeApp);
  EXPECT_EQ(scenario.processKeys,
            (std::map<uint32_t, std::string>{{4242, "tandem.component.plover"}, {0, "zero"}}));
  ASSERT_EQ(scenario.events.size(), 2u);
  EXPECT_EQ(scenario.events[0].type, 1306u);
  EXPECT_EQ(scenario.events[0].device, 0u);
  EXPECT_EQ(scenario.events[0].pid, 4242u);
  EXPECT_EQ(scenario.events[0].afterPolls, 3u);
  EXPECT_EQ(scenario.events[1].type, 100u);
  EXPECT_EQ(scenario.events[1].device, 2u);
  EXPECT_EQ(scenario.events[1].afterPolls, 0u);
  EXPECT_FALSE(scenario.launchConnects);
  EXPECT_TRUE(scenario.initTokenChanges);
  EXPECT_FALSE(scenario.quitPostsEvent);
  EXPECT_FALSE(scenario.quitEndsServer);
}

TEST(Scenario, RejectsWhatIsWrongAndSaysWhere) {
  struct Case {
    const char* text;
    const char* reason;  // must appear in the message
  };
  const Case cases[] = {
      {"", "not valid JSON"},
      {"{\"init_error\": 1", "not valid JSON"},
      {"[1, 2]", "top level must be a JSON object"},
      {"{\"init_eror\": 1}", "unknown key \"init_eror\""},
      {"{\"init_error\": \"143\"}", "\"init_error\" must be a 32-bit integer"},
      {"{\"init_error\": 1.5}", "\"init_error\""},
      {"{\"background_init_error\": 4294967296}", "\"background_init_error\""},
      {"{\"system_interface_valid\": 1}", "\"system_interface_valid\" must be true or false"},
      {"{\"hmd_present\": null}", "\"hmd_present\""},
      {"{\"enable_home_app\": \"yes\"}", "\"enable_home_app\""},
      {"{\"launch_connects\": 0}", "\"launch_connects\""},
      {"{\"init_token_changes\": []}", "\"init_token_changes\""},
      {"{\"quit_posts_event\": {}}", "\"quit_posts_event\""},
      {"{\"quit_ends_server\": \"false\"}", "\"quit_ends_server\""},
      {"{\"missing_interfaces\": \"IVRSystem_023\"}", "\"missing_interfaces\" must be an array"},
      {"{\"missing_interfaces\": [\"a\", 2]}", "\"missing_interfaces\"[1] must be a string"},
      {"{\"process_keys\": []}", "\"process_keys\" must be an object"},
      {"{\"process_keys\": {\"12a\": \"k\"}}", "\"12a\" is not a decimal process id"},
      {"{\"process_keys\": {\"-1\": \"k\"}}", "\"-1\" is not a decimal process id"},
      {"{\"process_keys\": {\"4294967296\": \"k\"}}", "not a decimal process id"},
      {"{\"process_keys\": {\"7\": 7}}", "\"process_keys\".\"7\" must be a string"},
      {"{\"events\": {}}", "\"events\" must be an array"},
      {"{\"events\": [5]}", "\"events\"[0] must be an object"},
      {"{\"events\": [{\"device\": 0}]}", "\"events\"[0] needs \"type\""},
      {"{\"events\": [{\"type\": 700}, {\"type\": -1}]}", "\"events\"[1].type"},
      {"{\"events\": [{\"type\": 700, \"after_polls\": true}]}", "\"events\"[0].after_polls"},
      {"{\"events\": [{\"type\": 700, \"delay\": 1}]}", "unknown key \"delay\""},
  };
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
    SCOPED_TRACE("case " + std::to_string(i) + ": " + cases[i].text);
    Scenario scenario;
    scenario.initError = 99;
    std::string error;
    EXPECT_FALSE(ParseScenario(cases[i].text, &scenario, &error));
    EXPECT_NE(error.find(cases[i].reason), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    EXPECT_EQ(scenario.initError, 0) << "left at the defaults";
  }
}

TEST(Scenario, LoadsFilesAndReportsUnreadableOnes) {
  ScopedTempDir dir;
  ASSERT_FALSE(dir.path().empty());
  Scenario scenario;
  std::string error;

  ASSERT_TRUE(ScopedTempDir::WriteFile(dir.At("ok.json"), "{\"init_error\": 143}"));
  EXPECT_TRUE(LoadScenario(dir.At("ok.json"), &scenario, &error)) << error;
  EXPECT_EQ(scenario.initError, 143);

  EXPECT_FALSE(LoadScenario(dir.At("absent.json"), &scenario, &error));
  EXPECT_NE(error.find("cannot be read"), std::string::npos) << error;
  EXPECT_EQ(scenario.initError, 0);

  EXPECT_FALSE(LoadScenario(dir.path(), &scenario, &error));
  EXPECT_NE(error.find("cannot be read"), std::string::npos) << error;
}

}  // namespace
}  // namespace sim
