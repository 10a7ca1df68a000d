// The simulated platform as a program sees it: the runtime library linked
// in (or a copy of it loaded from another tree), heron and the platform
// client library run and loaded for real.

#include <dlfcn.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/scoped_temp_dir.h"
#include "sim/sim_testing.h"
#include "tandem_api/tandem_api.h"

extern char** environ;

namespace {

using namespace vr;

// Starts `path` with SIGTERM and SIGINT blocked, so that a signal sent
// before heron is ready waits for it instead of killing it. -1 on failure.
pid_t SpawnBlocked(const std::string& path) {
  posix_spawnattr_t attr;
  if (posix_spawnattr_init(&attr) != 0) return -1;
  sigset_t mask;
  sigemptyset(&mask);
  sigaddset(&mask, SIGTERM);
  sigaddset(&mask, SIGINT);
  pid_t pid = -1;
  char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
  if (posix_spawnattr_setsigmask(&attr, &mask) != 0 ||
      posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK) != 0 ||
      posix_spawn(&pid, path.c_str(), nullptr, &attr, argv, environ) != 0) {
    pid = -1;
  }
  posix_spawnattr_destroy(&attr);
  return pid;
}

// Waits at most `timeoutMs` for the child to end and reaps it; false when
// it did not end in time (it is then left running).
bool WaitForExit(pid_t pid, int timeoutMs, int* status) {
  const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (fd < 0) return false;
  pollfd entry = {fd, POLLIN, 0};
  int ready = 0;
  do {
    ready = poll(&entry, 1, timeoutMs);
  } while (ready < 0 && errno == EINTR);
  close(fd);
  if (ready != 1) return false;
  pid_t reaped = 0;
  do {
    reaped = waitpid(pid, status, 0);
  } while (reaped < 0 && errno == EINTR);
  return reaped == pid;
}

bool StillRunning(pid_t pid) {
  int status = 0;
  return waitpid(pid, &status, WNOHANG) == 0;
}

void EndChild(pid_t pid) {
  int status = 0;
  kill(pid, SIGKILL);
  waitpid(pid, &status, 0);
}

class SimLibrary : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(m_sim.TranscriptPath().empty()); }
  void TearDown() override { VR_ShutdownInternal(); }

  std::string WriteScenario(const std::string& json) {
    const std::string path = m_sim.UseScenario(json);
    EXPECT_FALSE(path.empty());
    return path;
  }
  // Opens a bootstrapper session on `json`; quit never ends a server here,
  // so that no heron of a test running beside this one is touched.
  void Open(const std::string& json = "{}") {
    Json::Value scenario;
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    ASSERT_TRUE(reader->parse(json.data(), json.data() + json.size(), &scenario, &errors));
    if (!scenario.isMember("quit_ends_server")) scenario["quit_ends_server"] = false;
    WriteScenario(scenario.toStyledString());
    EVRInitError error = VRInitError_Unknown;
    VR_InitInternal2(&error, VRApplication_Bootstrapper, nullptr);
    ASSERT_EQ(error, VRInitError_None);
  }
  template <class T>
  T* Interface(const char* version) {
    return static_cast<T*>(VR_GetGenericInterface(version, nullptr));
  }
  // Polls once; the event type, or -1 when the queue answered empty.
  int64_t Poll(VREvent_t* event = nullptr) {
    VREvent_t local;
    VREvent_t* target = event ? event : &local;
    return Interface<IVRSystem>(IVRSystem_Version)->PollNextEvent(target, sizeof(VREvent_t))
               ? static_cast<int64_t>(target->eventType)
               : -1;
  }
  std::string Transcript() const { return m_sim.TranscriptPath(); }

  sim::ScopedSimEnvironment m_sim;
};

