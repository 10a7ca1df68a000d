#pragma once
// Test support for code that runs against the simulated platform: a
// temporary directory that removes itself, file writing, and reading the
// simulated runtime library's transcript back.
//
// Failure convention: these helpers serve tests, so a failure is reported
// through the result (false, an empty path, no lines) and the test asserts
// on it; nothing here throws.

#include <json/json.h>

#include <string>
#include <vector>

namespace sim {

// A fresh directory under $TMPDIR (or /tmp), removed with its contents when
// the object goes. Path() is empty when it could not be made.
class CScopedTempDir {
 public:
  CScopedTempDir();
  ~CScopedTempDir();
  CScopedTempDir(const CScopedTempDir&) = delete;
  CScopedTempDir& operator=(const CScopedTempDir&) = delete;

  const std::string& Path() const { return m_sPath; }
  // Path() + "/" + name.
  std::string File(const std::string& name) const;

 private:
  std::string m_sPath;
};

// Replaces the file's contents with `text`; false when that fails.
bool WriteTextFile(const std::string& path, const std::string& text);

// Every line of the transcript at `path`, parsed; a line that is not a JSON
// object comes back as a null value so that the test sees it. No file means
// no lines.
std::vector<Json::Value> ReadTranscript(const std::string& path);

// The transcript entries whose "call" is `call`, in order.
std::vector<Json::Value> CallsNamed(const std::vector<Json::Value>& transcript,
                                    const std::string& call);

}  // namespace sim
