#pragma once
// The scenario of the simulated runtime client library: what the simulated
// runtime answers, read from a JSON file. Every key is optional; the
// defaults describe a healthy runtime with a headset.
//
// Failure convention: loading answers false with a one-line reason naming
// the offending key (or the file's problem) and leaves the scenario at its
// defaults; it never throws.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace sim {

struct ScenarioEvent {
  uint32_t type = 0;
  uint32_t device = 0;
  uint32_t pid = 0;
  // Visible once PollNextEvent has answered false this many times in all.
  uint32_t afterPolls = 0;
};

struct Scenario {
  int32_t initError = 0;            // for every type but background
  int32_t backgroundInitError = 0;  // for VRApplication_Background
  bool systemInterfaceValid = true;
  std::set<std::string> missingInterfaces;
  bool hmdPresent = true;
  bool enableHomeApp = true;
  std::map<uint32_t, std::string> processKeys;
  std::vector<ScenarioEvent> events;
  bool launchConnects = true;
  bool initTokenChanges = false;
  bool quitPostsEvent = true;
  bool quitEndsServer = true;
};

// Parses JSON text; false with the reason in `error` when it is not a JSON
// object, a key is unknown or a value has the wrong type or range.
bool ParseScenario(const std::string& text, Scenario* scenario, std::string* error);

// Reads and parses the file at `path`; false with the reason in `error` when
// it cannot be read or parsed.
bool LoadScenario(const std::string& path, Scenario* scenario, std::string* error);

}  // namespace sim
