#pragma once
// Test support for code that runs against the simulated platform: setting
// up the simulated runtime library's scenario and transcript, and reading
// the transcript back.
//
// Failure convention: these helpers serve tests, so a failure shows in the
// result (no lines, a null line) and the test asserts on it; nothing here
// throws.

#include <json/json.h>

#include <string>
#include <vector>

#include "base/scoped_temp_dir.h"

namespace sim {

// Points the simulated runtime library of this process at a transcript in a
// fresh directory and at no scenario (the defaults); both variables are
// removed again when the object goes. TranscriptPath() is empty when the
// directory could not be made.
class ScopedSimEnvironment {
 public:
  ScopedSimEnvironment();
  ~ScopedSimEnvironment();
  ScopedSimEnvironment(const ScopedSimEnvironment&) = delete;
  ScopedSimEnvironment& operator=(const ScopedSimEnvironment&) = delete;

  // Writes `json` as the scenario and names it in TANDEM_SIM_SCENARIO;
  // answers its path, or an empty string when that failed.
  std::string UseScenario(const std::string& json);
  const ScopedTempDir& Dir() const { return m_dir; }
  std::string TranscriptPath() const;
  // The transcript so far, parsed as ReadTranscript does.
  std::vector<Json::Value> Transcript() const;

 private:
  ScopedTempDir m_dir;
};

// Every line of the transcript at `path`, parsed; a line that is not a JSON
// object comes back as a null value so that the test sees it. No file means
// no lines.
std::vector<Json::Value> ReadTranscript(const std::string& path);

// The transcript entries whose "call" is `call`, in order.
std::vector<Json::Value> CallsNamed(const std::vector<Json::Value>& transcript,
                                    const std::string& call);

}  // namespace sim