TEST_F(SimLibrary, BadScenarioFailsTheOpenWithOneLineNamingTheFile) {
  const char* cases[] = {nullptr, "{\"init_error\": ", "{\"hmd_present\": \"no\"}", "{\"x\": 1}"};
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
    SCOPED_TRACE("case " + std::to_string(i) + ": " + (cases[i] ? cases[i] : "(no file)"));
    const std::string path = m_sim.Dir().At("scenario" + std::to_string(i) + ".json");
    if (cases[i]) {
      ASSERT_TRUE(ScopedTempDir::WriteFile(path, cases[i]));
    }
    ASSERT_EQ(setenv("TANDEM_SIM_SCENARIO", path.c_str(), 1), 0);

    EVRInitError error = VRInitError_None;
    testing::internal::CaptureStderr();
    EXPECT_EQ(VR_InitInternal2(&error, VRApplication_Bootstrapper, nullptr), 0u);
    const std::string complaint = testing::internal::GetCapturedStderr();
    EXPECT_EQ(error, VRInitError_Unknown);
    EXPECT_NE(complaint.find(path), std::string::npos) << complaint;
    ASSERT_FALSE(complaint.empty());
    EXPECT_EQ(complaint.find('\n'), complaint.size() - 1) << complaint;
    // No session: nothing is served.
    EXPECT_EQ(VR_GetGenericInterface(IVRSystem_Version, nullptr), nullptr);
    EXPECT_EQ(VRControlPanel(), nullptr);
  }
}

TEST_F(SimLibrary, TranscriptRecordsEveryCallWithItsArguments) {
  WriteScenario(R"({"quit_ends_server": false})");
  setenv("TOLVAVR_APPKEY", "t.k", 1);
  unsetenv("TOLVAVR_VKVALIDATION");
  EVRInitError error = VRInitError_Unknown;
  VR_InitInternal2(&error, VRApplication_Bootstrapper, "{\n   \"k\" : true\n}\n");
  ASSERT_EQ(error, VRInitError_None);
  EXPECT_TRUE(VR_IsInterfaceVersionValid(IVRSystem_Version));
  IVRSystem* system = Interface<IVRSystem>(IVRSystem_Version);
  IVRSettings* settings = Interface<IVRSettings>(IVRSettings_Version);
  IVRApplications* applications = Interface<IVRApplications>(IVRApplications_Version);
  IVRInputInternal* input = Interface<IVRInputInternal>(IVRInputInternal_Version);
  ASSERT_TRUE(system && settings && applications && input);
  VR_GetInitToken();  // not recorded

  EXPECT_EQ(system->GetTrackedDeviceClass(0), TrackedDeviceClass_HMD);
  VREvent_t event;
  EXPECT_FALSE(system->PollNextEvent(&event, sizeof(event)));
  EXPECT_TRUE(settings->GetBool("tolvavr", "enableHomeApp", nullptr));
  EXPECT_EQ(applications->LaunchApplication("tandem.tool.tolvavr_environments"),
            VRApplicationError_None);
  ASSERT_TRUE(system->PollNextEvent(&event, sizeof(event)));
  ASSERT_EQ(event.eventType, VREvent_ProcessConnected);
  char key[k_unMaxApplicationKeyLength];
  EXPECT_EQ(applications->GetApplicationKeyByProcessId(event.data.process.pid, key, sizeof(key)),
            VRApplicationError_None);
  input->Notify(false);
  IVRControlPanel* panel = VRControlPanel();
  ASSERT_NE(panel, nullptr);
  panel->QuitRequest(false);
  VR_ShutdownInternal();
  VR_InitInternal2(&error, VRApplication_Background, nullptr);
  unsetenv("TOLVAVR_APPKEY");

  const std::string pid = std::to_string(event.data.process.pid);
  const std::vector<std::string> expected = {
      R"({"call":"VR_InitInternal2","type":7,"startup_info":"{\n   \"k\" : true\n}\n","app_key":"t.k","vkvalidation":null})",
      R"({"call":"VR_IsInterfaceVersionValid","version":"IVRSystem_023"})",
      R"({"call":"VR_GetGenericInterface","version":"IVRSystem_023"})",
      R"({"call":"VR_GetGenericInterface","version":"IVRSettings_003"})",
      R"({"call":"VR_GetGenericInterface","version":"IVRApplications_007"})",
      R"({"call":"VR_GetGenericInterface","version":"IVRInputInternal_002"})",
      R"({"call":"GetTrackedDeviceClass","device":0})",
      R"({"call":"PollNextEvent","size":60,"returned":false})",
      R"({"call":"GetBool","section":"tolvavr","key":"enableHomeApp"})",
      R"({"call":"LaunchApplication","key":"tandem.tool.tolvavr_environments"})",
      R"({"call":"PollNextEvent","size":60,"returned":true,"type":1306})",
      R"({"call":"ApplicationKeyForProcess","pid":)" + pid + R"(,"size":128})",
      R"({"call":"InputInternal","arg":false})",
      R"({"call":"VRControlPanel"})",
      R"({"call":"QuitRequest","arg":false})",
      R"({"call":"VR_ShutdownInternal"})",
      R"({"call":"VR_InitInternal2","type":3,"startup_info":null,"app_key":"t.k","vkvalidation":null})",
  };
  const std::vector<Json::Value> lines = sim::ReadTranscript(Transcript());
  ASSERT_EQ(lines.size(), expected.size());
  std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("line " + std::to_string(i) + ": " + expected[i]);
    Json::Value want;
    std::string errors;
    ASSERT_TRUE(reader->parse(expected[i].data(), expected[i].data() + expected[i].size(), &want,
                              &errors))
        << errors;
    EXPECT_EQ(lines[i], want) << lines[i].toStyledString();
  }
  // "call" leads each line, so that a person can read the transcript.
  FILE* file = fopen(Transcript().c_str(), "re");
  ASSERT_NE(file, nullptr);
  char first[32] = {};
  ASSERT_NE(fgets(first, sizeof(first), file), nullptr);
  fclose(file);
  EXPECT_EQ(std::string(first).rfind("{\"call\":\"VR_InitInternal2\"", 0), 0u) << first;
}

