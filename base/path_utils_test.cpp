#include "base/path_utils.h"

#include "base/scoped_temp_dir.h"

#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// ---- String operations --------------------------------------------------

struct JoinRow {
  std::vector<std::string> parts;  // two to four
  char slash;
  std::string expected;
};

TEST(PathUtilsTest, Join) {
  const JoinRow rows[] = {
      {{"a", "b"}, 0, "a/b"},
      {{"a/", "b"}, 0, "a/b"},
      {{"a\\", "b"}, 0, "a/b"},
      {{"a//", "b"}, 0, "a//b"},  // only one trailing separator goes
      {{"", "b"}, 0, "b"},
      {{"", "/b"}, 0, "/b"},
      {{"/", "x"}, 0, "/x"},
      {{"a", "/b"}, 0, "a//b"},  // the second part is not examined
      {{"a", ""}, 0, "a/"},
      {{"a", "b"}, '\\', "a\\b"},
      {{"a/", "b"}, '\\', "a\\b"},
      {{"a", "b", "c"}, 0, "a/b/c"},
      {{"", "", "c"}, 0, "c"},
      {{"a/", "", "c"}, 0, "a/c"},
      {{"/rt", "bin", "linux64", "lark"}, 0, "/rt/bin/linux64/lark"},
      {{"/rt/", "bin/", "linux64\\", "x"}, '\\', "/rt\\bin\\linux64\\x"},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const JoinRow& r = rows[i];
    std::string joined;
    switch (r.parts.size()) {
      case 2:
        joined = Path_Join(r.parts[0], r.parts[1], r.slash);
        break;
      case 3:
        joined = Path_Join(r.parts[0], r.parts[1], r.parts[2], r.slash);
        break;
      default:
        joined = Path_Join(r.parts[0], r.parts[1], r.parts[2], r.parts[3],
                           r.slash);
        break;
    }
    EXPECT_EQ(joined, r.expected)
        << "row " << i << ": " << ::testing::PrintToString(r.parts);
  }
}

struct StringRow {
  std::string input;
  char slash;
  std::string expected;
};

void ExpectStringRows(const std::vector<StringRow>& rows,
                      std::string (*fn)(const std::string&, char)) {
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(fn(rows[i].input, rows[i].slash), rows[i].expected)
        << "row " << i << ": \"" << rows[i].input << "\" slash "
        << int(rows[i].slash);
  }
}

TEST(PathUtilsTest, FixSlashes) {
  ExpectStringRows({{"a\\b/c", 0, "a/b/c"},
                    {"\\\\", 0, "//"},
                    {"a\\b/c", '\\', "a\\b\\c"},
                    {"", 0, ""},
                    {"abc", 0, "abc"}},
                   Path_FixSlashes);
  EXPECT_EQ(Path_GetSlash(), '/');
}

TEST(PathUtilsTest, RemoveTrailingSlash) {
  ExpectStringRows({{"a//", 0, "a"},
                    {"/a/", 0, "/a"},
                    {"/", 0, "/"},
                    {"//", 0, "/"},  // the first byte is never removed
                    {"///", 0, "/"},
                    {"a\\", 0, "a\\"},  // only the chosen separator counts
                    {"a\\\\", '\\', "a"},
                    {"a/", '\\', "a/"},
                    {"a", 0, "a"},
                    {"", 0, ""}},
                   Path_RemoveTrailingSlash);
}

// Inputs and their compacted forms; also the ground for Path_IsSamePath.
const std::vector<StringRow>& CompactRows() {
  static const std::vector<StringRow> rows = {
      {"a/b/../c", 0, "a/c"},
      {"/a/b/c/../../d", 0, "/a/d"},
      {"/a/..", 0, "/"},
      {"/rt/bin/linux64/../..", 0, "/rt/"},
      {"/..", 0, ""},
      {"/../a", 0, ""},
      {"a/..", 0, ""},
      {"../a", 0, "../a"},
      {"a/../../b", 0, "../b"},
      {"../../a", 0, "../../a"},  // a ".." never cancels a ".."
      {"a/../../../b", 0, "../../b"},
      {"a/b/../../..", 0, ".."},
      {"../..", 0, "../.."},
      {"/a/./b/./c", 0, "/a/b/c"},
      {"a/./", 0, "a/./"},
      {"/./", 0, "/./"},
      {"a/.", 0, "a/"},
      {"./a", 0, "a"},
      {"./", 0, "./"},
      {"/a//b/../c", 0, "/a//c"},
      {"/a/.../b", 0, "/a/.../b"},
      {"/a/..b/c", 0, "/a/..b/c"},
      {"C:\\x\\..\\y", 0, "C:/y"},
      {"\\a\\..", 0, "/"},
      {"", 0, ""},
      {"a\\b\\..\\c", '\\', "a\\c"},
  };
  return rows;
}

