// The simulated runtime client library: the exported functions and the
// interfaces the start-up program uses, answering from the scenario named by
// TANDEM_SIM_SCENARIO and recording every call, one JSON object per line, in
// the file named by TANDEM_SIM_TRANSCRIPT. A bad scenario is reported on
// standard error and fails the open; nothing here aborts the host process.

#include <dlfcn.h>
#include <signal.h>
#include <sys/types.h>

#include <json/json.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "sim/proc_scan.h"
#include "sim/scenario.h"
#include "tandem_api/tandem_api.h"

namespace {

using namespace vr;

constexpr EVRApplicationError kAppErrorUnknownKey = static_cast<EVRApplicationError>(101);
constexpr EVRApplicationError kAppErrorBufferTooSmall = static_cast<EVRApplicationError>(102);
constexpr EVRApplicationError kAppErrorInvalidArgument = static_cast<EVRApplicationError>(103);
constexpr EVRSettingsError kSettingsErrorUnknownSetting = static_cast<EVRSettingsError>(1);
// Simulated process ids of launched applications: above what the scenario
// files of the tests use, and never looked up as real processes.
constexpr uint32_t kFirstLaunchedPid = 40000;

struct QueuedEvent {
  VREvent_t event;
  uint32_t afterPolls;
};

struct SimState {
  std::mutex mutex;
  sim::Scenario scenario;
  bool sessionOpen = false;
  uint32_t token = 0;
  uint32_t falsePolls = 0;
  uint32_t nextPid = kFirstLaunchedPid;
  std::deque<QueuedEvent> events;
  std::map<uint32_t, std::string> processKeys;
  // Stand-in objects for interfaces the program only holds, one per version.
  std::map<std::string, std::unique_ptr<char>> opaqueInterfaces;
  bool transcriptFailureReported = false;
};

SimState& State() {
  // Never destroyed: the host may call in from its own exit handlers.
  static SimState* s_pState = new SimState;
  return *s_pState;
}

Json::Value Text(const char* text) { return text ? Json::Value(text) : Json::Value(); }

// Appends {"call":<call>, <fields>...} as one line. The caller holds the
// state lock, so lines of concurrent calls do not interleave.
void Record(SimState& state, const char* call, const Json::Value& fields = Json::Value()) {
  const char* path = getenv("TANDEM_SIM_TRANSCRIPT");
  if (!path || !*path) return;

  Json::StreamWriterBuilder builder;
  builder["indentation"] = "";
  std::string line = "{\"call\":" + Json::writeString(builder, Json::Value(call));
  if (fields.isObject() && !fields.empty()) {
    const std::string rest = Json::writeString(builder, fields);  // "{...}"
    line += "," + rest.substr(1);
  } else {
    line += "}";
  }
  line += "\n";

  FILE* file = fopen(path, "ae");
  bool ok = file != nullptr;
  int savedErrno = errno;
  if (file) {
    ok = fwrite(line.data(), 1, line.size(), file) == line.size();
    savedErrno = errno;
    if (fclose(file) != 0 && ok) {
      ok = false;
      savedErrno = errno;
    }
  }
  if (!ok && !state.transcriptFailureReported) {
    state.transcriptFailureReported = true;
    fprintf(stderr, "libtandem_api (sim): cannot append to transcript %s: %s\n", path,
            strerror(savedErrno));
  }
}

void Record(SimState& state, const char* call, const char* key, const Json::Value& value) {
  Json::Value fields;
  fields[key] = value;
  Record(state, call, fields);
}

void QueueEvent(SimState& state, uint32_t type, uint32_t device, uint32_t pid,
                uint32_t afterPolls) {
  QueuedEvent queued;
  memset(&queued.event, 0, sizeof(queued.event));
  queued.event.eventType = type;
  queued.event.trackedDeviceIndex = device;
  queued.event.data.process.pid = pid;
  queued.afterPolls = afterPolls;
  state.events.push_back(queued);
}

// Takes the next scenario state: the session's event queue and process keys
// start afresh at every open.
void ResetSession(SimState& state) {
  state.falsePolls = 0;
  state.nextPid = kFirstLaunchedPid;
  state.events.clear();
  for (const sim::ScenarioEvent& event : state.scenario.events) {
    QueueEvent(state, event.type, event.device, event.pid, event.afterPolls);
  }
  state.processKeys = state.scenario.processKeys;
}

std::string DirectoryOfThisLibrary() {
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&DirectoryOfThisLibrary), &info) == 0 || !info.dli_fname) {
    return std::string();
  }
  char resolved[PATH_MAX];
  if (!realpath(info.dli_fname, resolved)) return std::string();
  std::string path(resolved);
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Ends the simulated server of this runtime tree: a heron whose executable
// lies beside this library. Servers of other trees are left alone.
void EndServerOfThisTree() {
  const std::string directory = DirectoryOfThisLibrary();
  if (directory.empty()) return;
  const std::string server = directory + "/heron";
  for (pid_t pid : sim::ListProcesses()) {
    if (sim::ProcessName(pid) != "heron" || sim::ProcessExecutable(pid) != server) continue;
    if (kill(pid, SIGTERM) != 0 && errno != ESRCH) {
      fprintf(stderr, "libtandem_api (sim): cannot end heron %d: %s\n", static_cast<int>(pid),
              strerror(errno));
    }
  }
}