TEST_F(SimLibrary, EventsBecomeVisibleAfterTheirCountOfEmptyPolls) {
  Open(R"({"events": [{"type": 100, "device": 3, "after_polls": 2},
                      {"type": 1306, "pid": 77},
                      {"type": 700, "after_polls": 1}]})");
  VREvent_t event;
  memset(&event, 0xab, sizeof(event));
  ASSERT_EQ(Poll(&event), VREvent_ProcessConnected);
  EXPECT_EQ(event.data.process.pid, 77u);
  EXPECT_EQ(event.trackedDeviceIndex, 0u);
  EXPECT_EQ(event.reserved, 0u);
  EXPECT_EQ(Poll(), -1);  // 1 empty poll
  EXPECT_EQ(Poll(), VREvent_Quit);
  // A record of the wrong size is refused, and counts as an empty poll.
  VREvent_t untouched;
  memset(&untouched, 0x5a, sizeof(untouched));
  EXPECT_FALSE(Interface<IVRSystem>(IVRSystem_Version)->PollNextEvent(&untouched, 48));
  EXPECT_EQ(untouched.eventType, 0x5a5a5a5au);
  ASSERT_EQ(Poll(&event), VREvent_TrackedDeviceActivated);
  EXPECT_EQ(event.trackedDeviceIndex, 3u);
  EXPECT_EQ(Poll(), -1);

  // Every open starts the queue afresh.
  Open(R"({"events": [{"type": 700}]})");
  EXPECT_EQ(Poll(), VREvent_Quit);
  EXPECT_EQ(Poll(), -1);
}

TEST_F(SimLibrary, LaunchConnectsAFreshProcessWithTheLaunchedKey) {
  Open(R"({"process_keys": {"4242": "tandem.component.plover"}})");
  IVRApplications* applications = Interface<IVRApplications>(IVRApplications_Version);
  ASSERT_NE(applications, nullptr);
  ASSERT_EQ(applications->LaunchApplication("first.key"), VRApplicationError_None);
  ASSERT_EQ(applications->LaunchApplication("Second.Key"), VRApplicationError_None);
  VREvent_t first, second;
  ASSERT_EQ(Poll(&first), VREvent_ProcessConnected);
  ASSERT_EQ(Poll(&second), VREvent_ProcessConnected);
  EXPECT_NE(first.data.process.pid, second.data.process.pid);
  EXPECT_NE(first.data.process.pid, 4242u);

  char key[k_unMaxApplicationKeyLength];
  struct Case {
    uint32_t pid;
    uint32_t size;
    bool ok;
    const char* key;
  };
  const Case cases[] = {
      {first.data.process.pid, sizeof(key), true, "first.key"},
      {second.data.process.pid, sizeof(key), true, "Second.Key"},
      {4242, sizeof(key), true, "tandem.component.plover"},
      {4243, sizeof(key), false, ""},
      {first.data.process.pid, 9, false, ""},  // no room for the terminator
      {first.data.process.pid, 10, true, "first.key"},
  };
  for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i) {
    SCOPED_TRACE("case " + std::to_string(i) + ": pid " + std::to_string(cases[i].pid));
    memset(key, 'x', sizeof(key));
    const EVRApplicationError result =
        applications->GetApplicationKeyByProcessId(cases[i].pid, key, cases[i].size);
    EXPECT_EQ(result == VRApplicationError_None, cases[i].ok);
    EXPECT_STREQ(key, cases[i].key);
  }
  EXPECT_NE(applications->GetApplicationKeyByProcessId(4242, nullptr, 0),
            VRApplicationError_None);

  Open(R"({"launch_connects": false})");
  EXPECT_EQ(Interface<IVRApplications>(IVRApplications_Version)->LaunchApplication("first.key"),
            VRApplicationError_None);
  EXPECT_EQ(Poll(), -1);
}