TEST(PathUtilsTest, Compact) {
  ExpectStringRows(CompactRows(), Path_Compact);
}

// Compacting is stable, and two paths are the same exactly when they
// compact alike: checked across every pair of the table.
TEST(PathUtilsTest, IsSamePathAgreesWithCompact) {
  std::vector<StringRow> rows;
  for (const StringRow& r : CompactRows()) {
    if (r.slash == 0) rows.push_back(r);
  }
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + ": \"" + rows[i].input + "\"");
    EXPECT_EQ(Path_Compact(rows[i].expected), rows[i].expected);
    EXPECT_TRUE(Path_IsSamePath(rows[i].input, rows[i].expected));
    for (size_t j = 0; j < rows.size(); ++j) {
      EXPECT_EQ(Path_IsSamePath(rows[i].input, rows[j].input),
                rows[i].expected == rows[j].expected)
          << "against row " << j << ": \"" << rows[j].input << "\"";
    }
  }
}

TEST(PathUtilsTest, IsSamePath) {
  struct Row {
    std::string a, b;
    bool expected;
  };
  const Row rows[] = {
      {"/rt/", "/rt", false},  // the trailing separator counts
      {"/rt/bin/..", "/rt/", true},
      {"../../a", "a", false},
      {"a/../../b", "../b", true},
      {"/rt/bin", "\\rt\\bin", true},
      {"/RT", "/rt", false},
      {"rt", "/rt", false},  // nothing is made absolute
      {"", "", true},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(Path_IsSamePath(rows[i].a, rows[i].b), rows[i].expected)
        << "row " << i << ": \"" << rows[i].a << "\" vs \"" << rows[i].b
        << "\"";
  }
}

TEST(PathUtilsTest, MakeAbsolute) {
  struct Row {
    std::string relative, base, expected;
  };
  const Row rows[] = {
      {"..", "/rt/bin", "/rt/"},
      {"\\x\\y", "", "/x/y"},
      {"/a/./b", "rel", "/a/b"},  // an absolute path ignores the base
      {"x", "rel", ""},
      {"x", "", ""},
      {"../../..", "/a", ""},
      {"..", "/", ""},
      {"b/c", "/a/", "/a/b/c"},
      {"", "/a", "/a/"},
      {"./x", "\\a", "/a/x"},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(Path_MakeAbsolute(rows[i].relative, rows[i].base),
              rows[i].expected)
        << "row " << i << ": \"" << rows[i].relative << "\" against \""
        << rows[i].base << "\"";
  }
}

const std::vector<StringRow>& StripFilenameRows() {
  static const std::vector<StringRow> rows = {
      {"/a/b/c.txt", 0, "/a/b"},
      {"/c", 0, ""},
      {"c.txt", 0, "c.txt"},
      {"a/", 0, "a"},
      {"a\\b", 0, "a\\b"},
      {"a\\b/c", '\\', "a"},
      {"", 0, ""},
  };
  return rows;
}

const std::vector<StringRow>& StripDirectoryRows() {
  static const std::vector<StringRow> rows = {
      {"/a/b/c.txt", 0, "c.txt"},
      {"a/", 0, ""},
      {"c.txt", 0, "c.txt"},
      {"/", 0, ""},
      {"a\\b", 0, "a\\b"},
      {"a/b\\c", '\\', "c"},
      {"", 0, ""},
  };
  return rows;
}

TEST(PathUtilsTest, StripFilename) {
  ExpectStringRows(StripFilenameRows(), Path_StripFilename);
}

TEST(PathUtilsTest, StripDirectory) {
  ExpectStringRows(StripDirectoryRows(), Path_StripDirectory);
}

