#include "base/scoped_temp_dir.h"

#include <ftw.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  // A test may have taken the write bit away; give it back so removal works.
  chmod(path, 0700);
  return remove(path) == 0 ? 0 : -1;
}

}  // namespace

ScopedTempDir::ScopedTempDir() {
  const char* tmp = getenv("TMPDIR");
  std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/lark_test.XXXXXX";
  if (mkdtemp(&templ[0])) m_path = templ;
}

ScopedTempDir::~ScopedTempDir() {
  if (!m_path.empty()) nftw(m_path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

bool ScopedTempDir::WriteFile(const std::string& file, const std::string& bytes) {
  FILE* f = fopen(file.c_str(), "wbe");
  if (!f) return false;
  bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return fclose(f) == 0 && ok;
}
