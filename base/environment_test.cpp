#include "base/environment.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

constexpr const char* kVar = "LARK_TEST_SWITCH";

class EnvironmentTest : public testing::Test {
 protected:
  void TearDown() override { unsetenv(kVar); }
};

TEST_F(EnvironmentTest, BoolSwitchVocabulary) {
  struct Case {
    const char* value;  // null: unset
    bool defaultValue;
    bool expected;
    bool complains;  // one standard-error line
  } const cases[] = {
      {nullptr, true, true, false},   {nullptr, false, false, false},
      {"", true, true, false},        {"", false, false, false},
      {"YES", false, true, false},    {"True", false, true, false},
      {"Y", false, true, false},      {"yes", false, true, false},
      {"No", true, false, false},     {"FALSE", true, false, false},
      {"N", true, false, false},      {"1", false, true, false},
      {"2", false, true, false},      {"007", false, true, false},
      {"10abc", false, true, false},  {"0", true, false, false},
      {"00", true, false, false},     {"0x1", true, false, false},
      {"on", false, false, true},     {"off", true, true, true},
      {"-1", false, false, true},     {"+1", false, false, true},
      {" 1", true, true, true},       {"yes ", false, false, true},
  };
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(testing::Message() << "row " << i << " value "
                                    << (c.value ? c.value : "(unset)"));
    if (c.value)
      setenv(kVar, c.value, 1);
    else
      unsetenv(kVar);
    testing::internal::CaptureStderr();
    EXPECT_EQ(GetEnvironmentVariableAsBool(kVar, c.defaultValue), c.expected);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(!err.empty(), c.complains) << err;
  }
}

TEST_F(EnvironmentTest, UnparsableValueLineNamesVariableLoweredValueAndDefault) {
  setenv(kVar, "ON", 1);
  testing::internal::CaptureStderr();
  GetEnvironmentVariableAsBool(kVar, true);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "GetEnvironmentVariableAsBool(LARK_TEST_SWITCH): Unable to parse "
            "value 'on', using default 1\n");
}

TEST_F(EnvironmentTest, SetEmptyKeepsVariableAndNullRemovesIt) {
  ASSERT_TRUE(SetEnvironmentVariable(kVar, "value"));
  EXPECT_EQ(GetEnvironmentVariable(kVar), "value");

  ASSERT_TRUE(SetEnvironmentVariable(kVar, ""));
  ASSERT_NE(getenv(kVar), nullptr);
  EXPECT_EQ(GetEnvironmentVariable(kVar), "");

  ASSERT_TRUE(SetEnvironmentVariable(kVar, nullptr));
  EXPECT_EQ(getenv(kVar), nullptr);
  EXPECT_EQ(GetEnvironmentVariable(kVar), "");
}

TEST_F(EnvironmentTest, RefusedNamesReportFalse) {
  EXPECT_FALSE(SetEnvironmentVariable("", "x"));
  EXPECT_FALSE(SetEnvironmentVariable("A=B", "x"));
  EXPECT_FALSE(SetEnvironmentVariable("A=B", nullptr));
}

}  // namespace