// Whatever holds a separator splits into the two parts around it, and a
// join of a directory and a plain name strips back into both.
TEST(PathUtilsTest, StripAndJoinAgree) {
  std::vector<StringRow> rows = StripFilenameRows();
  const auto& more = StripDirectoryRows();
  rows.insert(rows.end(), more.begin(), more.end());
  for (size_t i = 0; i < rows.size(); ++i) {
    const std::string& p = rows[i].input;
    const char sep = rows[i].slash ? rows[i].slash : '/';
    SCOPED_TRACE("row " + std::to_string(i) + ": \"" + p + "\"");
    if (p.find(sep) == std::string::npos) continue;
    EXPECT_EQ(Path_StripFilename(p, rows[i].slash) + sep +
                  Path_StripDirectory(p, rows[i].slash),
              p);
  }
  const std::pair<std::string, std::string> joins[] = {
      {"a", "b"}, {"/a/b", "c.txt"}, {"a/", "b"}, {"/x", "y"}};
  for (size_t i = 0; i < std::size(joins); ++i) {
    const std::string joined = Path_Join(joins[i].first, joins[i].second);
    SCOPED_TRACE("join " + std::to_string(i) + ": \"" + joined + "\"");
    EXPECT_EQ(Path_StripDirectory(joined), joins[i].second);
    EXPECT_EQ(Path_Join(Path_StripFilename(joined), joins[i].second),
              joined);
  }
}

TEST(PathUtilsTest, StripExtension) {
  struct Row {
    std::string input, expected;
  };
  const Row rows[] = {
      {"/a/b.c/d", "/a/b.c/d"},
      {"/a/b.c\\d", "/a/b.c\\d"},
      {"/a/b.tar.gz", "/a/b.tar"},
      {"a.", "a"},
      {".bashrc", ""},
      {"/a/.bashrc", "/a/"},
      {"noext", "noext"},
      {"", ""},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    EXPECT_EQ(Path_StripExtension(rows[i].input), rows[i].expected)
        << "row " << i << ": \"" << rows[i].input << "\"";
  }
}

// ---- Locations of the program ------------------------------------------

TEST(PathUtilsTest, LocationsNameThisTestProgram) {
  const std::string exe = Path_GetExecutablePath();
  ASSERT_FALSE(exe.empty());
  EXPECT_EQ(exe[0], '/');
  EXPECT_TRUE(Path_Exists(exe));
  EXPECT_FALSE(Path_IsDirectory(exe));
  EXPECT_EQ(Path_GetExecutableName(), "base_tests");

  // This code is linked into the test program itself.
  const std::string module = Path_GetThisModulePath();
  ASSERT_FALSE(module.empty());
  EXPECT_EQ(Path_StripDirectory(module), Path_StripDirectory(exe));
}

// ---- File-system queries and whole files --------------------------------

// A fresh directory per test, removed with everything in it afterwards.
class PathUtilsFileTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(m_temp.path().empty()) << strerror(errno); }

  std::string At(const std::string& name) const { return m_temp.At(name); }

  void WriteFile(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(ScopedTempDir::WriteFile(At(name), bytes)) << name << ": " << strerror(errno);
  }

  ScopedTempDir m_temp;
};

TEST_F(PathUtilsFileTest, ExistsAndIsDirectory) {
  ASSERT_EQ(mkdir(At("d").c_str(), 0755), 0);
  WriteFile("f", "x");
  ASSERT_EQ(symlink(At("d").c_str(), At("link_to_d").c_str()), 0);
  ASSERT_EQ(symlink(At("f").c_str(), At("link_to_f").c_str()), 0);
  ASSERT_EQ(symlink(At("missing").c_str(), At("dangling").c_str()), 0);

  struct Row {
    std::string path;
    bool underTemp;
    bool exists;
    bool isDirectory;
  };
  const Row rows[] = {
      {"", false, false, false},
      {"/", false, true, false},  // the lone separator is queried as ""
      {"d", true, true, true},
      {"d/", true, true, true},
      {"d\\", true, true, true},
      {"d/..\\f", true, true, false},
      {"f", true, true, false},
      {"f/", true, false, false},
      {"link_to_d", true, true, true},
      {"link_to_f", true, true, false},
      {"dangling", true, false, false},
      {"missing", true, false, false},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const std::string path = rows[i].underTemp ? At(rows[i].path) : rows[i].path;
    SCOPED_TRACE("row " + std::to_string(i) + ": \"" + path + "\"");
    EXPECT_EQ(Path_Exists(path), rows[i].exists);
    EXPECT_EQ(Path_IsDirectory(path), rows[i].isDirectory);
  }
}