TEST_F(SimLibrary, AnswersFollowTheScenario) {
  Open(R"({"hmd_present": false, "enable_home_app": false, "system_interface_valid": false,
           "missing_interfaces": ["IVRControlPanel_006", "IVRDebug_001"],
           "quit_posts_event": false, "init_token_changes": true})");
  EXPECT_FALSE(VR_IsInterfaceVersionValid(IVRSystem_Version));
  EXPECT_FALSE(VR_IsInterfaceVersionValid("IVRDebug_001"));
  EXPECT_TRUE(VR_IsInterfaceVersionValid("IVRMailbox_002"));
  EVRInitError error = VRInitError_None;
  EXPECT_EQ(VR_GetGenericInterface("IVRDebug_001", &error), nullptr);
  EXPECT_EQ(error, VRInitError_Init_InterfaceNotFound);
  EXPECT_EQ(VRControlPanel(), nullptr);
  void* mailbox = VR_GetGenericInterface("IVRMailbox_002", &error);
  EXPECT_EQ(error, VRInitError_None);
  EXPECT_NE(mailbox, nullptr);
  EXPECT_EQ(VR_GetGenericInterface("IVRMailbox_002", nullptr), mailbox);
  EXPECT_NE(VR_GetGenericInterface("IVRBlockQueue_005", nullptr), mailbox);

  IVRSystem* system = Interface<IVRSystem>(IVRSystem_Version);
  ASSERT_NE(system, nullptr);
  EXPECT_EQ(system->GetTrackedDeviceClass(0), TrackedDeviceClass_Invalid);
  IVRSettings* settings = Interface<IVRSettings>(IVRSettings_Version);
  EVRSettingsError settingsError = VRSettingsError_None;
  EXPECT_FALSE(settings->GetBool("tolvavr", "enableHomeApp", &settingsError));
  EXPECT_EQ(settingsError, VRSettingsError_None);
  EXPECT_FALSE(settings->GetBool("tolvavr", "other", &settingsError));
  EXPECT_NE(settingsError, VRSettingsError_None);
  EXPECT_NE(VR_GetInitToken(), VR_GetInitToken());

  Open(R"({"quit_posts_event": false})");
  EXPECT_EQ(Interface<IVRSystem>(IVRSystem_Version)->GetTrackedDeviceClass(0),
            TrackedDeviceClass_HMD);
  EXPECT_EQ(Interface<IVRSystem>(IVRSystem_Version)->GetTrackedDeviceClass(1),
            TrackedDeviceClass_Invalid);
  EXPECT_EQ(VR_GetInitToken(), VR_GetInitToken());
  VRControlPanel()->QuitRequest(false);
  EXPECT_EQ(Poll(), -1);
}

