#pragma once
// Test support: a fresh directory for one test, removed with everything in
// it (links not followed) when the object goes. Creation failure leaves
// path() empty, which a fixture asserts on in SetUp.

#include <string>

class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::string& path() const { return m_path; }
  // `name` below the directory.
  std::string At(const std::string& name) const { return m_path + "/" + name; }
  // Writes `bytes` to `file` (a full path); false when any step failed.
  static bool WriteFile(const std::string& file, const std::string& bytes);

 private:
  std::string m_path;
};
