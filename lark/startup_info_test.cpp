#include "lark/startup_info.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/environment.h"
#include "base/process.h"
#include "lark/testing/argv.h"

namespace {

// Keeps the variables the builder reads or writes out of the way and puts
// them back afterwards.
class StartupInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Save(k_pchEnableThreadWatchdogsVar);
    Save(k_pchVkValidationVar);
  }
  void TearDown() override {
    for (const auto& [name, value] : m_saved) {
      if (value.second) {
        setenv(name.c_str(), value.first.c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
  }

 private:
  void Save(const char* name) {
    const char* value = getenv(name);
    m_saved.push_back({name, {value ? value : "", value != nullptr}});
    unsetenv(name);
  }
  std::vector<std::pair<std::string, std::pair<std::string, bool>>> m_saved;
};

// Members in the order StyledWriter prints them; "disable_watchdogs" holds
// its option's part, the debugger's part is added by the test.
struct Row {
  std::vector<std::string> args;
  std::string before;  // members sorting before "disable_watchdogs"
  bool disableOption;
  std::string between;  // "hangInit", sorting between the two fixed members
  std::string after;    // "keepalive", then "startup_reason"
};

std::string Expected(const Row& row, bool debugged) {
  return "{\n" + row.before + "   \"disable_watchdogs\" : " +
         ((row.disableOption || debugged) ? "true" : "false") + ",\n" +
         row.between + "   \"is_system_process\" : true,\n" + row.after + "}\n";
}

const std::string kDefaultReason = "   \"startup_reason\" : \"tolvavr_lark\"\n";

TEST_F(StartupInfoTest, StyledTextForEachOptionSet) {
  const Row rows[] = {
      {{}, "", false, "", kDefaultReason},
      {{"-keepalive"}, "", false, "", "   \"keepalive\" : true,\n" + kDefaultReason},
      {{"-startupinfo", "some text"}, "   \"StartupInfoArg\" : \"some text\",\n",
       false, "", kDefaultReason},
      {{"-startupinfo"}, "", false, "", kDefaultReason},  // no value: absent
      {{"-TolvaViveSetup"}, "   \"PloverArgs\" : \"-TolvaViveSetup\",\n", false,
       "", kDefaultReason},
      {{"-TOLVAVIVESETUP"}, "   \"PloverArgs\" : \"-TolvaViveSetup\",\n", false,
       "", kDefaultReason},
      {{"-hang"}, "", false, "   \"hangInit\" : true,\n", kDefaultReason},
      {{"-disablewatchdogs"}, "", true, "", kDefaultReason},
      {{"-startupreason", "user"}, "", false, "",
       "   \"startup_reason\" : \"user\"\n"},
      {{"-startupreason"}, "", false, "", kDefaultReason},  // last: ignored
      {{"-vkvalidation", "-mutesettings", "-crash", "-restart", "12", "extra"},
       "", false, "", kDefaultReason},  // options outside the record
      {{"-KEEPALIVE", "-Hang", "-DisableWatchdogs"}, "", true,
       "   \"hangInit\" : true,\n", "   \"keepalive\" : true,\n" + kDefaultReason},
      // A value that is an option name counts for both.
      {{"-startupreason", "-hang"}, "", false, "   \"hangInit\" : true,\n",
       "   \"startup_reason\" : \"-hang\"\n"},
      {{"-startupinfo", "-keepalive"}, "   \"StartupInfoArg\" : \"-keepalive\",\n",
       false, "", "   \"keepalive\" : true,\n" + kDefaultReason},
      // Repeated options: the first value counts.
      {{"-startupreason", "first", "-startupreason", "second", "-hang", "-hang"},
       "", false, "   \"hangInit\" : true,\n", "   \"startup_reason\" : \"first\"\n"},
      // Values pass unchanged, escaped only as JSON needs it.
      {{"-startupinfo", "HERON \"q\"\\"}, "   \"StartupInfoArg\" : \"HERON \\\"q\\\"\\\\\",\n",
       false, "", kDefaultReason},
      // Everything at once.
      {{"-keepalive", "-startupinfo", "heron", "-TolvaViveSetup", "-hang",
        "-disablewatchdogs", "-startupreason", "r"},
       "   \"PloverArgs\" : \"-TolvaViveSetup\",\n   \"StartupInfoArg\" : \"heron\",\n",
       true, "   \"hangInit\" : true,\n",
       "   \"keepalive\" : true,\n   \"startup_reason\" : \"r\"\n"},
  };
  const bool debugged = Plat_IsInDebugSession();
  for (size_t i = 0; i < std::size(rows); ++i) {
    std::string input;
    for (const std::string& arg : rows[i].args) input += " [" + arg + "]";
    SCOPED_TRACE("row " + std::to_string(i) + ":" + input);
    TestArgv a(rows[i].args);
    EXPECT_EQ(Expected(rows[i], debugged),
              SerializeStartupInfo(BuildStartupInfo(a.argc(), a.argv())));
  }
}

TEST_F(StartupInfoTest, VkValidationSetsItsVariable) {
  {
    TestArgv a({"-hang"});
    BuildStartupInfo(a.argc(), a.argv());
    EXPECT_EQ("", GetEnvironmentVariable(k_pchVkValidationVar));
  }
  setenv(k_pchVkValidationVar, "old", 1);
  TestArgv a({"-VkValidation"});
  BuildStartupInfo(a.argc(), a.argv());
  EXPECT_EQ("1", GetEnvironmentVariable(k_pchVkValidationVar));
}

TEST_F(StartupInfoTest, EnableWatchdogsVariableWinsOverOption) {
  setenv(k_pchEnableThreadWatchdogsVar, "0", 1);
  TestArgv a({"-disablewatchdogs"});
  EXPECT_FALSE(BuildStartupInfo(a.argc(), a.argv())["disable_watchdogs"].asBool());
}

TEST(DisableWatchdogs, Rule) {
  struct Row {
    const char* env;
    bool option, debugged, expected;
  };
  const Row rows[] = {
      {"", false, false, false}, {"", true, false, true},
      {"", false, true, true},   {"", true, true, true},
      {"0", true, true, false},  {"1", true, false, false},
      {"no", false, true, false}, {" ", true, false, false},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + " env [" + rows[i].env + "]");
    EXPECT_EQ(rows[i].expected,
              BDisableWatchdogs(rows[i].env, rows[i].option, rows[i].debugged));
  }
}

}  // namespace