class SimSystem final : public IVRSystem {
 public:
  ETrackedDeviceClass GetTrackedDeviceClass(TrackedDeviceIndex_t index) override {
    SimState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    Record(state, "GetTrackedDeviceClass", "device", index);
    return index == k_unTrackedDeviceIndex_Hmd && state.scenario.hmdPresent
               ? TrackedDeviceClass_HMD
               : TrackedDeviceClass_Invalid;
  }

  bool PollNextEvent(VREvent_t* event, uint32_t eventSize) override {
    SimState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    Json::Value fields;
    fields["size"] = eventSize;

    auto visible = state.events.end();
    if (event && eventSize == sizeof(VREvent_t)) {
      for (auto it = state.events.begin(); it != state.events.end(); ++it) {
        if (it->afterPolls <= state.falsePolls) {
          visible = it;
          break;
        }
      }
    }
    if (visible == state.events.end()) {
      ++state.falsePolls;
      fields["returned"] = false;
      Record(state, "PollNextEvent", fields);
      return false;
    }
    memcpy(event, &visible->event, sizeof(VREvent_t));
    state.events.erase(visible);
    fields["returned"] = true;
    fields["type"] = event->eventType;
    Record(state, "PollNextEvent", fields);
    return true;
  }
};

class SimSettings final : public IVRSettings {
 public:
  bool GetBool(const char* section, const char* key, EVRSettingsError* error) override {
    SimState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    Json::Value fields;
    fields["section"] = Text(section);
    fields["key"] = Text(key);
    Record(state, "GetBool", fields);
    const bool known = section && key && strcmp(section, "tolvavr") == 0 &&
                       strcmp(key, "enableHomeApp") == 0;
    if (error) *error = known ? VRSettingsError_None : kSettingsErrorUnknownSetting;
    return known && state.scenario.enableHomeApp;
  }
};

class SimApplications final : public IVRApplications {
 public:
  EVRApplicationError LaunchApplication(const char* appKey) override {
    SimState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    Record(state, "LaunchApplication", "key", Text(appKey));
    if (!appKey || !*appKey) return kAppErrorInvalidArgument;
    if (state.scenario.launchConnects) {
      const uint32_t pid = state.nextPid++;
      state.processKeys[pid] = appKey;
      QueueEvent(state, VREvent_ProcessConnected, 0, pid, 0);
    }
    return VRApplicationError_None;
  }

  EVRApplicationError GetApplicationKeyByProcessId(uint32_t pid, char* keyBuffer,
                                                   uint32_t keyBufferSize) override {
    SimState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    Json::Value fields;
    fields["pid"] = pid;
    fields["size"] = keyBufferSize;
    Record(state, "ApplicationKeyForProcess", fields);
    if (keyBuffer && keyBufferSize > 0) keyBuffer[0] = '\0';
    const auto found = state.processKeys.find(pid);
    if (found == state.processKeys.end()) return kAppErrorUnknownKey;
    if (!keyBuffer || found->second.size() >= keyBufferSize) return kAppErrorBufferTooSmall;
    memcpy(keyBuffer, found->second.c_str(), found->second.size() + 1);
    return VRApplicationError_None;
  }
};

class SimControlPanel final : public IVRControlPanel {
 public:
  void QuitRequest(bool bForce) override {
    SimState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    Record(state, "QuitRequest", "arg", bForce);
    if (state.scenario.quitPostsEvent) QueueEvent(state, VREvent_Quit, 0, 0, 0);
    if (state.scenario.quitEndsServer) EndServerOfThisTree();
  }
};