TEST(Heron, EndsWithStatusZeroOnTermOrInt) {
  for (int signalNumber : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(strsignal(signalNumber));
    const pid_t pid = SpawnBlocked(SIM_HERON_PATH);
    ASSERT_GT(pid, 0);
    ASSERT_EQ(kill(pid, signalNumber), 0);
    int status = 0;
    if (!WaitForExit(pid, 10000, &status)) {
      EndChild(pid);
      FAIL() << "heron did not end";
    }
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
}

// Quit ends the heron beside the library that was asked, and no other. A
// copy of the library and of heron in their own trees keeps this test away
// from servers of the build's runtime tree.
TEST(SimQuit, EndsTheServerOfTheSameTreeOnly) {
  ScopedTempDir tree, otherTree;
  ASSERT_FALSE(tree.path().empty() || otherTree.path().empty());
  std::error_code copyError;
  std::filesystem::copy_file(SIM_TANDEM_API_PATH, tree.At("libtandem_api.so"), copyError);
  ASSERT_FALSE(copyError) << copyError.message();
  std::filesystem::copy_file(SIM_HERON_PATH, tree.At("heron"), copyError);
  ASSERT_FALSE(copyError) << copyError.message();
  std::filesystem::copy_file(SIM_HERON_PATH, otherTree.At("heron"), copyError);
  ASSERT_FALSE(copyError) << copyError.message();

  void* library = dlopen(tree.At("libtandem_api.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  auto init = reinterpret_cast<decltype(&VR_InitInternal2)>(dlsym(library, "VR_InitInternal2"));
  auto panel = reinterpret_cast<decltype(&VRControlPanel)>(dlsym(library, "VRControlPanel"));
  auto shutdown =
      reinterpret_cast<decltype(&VR_ShutdownInternal)>(dlsym(library, "VR_ShutdownInternal"));
  ASSERT_TRUE(init && panel && shutdown);
  ASSERT_NE(reinterpret_cast<void*>(init), reinterpret_cast<void*>(&VR_InitInternal2));

  sim::ScopedSimEnvironment defaults;  // quit ends the server
  EVRInitError error = VRInitError_Unknown;
  init(&error, VRApplication_Background, nullptr);
  ASSERT_EQ(error, VRInitError_None);

  const pid_t ours = SpawnBlocked(tree.At("heron"));
  const pid_t other = SpawnBlocked(otherTree.At("heron"));
  ASSERT_GT(ours, 0);
  ASSERT_GT(other, 0);
  // The spawned children must have exec'd before their executables can be
  // told apart; the name changes at exec.
  for (pid_t pid : {ours, other}) {
    const std::string exe = "/proc/" + std::to_string(pid) + "/exe";
    std::string target;
    for (int tries = 0; tries < 100000 && target.find("/heron") == std::string::npos; ++tries) {
      char buffer[4096];
      const ssize_t length = readlink(exe.c_str(), buffer, sizeof(buffer) - 1);
      target = length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
      if (target.find("/heron") == std::string::npos) sched_yield();
    }
    EXPECT_NE(target.find("/heron"), std::string::npos) << "child " << pid << " did not exec";
  }

  IVRControlPanel* controlPanel = panel();
  ASSERT_NE(controlPanel, nullptr);
  controlPanel->QuitRequest(false);

  int status = 0;
  const bool ended = WaitForExit(ours, 10000, &status);
  EXPECT_TRUE(ended) << "the server of the same tree did not end";
  if (ended) {
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  } else {
    EndChild(ours);
  }
  EXPECT_TRUE(StillRunning(other)) << "a server of another tree was ended";
  EndChild(other);
  shutdown();
  // Left loaded, as a program leaves it: its state lives to the process's end.
}

TEST(SimTolva, RunningWhileAProcessNamedTolvaRuns) {
  void* library = dlopen(SIM_TOLVA_API_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  auto isRunning = reinterpret_cast<bool (*)()>(dlsym(library, "TolvaAPI_IsTolvaRunning"));
  ASSERT_NE(isRunning, nullptr);

  ScopedTempDir dir;
  std::error_code copyError;
  std::filesystem::copy_file(SIM_HERON_PATH, dir.At("tolva"), copyError);
  ASSERT_FALSE(copyError) << copyError.message();
  const pid_t pid = SpawnBlocked(dir.At("tolva"));
  ASSERT_GT(pid, 0);
  bool seen = false;
  for (int tries = 0; tries < 100000 && !seen; ++tries) seen = isRunning();  // until it exec'd
  EXPECT_TRUE(seen);
  EndChild(pid);
  EXPECT_FALSE(isRunning());
  dlclose(library);
}

}  // namespace
