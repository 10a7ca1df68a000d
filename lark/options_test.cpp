#include "lark/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lark/testing/argv.h"

namespace {

TEST(GetArgumentIndex, FindsFirstWholeArgumentIgnoringCase) {
  struct Row {
    std::vector<std::string> args;
    const char* name;
    int expected;
  };
  const Row rows[] = {
      {{}, "-hang", 0},
      {{"-hang"}, "-hang", 1},
      {{"-HANG"}, "-hang", 1},
      {{"-hang"}, "-HaNg", 1},
      {{"x", "-keepalive", "-keepalive"}, "-keepalive", 2},  // first counts
      {{"-hangs", "hang", "--hang", "-han"}, "-hang", 0},     // whole words only
      {{"-tolvavivesetup"}, k_pchOptionViveSetup, 1},
      {{"-startupreason", "-hang"}, "-hang", 2},  // a value is still an argument
      {{""}, "", 1},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + " name " + rows[i].name);
    TestArgv a(rows[i].args);
    EXPECT_EQ(rows[i].expected, GetArgumentIndex(a.argc(), a.argv(), rows[i].name));
    EXPECT_EQ(rows[i].expected > 0, BHasOption(a.argc(), a.argv(), rows[i].name));
  }
}

TEST(GetArgumentIndex, NeverMatchesProgramPathAndSkipsNullEntries) {
  char prog[] = "-shutdown";
  char after[] = "-shutdown";
  char* argv[] = {prog, nullptr, after, nullptr};
  EXPECT_EQ(0, GetArgumentIndex(1, argv, "-shutdown"));
  EXPECT_EQ(2, GetArgumentIndex(3, argv, "-shutdown"));
  EXPECT_EQ(0, GetArgumentIndex(0, argv, "-shutdown"));
  EXPECT_EQ(0, GetArgumentIndex(-1, argv, "-shutdown"));
  EXPECT_EQ(0, GetArgumentIndex(3, nullptr, "-shutdown"));
  EXPECT_EQ(0, GetArgumentIndex(3, argv, nullptr));
}

TEST(GetOptionValue, TakesTheNextArgumentOnlyWhenThereIsOne) {
  struct Row {
    std::vector<std::string> args;
    const char* expected;  // null: absent
  };
  const Row rows[] = {
      {{"-startupreason", "why"}, "why"},
      {{"-STARTUPREASON", "Why Not"}, "Why Not"},
      {{"-startupreason"}, nullptr},                     // last: absent
      {{"x", "-startupreason"}, nullptr},
      {{"-startupreason", "-hang"}, "-hang"},            // option names count
      {{"-startupreason", "a", "-startupreason", "b"}, "a"},
      {{"-startupreason", ""}, ""},
      {{"why"}, nullptr},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    TestArgv a(rows[i].args);
    const char* value = GetOptionValue(a.argc(), a.argv(), k_pchOptionStartupReason);
    if (!rows[i].expected) {
      EXPECT_EQ(nullptr, value);
    } else {
      ASSERT_NE(nullptr, value);
      EXPECT_STREQ(rows[i].expected, value);
    }
  }
}

}  // namespace
