#include "base/strtools_public.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

TEST(StrTools, TokenizeString) {
  struct Case {
    const char* text;
    std::vector<std::string> pieces;
  } const cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a  b", {"a", "", "b"}},
      {" a", {"", "a"}},
      {"a ", {"a", ""}},
      {" ", {"", ""}},
      {"-shutdown -restart", {"-shutdown", "-restart"}},
      {"a\tb", {"a\tb"}},  // only the given delimiter cuts
  };
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i << " \"" << cases[i].text << "\"");
    std::vector<std::string> pieces = TokenizeString(cases[i].text, ' ');
    EXPECT_EQ(pieces, cases[i].pieces);
    // A non-empty text with n delimiters yields n + 1 pieces.
    if (*cases[i].text) {
      size_t delimiters = std::count(cases[i].text, cases[i].text + strlen(cases[i].text), ' ');
      EXPECT_EQ(pieces.size(), delimiters + 1);
    }
  }
}

TEST(StrTools, StrcpySafeTruncatesAndZeroFills) {
  char buf[4];
  memset(buf, 'x', sizeof(buf));
  EXPECT_EQ(strcpy_safe(buf, sizeof(buf), "abcdef"), buf);
  EXPECT_EQ(0, memcmp(buf, "abc\0", 4));

  memset(buf, 'x', sizeof(buf));
  strcpy_safe(buf, sizeof(buf), "a");
  EXPECT_EQ(0, memcmp(buf, "a\0\0\0", 4));

  char one[1] = {'x'};
  strcpy_safe(one, sizeof(one), "abc");
  EXPECT_EQ('\0', one[0]);
}

TEST(StrTools, StringToUint64) {
  struct Case {
    const char* text;
    uint64_t value;
  } const cases[] = {
      {"0x10", 16},
      {"0X10", 16},
      {"010", 8},
      {"10", 10},
      {"abc", 0},
      {"", 0},
      {"  42", 42},
      {"12z", 12},
      {"18446744073709551615", UINT64_MAX},
      {"99999999999999999999999", UINT64_MAX},
  };
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
    SCOPED_TRACE(testing::Message() << "row " << i << " \"" << cases[i].text << "\"");
    EXPECT_EQ(StringToUint64(cases[i].text), cases[i].value);
  }
}

TEST(StrTools, StringToLowerChangesOnlyAsciiCapitals) {
  EXPECT_EQ(StringToLower("-ShutDown 09_Z"), "-shutdown 09_z");
  std::string high;
  for (int c = 0x80; c <= 0xFF; ++c) high.push_back(static_cast<char>(c));
  EXPECT_EQ(StringToLower(high), high);
  EXPECT_EQ(StringToLower(std::string("A\0B", 3)), std::string("a\0b", 3));
}

TEST(StrTools, StricmpIgnoresAsciiCase) {
  EXPECT_EQ(stricmp("-Shutdown", "-shutdown"), 0);
  EXPECT_LT(stricmp("a", "B"), 0);
  EXPECT_GT(stricmp("b", "A"), 0);
  EXPECT_NE(stricmp("\xC4", "\xE4"), 0);  // no locale folding beyond ASCII
}

}  // namespace