TEST_F(PathUtilsFileTest, ReadBinaryFile) {
  ASSERT_EQ(mkdir(At("dir").c_str(), 0755), 0);
  struct Row {
    const char* name;
    bool create;
    std::string contents;
    bool expectNull;
  };
  const Row rows[] = {
      {"missing", false, "", true},
      {"dir", false, "", true},
      {"empty", true, "", true},
      {"one", true, "x", false},
      {"text", true, "abc\n", false},
      {"binary", true, std::string("\0\xff\r\n\0", 5), false},
      {"large", true, std::string(100000, 'q'), false},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Row& r = rows[i];
    SCOPED_TRACE("row " + std::to_string(i) + ": " + r.name);
    if (r.create) WriteFile(r.name, r.contents);

    int32_t size = -7;  // must stay untouched on failure
    unsigned char* data = Path_ReadBinaryFile(At(r.name), &size);
    if (r.expectNull) {
      EXPECT_EQ(data, nullptr);
      EXPECT_EQ(size, -7);
    } else {
      ASSERT_NE(data, nullptr);
      ASSERT_EQ(size, static_cast<int32_t>(r.contents.size()));
      EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), r.contents);
    }
    delete[] data;

    // The size pointer is optional.
    unsigned char* again = Path_ReadBinaryFile(At(r.name), nullptr);
    EXPECT_EQ(again == nullptr, r.expectNull);
    delete[] again;
  }
}

TEST_F(PathUtilsFileTest, ReadTextFile) {
  struct Row {
    bool create;
    std::string contents;
    std::string expected;
  };
  const Row rows[] = {
      {false, "", ""},
      {true, "", ""},
      {true, "\xEF\xBB\xBF", ""},
      {true, "\xEF\xBB\xBF" "abc", "abc"},
      {true, "\xEF\xBB", "\xEF\xBB"},  // too short for a mark
      {true, "a\xEF\xBB\xBF", "a\xEF\xBB\xBF"},  // only at the start
      {true, "x\r\ny\rz", "x\ny\rz"},
      {true, "\r\n", "\n"},
      {true, "\r\r\n", "\r\n"},
      {true, "\n\n", "\n\n"},
      {true, "\xEF\xBB\xBF\r\nq\r\n", "\nq\n"},
      {true, std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + ": " +
                 ::testing::PrintToString(rows[i].contents));
    const std::string name = "file" + std::to_string(i);
    if (rows[i].create) WriteFile(name, rows[i].contents);
    EXPECT_EQ(Path_ReadTextFile(At(name)), rows[i].expected);
  }
}

TEST_F(PathUtilsFileTest, WriteStringToTextFile) {
  ASSERT_EQ(mkdir(At("dir").c_str(), 0755), 0);
  struct Row {
    std::string path;  // under the temporary directory unless absolute
    const char* before;  // existing contents, or null for no file
    const char* text;
    bool expected;
    const char* after;  // contents afterwards, or null for no file
  };
  const Row rows[] = {
      {"new", nullptr, "hello\nworld\n", true, "hello\nworld\n"},
      {"longer", "a much longer old text", "short", true, "short"},
      {"emptied", "old", "", true, ""},
      {"untouched", "keep", nullptr, false, "keep"},
      {"no/such/dir", nullptr, "x", false, nullptr},
      {"dir", nullptr, "x", false, nullptr},
      {"/dev/full", nullptr, "lost at close", false, nullptr},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    const Row& r = rows[i];
    const std::string path = r.path[0] == '/' ? r.path : At(r.path);
    SCOPED_TRACE("row " + std::to_string(i) + ": \"" + path + "\"");
    if (r.before) WriteFile(r.path, r.before);

    EXPECT_EQ(Path_WriteStringToTextFile(path, r.text), r.expected);
    if (r.after) {
      EXPECT_TRUE(Path_Exists(path));
      EXPECT_EQ(Path_ReadTextFile(path), r.after);
    } else if (r.path[0] != '/' && r.path != "dir") {
      EXPECT_FALSE(Path_Exists(path));
    }
  }
}

}  // namespace