class SimInputInternal final : public IVRInputInternal {
 public:
  void Notify(bool bValue) override {
    SimState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    Record(state, "InputInternal", "arg", bValue);
  }
};

SimSystem g_System;
SimSettings g_Settings;
SimApplications g_Applications;
SimControlPanel g_ControlPanel;
SimInputInternal g_InputInternal;

// The interface for `version`, or null with `error` set. Called with the
// state lock held.
void* LookUpInterface(SimState& state, const char* version, EVRInitError* error) {
  if (error) *error = VRInitError_None;
  if (!state.sessionOpen) {
    if (error) *error = VRInitError_Init_NotInitialized;
    return nullptr;
  }
  if (!version || state.scenario.missingInterfaces.count(version) != 0) {
    if (error) *error = VRInitError_Init_InterfaceNotFound;
    return nullptr;
  }
  const std::string name(version);
  if (name == IVRSystem_Version) return static_cast<IVRSystem*>(&g_System);
  if (name == IVRSettings_Version) return static_cast<IVRSettings*>(&g_Settings);
  if (name == IVRApplications_Version) return static_cast<IVRApplications*>(&g_Applications);
  if (name == IVRControlPanel_Version) return static_cast<IVRControlPanel*>(&g_ControlPanel);
  if (name == IVRInputInternal_Version) return static_cast<IVRInputInternal*>(&g_InputInternal);
  // Every other interface is only held by the program, never called: a
  // distinct, stable address per version is all it needs.
  std::unique_ptr<char>& opaque = state.opaqueInterfaces[name];
  if (!opaque) opaque.reset(new char(0));
  return opaque.get();
}

}  // namespace

namespace vr {

uint32_t VR_InitInternal2(EVRInitError* error, EVRApplicationType applicationType,
                          const char* startupInfo) {
  SimState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  Json::Value fields;
  fields["type"] = static_cast<int>(applicationType);
  fields["startup_info"] = Text(startupInfo);
  // What the client set in its environment for the runtime to read.
  fields["app_key"] = Text(getenv("TOLVAVR_APPKEY"));
  fields["vkvalidation"] = Text(getenv("TOLVAVR_VKVALIDATION"));
  Record(state, "VR_InitInternal2", fields);

  EVRInitError result = VRInitError_None;
  const char* path = getenv("TANDEM_SIM_SCENARIO");
  std::string reason;
  if (path && *path && !sim::LoadScenario(path, &state.scenario, &reason)) {
    fprintf(stderr, "libtandem_api (sim): scenario %s: %s\n", path, reason.c_str());
    result = VRInitError_Unknown;
  } else if (!path || !*path) {
    state.scenario = sim::Scenario();
  }
  if (result == VRInitError_None) {
    result = static_cast<EVRInitError>(applicationType == VRApplication_Background
                                           ? state.scenario.backgroundInitError
                                           : state.scenario.initError);
  }
  if (error) *error = result;

  state.sessionOpen = result == VRInitError_None;
  if (!state.sessionOpen) return 0;
  ResetSession(state);
  return ++state.token;
}

bool VR_IsInterfaceVersionValid(const char* version) {
  SimState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  Record(state, "VR_IsInterfaceVersionValid", "version", Text(version));
  if (!version) return false;
  // Independent of "missing_interfaces", so that a served version whose
  // interface is null can be simulated.
  if (strcmp(version, IVRSystem_Version) == 0) return state.scenario.systemInterfaceValid;
  return state.scenario.missingInterfaces.count(version) == 0;
}

uint32_t VR_GetInitToken() {
  SimState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (state.scenario.initTokenChanges) ++state.token;
  return state.token;
}

void* VR_GetGenericInterface(const char* version, EVRInitError* error) {
  SimState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  Record(state, "VR_GetGenericInterface", "version", Text(version));
  return LookUpInterface(state, version, error);
}

void VR_ShutdownInternal() {
  SimState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  Record(state, "VR_ShutdownInternal");
  state.sessionOpen = false;
}

IVRControlPanel* VRControlPanel() {
  SimState& state = State();
  std::lock_guard<std::mutex> lock(state.mutex);
  Record(state, "VRControlPanel");
  return static_cast<IVRControlPanel*>(
      LookUpInterface(state, IVRControlPanel_Version, nullptr));
}

}  // namespace vr
